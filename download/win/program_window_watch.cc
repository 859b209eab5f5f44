// On Windows the window system's frame reports a program window's close requests and its end
// itself (ProgramWindowClosing, ProgramWindowDestroyed): nothing to arrange here, and the
// window system alone knows which windows are live.
#include "download/program_window_watch.h"

namespace download {

bool WatchProgramWindow(int32_t windowId) { return windowId > 0; }

}  // namespace download
