// The Win32 backend's frame window: its class, creation, and the test for it. Included by
// ui/win/ only.
//
// Ownership: the window control owns the frame (kernel_controls.cc). Thread contract: GUI thread.
#ifndef UI_WIN_WINDOW_FRAME_H_
#define UI_WIN_WINDOW_FRAME_H_

#include <windows.h>

#include <string_view>

#include "ui/window_frame.h"

namespace ui {

// A hidden top-level window of the program's frame class, captioned `caption` (code page 936).
HWND CreateFrameWindow(std::string_view caption);
bool IsFrameWindow(HWND hwnd);

}  // namespace ui

#endif  // UI_WIN_WINDOW_FRAME_H_
