// The top-level window of a program window, as the window table drives it: it tells the table
// when the user asks to close it, when it moves or changes size, and when it is gone. Each
// backend builds its frames in its window control (kernel_controls.h) and implements these.
//
// Ownership: the window control owns the frame's view; the frame's native object is owned by
// the hidden owner window where there is one. Thread contract: GUI thread only.
#ifndef UI_WINDOW_FRAME_H_
#define UI_WINDOW_FRAME_H_

#include <functional>

#include "ui/native_view.h"

namespace ui {

struct FrameHooks {
  // Returns true when the close may go on.
  std::function<bool()> closeRequested;
  std::function<void()> moved;
  std::function<void()> resized;
  // Called first thing while the frame is destroyed, while its children still exist.
  std::function<void()> destroyed;
};

// Makes `frame` a program window under the hidden owner, reporting to `hooks`. False when the
// view is not a frame.
bool AttachFrame(NativeView& frame, FrameHooks hooks);
// A minimised window is restored, any other raised and activated.
void ActivateFrame(NativeView& frame);
// Runs `task` from the event loop, unless the frame is gone by then.
void PostToFrame(NativeView& frame, std::function<void()> task);

}  // namespace ui

#endif  // UI_WINDOW_FRAME_H_
