// On Windows a program window's downloads watch it through the window table: its close requests
// are asked of them first, and its end ends them.
#include "download/program_window_watch.h"

#include "ui/window_manager.h"

namespace download {

bool WatchProgramWindow(int32_t windowId) {
  static const char kKey = 0;  // one watch per window, whoever asks again
  return ui::WatchWindow(windowId, &kKey,
                         ui::WindowWatch{[windowId] { return ProgramWindowClosing(windowId); },
                                         [windowId] { ProgramWindowDestroyed(windowId); }});
}

}  // namespace download
