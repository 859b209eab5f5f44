// The window system as the runtime frame sees it: templates, loading, properties, events
// and the live windows the message loop counts. The window layer installs its entries at
// start; the runtime keeps the list of live program windows.
//
// Thread contract: GUI thread only.
#ifndef RUNTIME_WINDOW_SYSTEM_H_
#define RUNTIME_WINDOW_SYSTEM_H_

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/program.h"

namespace rt {

struct WindowSystem {
  // Reads the window data into the window table (routine offsets into routines). Reports
  // "载入窗口模板数据段出错!" on inconsistent data.
  void (*loadTemplates)(const unsigned char* data, size_t length, const AppRoutine* routines,
                        int32_t routineCount);
  void (*loadWindow)(int32_t windowId);
  int64_t (*getProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
  void (*setProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index, int64_t value);
  // An event record under code 2008 (short form) or 2031 (long form).
  void (*dispatchEvent)(int32_t code, void* record);
  // Names for the error report: false when no loaded (live) window has the id; `*unitFound` false
  // when the unit is not found (unit 0 is the window's own record).
  bool (*describeUnit)(int32_t windowId, int32_t unitId, std::string* windowName, bool* unitFound,
                       std::string* unitName);
  // Drops every template (end of program).
  void (*releaseTemplates)();
};

// REQUIRES: called before the runtime starts.
void InstallWindowSystem(const WindowSystem* system);
const WindowSystem* InstalledWindowSystem();

// Live program windows. `destroy` destroys the window; the window layer then reports the
// destruction through ProgramWindowDestroyed.
void ProgramWindowCreated(int32_t windowId, std::function<void()> destroy);
// Drops the window; when the loop has started and no window remains, the loop is asked to
// end with code 0.
void ProgramWindowDestroyed(int32_t windowId);
int ProgramWindowCount();
bool IsProgramWindowLive(int32_t windowId);

}  // namespace rt

#endif  // RUNTIME_WINDOW_SYSTEM_H_
