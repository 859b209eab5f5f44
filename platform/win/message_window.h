// The GUI thread's message-only window, for the Windows backends that need a window of their
// own (the clipboard's owner), and the filter the window system puts before dispatch. Included by
// platform/win/ only: it brings in <windows.h>.
//
// Thread contract: any thread may ask; the window belongs to the GUI thread.
#ifndef PLATFORM_WIN_MESSAGE_WINDOW_H_
#define PLATFORM_WIN_MESSAGE_WINDOW_H_

#include <windows.h>

namespace platform::win {

// The message window while the application object lives, else null.
HWND MessageWindow();

// Sees each message the waits take from the queue before it is translated and dispatched;
// true when it handled the message (the window system's keyboard navigation). Null: none.
using MessageFilter = bool (*)(MSG* message);
void SetMessageFilter(MessageFilter filter);

}  // namespace platform::win

#endif  // PLATFORM_WIN_MESSAGE_WINDOW_H_
