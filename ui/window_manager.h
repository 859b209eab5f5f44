// The window table: the templates read from the window data at start, the routines their
// bindings name, and for each live window its frame, live controls and mouse pointers. The
// template's 4-byte slots keep their stored values; live controls, cursors and routine
// addresses live here in side tables keyed by window and unit. Implements the window system
// entries the runtime frame calls (runtime/window_system.h).
//
// The table is toolkit-free: it drives the controls' native objects through native_view.h and
// window_frame.h, which each window system backend implements.
//
// Ownership: this module owns the templates and the live controls. A program window's frame
// is owned by the hidden owner window where there is one, and destroyed here.
// Thread contract: GUI thread only.
#ifndef UI_WINDOW_MANAGER_H_
#define UI_WINDOW_MANAGER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/program.h"
#include "ui/control.h"
#include "ui/native_view.h"
#include "ui/window_template.h"

namespace ui {

// Registers the control types and installs the window system with the runtime.
// REQUIRES: called before the runtime starts.
void InstallWindowSystem();

// ---- The window system entries --------------------------------------------------------
// Reads the window data; any inconsistency (also a routine offset outside the routine table
// or type data its control type refuses) reports "载入窗口模板数据段出错!". Replaces the
// templates of an earlier call.
void LoadTemplates(const unsigned char* data, size_t length, const rt::AppRoutine* routines,
                   int32_t routineCount);
void LoadWindow(int32_t windowId);
// The same checks as LoadTemplates, without a report: true when the data would load.
bool CheckWindowData(const unsigned char* data, size_t length, int32_t routineCount);
int64_t GetUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
void SetUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index, int64_t value);
// Names for the error report: false when the window is not loaded (not live).
bool DescribeUnit(int32_t windowId, int32_t unitId, std::string* windowName, bool* unitFound,
                  std::string* unitName);
void ReleaseTemplates();

// ---- Queries for the libraries, the dispatcher and tests ------------------------------
// Null when the program has no such window template.
const WindowTemplate* FindTemplate(int32_t windowId);
WindowTemplate* FindTemplateForUpdate(int32_t windowId);
bool IsWindowLive(int32_t windowId);
// The view of a live window's frame, or null.
NativeView* FrameOf(int32_t windowId);
// The live control of a unit (unit 0: the window's own), or null.
Control* FindLiveControl(int32_t windowId, int32_t unitId);
// For library commands that receive a control: its live control, or the runtime error
// "指定窗口或窗口组件不存在或尚未载入" with the window and unit as positions.
Control* LiveControlOf(int32_t windowId, int32_t unitId);
// A control handed to a library command: window id in bytes 0 to 3 of the record's value,
// unit id in bytes 4 to 7. Reports as LiveControlOf.
Control* ControlOfArg(const rt::ArgRecord& record);
// Rebuilds a live unit's mouse pointer from its template's pointer block.
void RefreshUnitCursor(int32_t windowId, int32_t unitId);
// The routine bound to `event` of the unit (after links were followed), or null.
rt::AppRoutine BoundRoutine(int32_t windowId, const UnitRecord& unit, int32_t event);
// The unit whose bindings serve `unit`: links are followed while they name an existing unit
// of the same type, stopping at the first unit already visited.
const UnitRecord* FollowLinks(const WindowTemplate& window, const UnitRecord& unit);

// What else keeps an eye on a live window (its downloads, for one): `closing` is asked first when
// the user asks to close the window (false keeps it open, before the program's own event is
// raised), `gone` is called first while the window is destroyed. A watch with the same `key`
// replaces the earlier one; the watches end with the window. False when the window is not live.
struct WindowWatch {
  std::function<bool()> closing;
  std::function<void()> gone;
};
bool WatchWindow(int32_t windowId, const void* key, WindowWatch watch);

// Routines of a window run between these calls. A window the user closes meanwhile is
// destroyed only once its last running routine has returned.
void EnterWindowRoutine(int32_t windowId);
void LeaveWindowRoutine(int32_t windowId);
bool IsWindowClosePending(int32_t windowId);

// Destroys a live window at once (the end processing's path).
void DestroyWindow(int32_t windowId);

}  // namespace ui

#endif  // UI_WINDOW_MANAGER_H_
