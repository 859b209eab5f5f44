// The GUI thread's message-only window, for the Windows backends that need a window of their
// own (the clipboard's owner). Included by platform/win/ only: it brings in <windows.h>.
//
// Thread contract: any thread may ask; the window belongs to the GUI thread.
#ifndef PLATFORM_WIN_MESSAGE_WINDOW_H_
#define PLATFORM_WIN_MESSAGE_WINDOW_H_

#include <windows.h>

namespace platform::win {

// The message window while the application object lives, else null.
HWND MessageWindow();

}  // namespace platform::win

#endif  // PLATFORM_WIN_MESSAGE_WINDOW_H_
