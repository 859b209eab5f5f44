#include "ui/window_manager.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "runtime/application.h"
#include "runtime/errors.h"
#include "runtime/libraries.h"
#include "runtime/window_system.h"
#include "ui/event_dispatch.h"
#include "ui/kernel_controls.h"
#include "ui/native_view.h"
#include "ui/window_frame.h"

namespace ui {
namespace {

struct LiveWindow {
  // Template order, the window's own unit (whose view is the frame) first.
  std::vector<std::pair<int32_t, std::unique_ptr<Control>>> controls;
  int running = 0;  // routines of this window on the stack
  bool closePending = false;
  bool loaded = false;  // moves and resizes raise events from here on
  std::vector<std::pair<const void*, WindowWatch>> watches;
};

struct State {
  WindowData data;
  // Routine addresses by window and unit, parallel to the unit's bindings (a menu item: one).
  std::map<std::pair<int32_t, int32_t>, std::vector<rt::AppRoutine>> routines;
  std::map<int32_t, std::unique_ptr<LiveWindow>> live;
};

State& S() {
  static State state;
  return state;
}

[[noreturn]] void DataError() { rt::ReportRuntimeError("载入窗口模板数据段出错!", 0, 0, 0); }

LiveWindow* Live(int32_t windowId) {
  auto it = S().live.find(windowId);
  return it == S().live.end() ? nullptr : it->second.get();
}

NativeView* Frame(LiveWindow* lw) {
  return lw->controls.empty() ? nullptr : lw->controls.front().second->view();
}

void ApplyCursor(int32_t windowId, int32_t unitId) {
  LiveWindow* lw = Live(windowId);
  Control* c = FindLiveControl(windowId, unitId);
  const WindowTemplate* t = FindTemplate(windowId);
  const UnitRecord* u = t ? t->FindUnit(unitId) : nullptr;
  if (lw == nullptr || c == nullptr || u == nullptr) return;
  if (NativeView* view = c->view()) SetViewCursor(*view, u->pointerBlock);
}

void QueueDestroy(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  NativeView* frame = lw ? Frame(lw) : nullptr;
  if (frame) PostToFrame(*frame, [windowId] { DestroyWindow(windowId); });
}

// The frame is being destroyed: release the window's controls and tell the runtime.
void WindowGone(int32_t windowId) {
  auto it = S().live.find(windowId);
  if (it == S().live.end()) return;
  std::unique_ptr<LiveWindow> lw = std::move(it->second);
  S().live.erase(it);
  for (auto& [key, watch] : lw->watches)
    if (watch.gone) watch.gone();
  // The frame is on its way out: its control forgets it rather than destroying it again.
  if (!lw->controls.empty()) lw->controls.front().second->releaseView();
  for (auto c = lw->controls.rbegin(); c != lw->controls.rend(); ++c) c->second.reset();
  rt::ProgramWindowDestroyed(windowId);
}

bool CloseRequested(int32_t windowId, int32_t windowUnitId) {
  if (rt::IsEnding()) return true;
  if (LiveWindow* watched = Live(windowId)) {
    // A copy: a watch's question runs a nested loop, during which watches may change.
    const auto watches = watched->watches;
    for (const auto& [key, watch] : watches)
      if (watch.closing && !watch.closing()) return false;
  }
  EventResult r = RaiseEvent(windowId, windowUnitId, kEventMayClose);
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr) return true;
  if (r.given && r.value == 0) return false;
  if (lw->running > 0) {
    // The window's routine is still on the stack: it keeps a live window until it returns.
    lw->closePending = true;
    if (NativeView* frame = Frame(lw)) SetViewVisible(*frame, false);
    return false;
  }
  QueueDestroy(windowId);
  return true;
}

void MovedOrResized(int32_t windowId, int32_t windowUnitId, int32_t event) {
  LiveWindow* lw = Live(windowId);
  if (lw && lw->loaded) RaiseEvent(windowId, windowUnitId, event);
}

}  // namespace

void InstallWindowSystem() {
  RegisterStandardControlTypes();
  rt::RegisterSupportLibrary(rt::kLibraryGrid, rt::GridLibrary());
  rt::RegisterSupportLibrary(rt::kLibraryExtended, rt::ExtendedControlsLibrary());
  static const rt::WindowSystem system = {
      LoadTemplates, LoadWindow,   GetUnitProperty,  SetUnitProperty,
      DispatchEvent, DescribeUnit, ReleaseTemplates,
  };
  rt::InstallWindowSystem(&system);
}

namespace {

using RoutineTable = std::map<std::pair<int32_t, int32_t>, std::vector<rt::AppRoutine>>;

// Reads and checks the window data; false on any inconsistency.
bool ReadWindowData(const unsigned char* data, size_t length, const rt::AppRoutine* routines,
                    int32_t routineCount, WindowData* parsed, RoutineTable* resolved) {
  if (!ParseWindowData(data, length, parsed)) return false;
  bool ok = true;
  auto resolve = [&](int32_t offset) -> rt::AppRoutine {
    if (offset == kNoRoutine) return nullptr;
    if (offset < 0 || offset >= routineCount) {
      ok = false;
      return nullptr;
    }
    return routines ? routines[offset] : nullptr;
  };
  for (const WindowTemplate& w : parsed->windows) {
    for (const UnitRecord& u : w.units) {
      std::vector<rt::AppRoutine>& routineSlots = (*resolved)[{w.id, u.id}];
      if (u.isMenuItem()) {
        routineSlots.push_back(resolve(u.menuRoutine));
      } else {
        for (const EventBinding& b : u.bindings) routineSlots.push_back(resolve(b.routineOffset));
      }
      const ControlType* type = FindControlType(u.type);
      if (type && type->checkTypeData && !type->checkTypeData(u.typeData)) ok = false;
    }
  }
  return ok;
}

}  // namespace

bool CheckWindowData(const unsigned char* data, size_t length, int32_t routineCount) {
  WindowData parsed;
  RoutineTable resolved;
  return ReadWindowData(data, length, nullptr, routineCount, &parsed, &resolved);
}

void LoadTemplates(const unsigned char* data, size_t length, const rt::AppRoutine* routines,
                   int32_t routineCount) {
  WindowData parsed;
  RoutineTable resolved;
  if (!ReadWindowData(data, length, routines, routineCount, &parsed, &resolved)) DataError();
  S().data = std::move(parsed);
  S().routines = std::move(resolved);
}

void ReleaseTemplates() {
  S().data.windows.clear();
  S().routines.clear();
}

const WindowTemplate* FindTemplate(int32_t windowId) { return S().data.Find(windowId); }
WindowTemplate* FindTemplateForUpdate(int32_t windowId) { return S().data.Find(windowId); }
bool IsWindowLive(int32_t windowId) { return Live(windowId) != nullptr; }

NativeView* FrameOf(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  return lw ? Frame(lw) : nullptr;
}

Control* FindLiveControl(int32_t windowId, int32_t unitId) {
  LiveWindow* lw = Live(windowId);
  const WindowTemplate* t = FindTemplate(windowId);
  const UnitRecord* u = t ? t->FindUnit(unitId) : nullptr;
  if (lw == nullptr || u == nullptr) return nullptr;
  for (auto& [id, c] : lw->controls) {
    if (id == u->id) return c.get();
  }
  return nullptr;
}

Control* LiveControlOf(int32_t windowId, int32_t unitId) {
  Control* c = FindLiveControl(windowId, unitId);
  if (c == nullptr) rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
  return c;
}

Control* ControlOfArg(const rt::ArgRecord& record) { return LiveControlOf(record.i32(), record.i32Hi()); }

void RefreshUnitCursor(int32_t windowId, int32_t unitId) { ApplyCursor(windowId, unitId); }

const UnitRecord* FollowLinks(const WindowTemplate& window, const UnitRecord& unit) {
  const UnitRecord* current = &unit;
  std::set<int32_t> visited = {unit.id};
  while (current->link != 0) {
    const UnitRecord* next = nullptr;
    for (const UnitRecord& u : window.units) {
      if (u.id == current->link) next = &u;
    }
    if (next == nullptr || next->type != current->type || !visited.insert(next->id).second) break;
    current = next;
  }
  return current;
}

rt::AppRoutine BoundRoutine(int32_t windowId, const UnitRecord& unit, int32_t event) {
  auto it = S().routines.find({windowId, unit.id});
  if (it == S().routines.end()) return nullptr;
  if (unit.isMenuItem()) return event == 0 && !it->second.empty() ? it->second[0] : nullptr;
  for (size_t i = 0; i < unit.bindings.size() && i < it->second.size(); ++i) {
    if (unit.bindings[i].event == event) return it->second[i];
  }
  return nullptr;
}

void EnterWindowRoutine(int32_t windowId) {
  if (LiveWindow* lw = Live(windowId)) ++lw->running;
}

void LeaveWindowRoutine(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr || lw->running == 0) return;
  if (--lw->running == 0 && lw->closePending) {
    lw->closePending = false;
    QueueDestroy(windowId);
  }
}

bool WatchWindow(int32_t windowId, const void* key, WindowWatch watch) {
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr) return false;
  for (auto& [k, w] : lw->watches) {
    if (k == key) {
      w = std::move(watch);
      return true;
    }
  }
  lw->watches.emplace_back(key, std::move(watch));
  return true;
}

bool IsWindowClosePending(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  return lw && lw->closePending;
}

void DestroyWindow(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr) return;
  if (NativeView* frame = Frame(lw)) {
    DestroyNativeObject(*frame);  // its destroyed hook releases the window (WindowGone)
    if (!IsWindowLive(windowId)) return;
  }
  WindowGone(windowId);
}

void LoadWindow(int32_t windowId) {
  const WindowTemplate* t = FindTemplate(windowId);
  const ControlType* windowType = FindControlType(rt::kTypeWindow);
  if (t == nullptr || windowType == nullptr) rt::ReportRuntimeError("载入启动窗口失败", 0, windowId, 0);

  // 1. A live window is restored or activated.
  if (LiveWindow* lw = Live(windowId)) {
    if (NativeView* frame = Frame(lw)) ActivateFrame(*frame);
    return;
  }

  // 2. The window, then its controls in template order (which is the tab and stacking order).
  const UnitRecord& windowUnit = t->units[0];
  std::unique_ptr<Control> window = windowType->create(ControlContext{windowId, &windowUnit, nullptr});
  NativeView* frame = window ? window->view() : nullptr;
  const int32_t windowUnitId = windowUnit.id;
  if (frame == nullptr ||
      !AttachFrame(*frame,
                   FrameHooks{
                       [windowId, windowUnitId] { return CloseRequested(windowId, windowUnitId); },
                       [windowId, windowUnitId] { MovedOrResized(windowId, windowUnitId, kEventMoved); },
                       [windowId, windowUnitId] { MovedOrResized(windowId, windowUnitId, kEventResized); },
                       [windowId] { WindowGone(windowId); },
                   })) {
    rt::ReportRuntimeError("载入启动窗口失败", 0, windowId, 0);
  }
  auto live = std::make_unique<LiveWindow>();
  LiveWindow* lw = live.get();
  lw->controls.emplace_back(windowUnit.id, std::move(window));
  S().live[windowId] = std::move(live);
  const ViewRect windowRect{windowUnit.left, windowUnit.top, windowUnit.width, windowUnit.height};
  SetViewGeometry(*frame, windowRect);
  SetViewEnabled(*frame, (windowUnit.stateFlags & kStateDisabled) == 0);
  rt::ProgramWindowCreated(windowId, [windowId] { DestroyWindow(windowId); });

  std::map<int32_t, NativeView*> lastChild;  // by parent unit: the previous control in tab order
  for (size_t i = 1; i < t->units.size(); ++i) {
    const UnitRecord& u = t->units[i];
    if (u.isMenuItem()) continue;
    Control* parentControl = u.parentId == 0 ? nullptr : FindLiveControl(windowId, u.parentId);
    NativeView* parent = parentControl && parentControl->view() ? parentControl->view() : frame;
    const ControlType* type = FindControlType(u.type);
    ControlContext context{windowId, &u, parent};
    std::unique_ptr<Control> control = type ? type->create(context) : CreateGenericUnit(context);
    if (!control || control->view() == nullptr) control = CreateGenericUnit(context);
    NativeView& view = *control->view();
    SetViewGeometry(view, ViewRect{u.left, u.top, u.width, u.height});
    SetViewVisible(view, false);
    SetViewEnabled(view, (u.stateFlags & kStateDisabled) == 0);
    StackAndChain(view, lastChild[u.parentId]);
    lastChild[u.parentId] = &view;
    lw->controls.emplace_back(u.id, std::move(control));
  }

  // 3. Mouse pointers from the pointer blocks.
  for (const UnitRecord& u : t->units) {
    if (!u.isMenuItem()) ApplyCursor(windowId, u.id);
  }

  // 4. Loading finished: every unit from the last to the first, then the window.
  for (auto c = lw->controls.rbegin(); c != lw->controls.rend(); ++c) c->second->OnUnitsLoaded();
  lw->controls.front().second->OnWindowLoaded();

  // 5. Visible units are shown; the frame's outer size is set once the platform knows it.
  for (size_t i = 1; i < lw->controls.size(); ++i) {
    const UnitRecord* u = t->FindUnit(lw->controls[i].first);
    NativeView* view = lw->controls[i].second->view();
    if (u && view && (u->stateFlags & kStateVisible)) SetViewVisible(*view, true);
  }
  if (windowUnit.stateFlags & kStateVisible) {
    SetViewVisible(*frame, true);
    SetViewGeometry(*frame, windowRect);
  }
  lw->loaded = true;

  // 6. Created, moved, resized; the routines may close the window.
  for (int32_t event : {kEventCreated, kEventMoved, kEventResized}) {
    RaiseEvent(windowId, windowUnitId, event);
    if (!IsWindowLive(windowId)) return;
  }

  // 7. Loading complete, last to first; the control that holds the focus in this window now
  // gets it back afterwards, whatever the units did with it meanwhile.
  lw = Live(windowId);
  std::vector<NativeView*> tabOrder;
  for (auto& [id, c] : lw->controls) {
    if (c->view() && c->view() != frame) tabOrder.push_back(c->view());
  }
  std::function<void()> restoreFocus = KeepFocus(*frame, std::move(tabOrder));
  for (size_t i = lw->controls.size(); i-- > 0;) {
    lw = Live(windowId);
    if (lw == nullptr || i >= lw->controls.size()) return;
    lw->controls[i].second->OnLoadingComplete();
  }
  lw = Live(windowId);
  if (lw == nullptr) return;
  restoreFocus();
}

bool DescribeUnit(int32_t windowId, int32_t unitId, std::string* windowName, bool* unitFound,
                  std::string* unitName) {
  // Only a loaded window is named; its template has the names.
  const WindowTemplate* t = FindTemplate(windowId);
  if (t == nullptr || !IsWindowLive(windowId)) return false;
  *windowName = t->units[0].name;
  const UnitRecord* u = t->FindUnit(unitId);
  *unitFound = u != nullptr;
  if (u) *unitName = u->name;
  return true;
}

}  // namespace ui
