// The tie between a program window and its downloads (download/window_downloads.h): the window
// system tells them when the window is about to close, which they may refuse while downloads
// run, and when it is gone, which ends them.
//
// WatchProgramWindow is each system's: on the toolkit an event filter on the window's frame
// (download/qt/); on Windows the window system's frame calls the two entries below itself.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_PROGRAM_WINDOW_WATCH_H_
#define DOWNLOAD_PROGRAM_WINDOW_WATCH_H_

#include <cstdint>

namespace download {

// Arranges for the calls below for a live program window; false when the window is not live.
bool WatchProgramWindow(int32_t windowId);

// ---- For the window system's backends. ---------------------------------------------------
// The user asks to close the window: false keeps it open (its downloads' question said so).
// True when it has no downloads.
bool ProgramWindowClosing(int32_t windowId);
// The window is being destroyed: its downloads end (their transfers abort, part files stay),
// and the downloads window with them.
void ProgramWindowDestroyed(int32_t windowId);

}  // namespace download

#endif  // DOWNLOAD_PROGRAM_WINDOW_WATCH_H_
