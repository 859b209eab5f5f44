#include "ui/window_manager.h"

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QPointer>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/errors.h"
#include "runtime/libraries.h"
#include "runtime/window_system.h"
#include "ui/event_dispatch.h"
#include "ui/kernel_controls.h"
#include "ui/window_frame.h"

namespace ui {
namespace {

struct LiveWindow {
  QPointer<WindowFrame> frame;
  // Template order, the window's own unit first.
  std::vector<std::pair<int32_t, std::unique_ptr<Control>>> controls;
  std::map<int32_t, QCursor> cursors;
  int running = 0;  // routines of this window on the stack
  bool closePending = false;
  bool loaded = false;  // moves and resizes raise events from here on
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

// Standard pointer numbers of a 4-byte pointer block.
bool StandardCursor(uint32_t id, Qt::CursorShape* shape) {
  static const std::map<uint32_t, Qt::CursorShape> kShapes = {
      {32512, Qt::ArrowCursor},     {32513, Qt::IBeamCursor},     {32514, Qt::WaitCursor},
      {32515, Qt::CrossCursor},     {32516, Qt::UpArrowCursor},   {32642, Qt::SizeFDiagCursor},
      {32643, Qt::SizeBDiagCursor}, {32644, Qt::SizeHorCursor},   {32645, Qt::SizeVerCursor},
      {32646, Qt::SizeAllCursor},   {32648, Qt::ForbiddenCursor}, {32649, Qt::PointingHandCursor},
      {32650, Qt::BusyCursor},      {32651, Qt::WhatsThisCursor},
  };
  auto it = kShapes.find(id);
  if (it == kShapes.end()) return false;
  *shape = it->second;
  return true;
}

// A pointer block holds a standard pointer number (4 bytes) or the bytes of a pointer or
// picture file; anything else makes no pointer.
bool MakeCursor(const std::string& block, QCursor* out) {
  if (block.empty()) return false;
  if (block.size() == 4) {
    uint32_t id = static_cast<unsigned char>(block[0]) | static_cast<unsigned char>(block[1]) << 8 |
                  static_cast<unsigned char>(block[2]) << 16 |
                  static_cast<uint32_t>(static_cast<unsigned char>(block[3])) << 24;
    Qt::CursorShape shape;
    if (!StandardCursor(id, &shape)) return false;
    *out = QCursor(shape);
    return true;
  }
  QPixmap pixmap;
  if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(block.data()), static_cast<uint>(block.size()))) {
    return false;
  }
  *out = QCursor(pixmap);
  return true;
}

void ApplyCursor(int32_t windowId, int32_t unitId) {
  LiveWindow* lw = Live(windowId);
  Control* c = FindLiveControl(windowId, unitId);
  const WindowTemplate* t = FindTemplate(windowId);
  const UnitRecord* u = t ? t->FindUnit(unitId) : nullptr;
  if (lw == nullptr || c == nullptr || u == nullptr) return;
  lw->cursors.erase(u->id);
  QCursor cursor;
  if (MakeCursor(u->pointerBlock, &cursor)) {
    lw->cursors[u->id] = cursor;
    if (c->widget()) c->widget()->setCursor(cursor);
  } else if (c->widget()) {
    c->widget()->unsetCursor();
  }
}

void QueueDestroy(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr || !lw->frame) return;
  QMetaObject::invokeMethod(
      lw->frame.data(), [windowId] { DestroyWindow(windowId); }, Qt::QueuedConnection);
}

// The frame is being deleted: release the window's controls and cursors and tell the runtime.
void WindowGone(int32_t windowId, WindowFrame* frame) {
  auto it = S().live.find(windowId);
  if (it == S().live.end()) return;
  std::unique_ptr<LiveWindow> lw = std::move(it->second);
  S().live.erase(it);
  for (auto c = lw->controls.rbegin(); c != lw->controls.rend(); ++c) {
    if (c->second->widget() == frame) c->second->releaseWidget();
    c->second.reset();
  }
  lw->cursors.clear();
  rt::ProgramWindowDestroyed(windowId);
}

bool CloseRequested(int32_t windowId, int32_t windowUnitId) {
  if (rt::IsEnding()) return true;
  EventResult r = RaiseEvent(windowId, windowUnitId, kEventMayClose);
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr) return true;
  if (r.given && r.value == 0) return false;
  if (lw->running > 0) {
    // The window's routine is still on the stack: it keeps a live window until it returns.
    lw->closePending = true;
    if (lw->frame) lw->frame->hide();
    return false;
  }
  QueueDestroy(windowId);
  return true;
}

void MovedOrResized(int32_t windowId, int32_t windowUnitId, int32_t event) {
  LiveWindow* lw = Live(windowId);
  if (lw && lw->loaded) RaiseEvent(windowId, windowUnitId, event);
}

QWidget* FirstFocusable(LiveWindow* lw) {
  for (auto& [id, c] : lw->controls) {
    QWidget* w = c->widget();
    if (w && w != lw->frame && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(lw->frame) &&
        w->isEnabled()) {
      return w;
    }
  }
  return nullptr;
}

// The control of the window that has the focus, or would get it when the window is activated.
QWidget* HeldFocus(LiveWindow* lw) {
  if (!lw->frame) return nullptr;
  QWidget* w = QApplication::focusWidget();
  if (w == nullptr || w->window() != lw->frame) w = lw->frame->focusWidget();
  return w != lw->frame.data() ? w : nullptr;
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

WindowFrame* FrameOf(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  return lw ? lw->frame.data() : nullptr;
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

const QCursor* UnitCursor(int32_t windowId, int32_t unitId) {
  LiveWindow* lw = Live(windowId);
  const WindowTemplate* t = FindTemplate(windowId);
  const UnitRecord* u = t ? t->FindUnit(unitId) : nullptr;
  if (lw == nullptr || u == nullptr) return nullptr;
  auto it = lw->cursors.find(u->id);
  return it == lw->cursors.end() ? nullptr : &it->second;
}

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

bool IsWindowClosePending(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  return lw && lw->closePending;
}

void DestroyWindow(int32_t windowId) {
  LiveWindow* lw = Live(windowId);
  if (lw == nullptr) return;
  if (WindowFrame* frame = lw->frame) {
    delete frame;  // its destructor releases the window (WindowGone)
  } else {
    WindowGone(windowId, nullptr);
  }
}

void SetOuterSize(QWidget* frame, int width, int height) {
  const QRect outer = frame->frameGeometry();
  const QRect inner = frame->geometry();
  frame->resize(std::max(0, width - (outer.width() - inner.width())),
                std::max(0, height - (outer.height() - inner.height())));
}

void LoadWindow(int32_t windowId) {
  const WindowTemplate* t = FindTemplate(windowId);
  const ControlType* windowType = FindControlType(rt::kTypeWindow);
  if (t == nullptr || windowType == nullptr) rt::ReportRuntimeError("载入启动窗口失败", 0, windowId, 0);

  // 1. A live window is restored or activated.
  if (LiveWindow* lw = Live(windowId)) {
    if (lw->frame) {
      if (lw->frame->isMinimized()) {
        lw->frame->showNormal();
      } else {
        lw->frame->raise();
        lw->frame->activateWindow();
      }
    }
    return;
  }

  // 2. The window, then its controls in template order (which is the tab and stacking order).
  const UnitRecord& windowUnit = t->units[0];
  std::unique_ptr<Control> window = windowType->create(ControlContext{windowId, &windowUnit, nullptr});
  auto* frame = window ? dynamic_cast<WindowFrame*>(window->widget()) : nullptr;
  if (frame == nullptr) rt::ReportRuntimeError("载入启动窗口失败", 0, windowId, 0);
  if (QWidget* owner = platform::HiddenOwner()) frame->setParent(owner, Qt::Window);
  auto live = std::make_unique<LiveWindow>();
  LiveWindow* lw = live.get();
  lw->frame = frame;
  lw->controls.emplace_back(windowUnit.id, std::move(window));
  S().live[windowId] = std::move(live);
  const int32_t windowUnitId = windowUnit.id;
  frame->setHooks(WindowFrame::Hooks{
      [windowId, windowUnitId] { return CloseRequested(windowId, windowUnitId); },
      [windowId, windowUnitId] { MovedOrResized(windowId, windowUnitId, kEventMoved); },
      [windowId, windowUnitId] { MovedOrResized(windowId, windowUnitId, kEventResized); },
      [windowId, frame] { WindowGone(windowId, frame); },
  });
  frame->move(windowUnit.left, windowUnit.top);
  SetOuterSize(frame, windowUnit.width, windowUnit.height);
  frame->setEnabled((windowUnit.stateFlags & kStateDisabled) == 0);
  rt::ProgramWindowCreated(windowId, [windowId] { DestroyWindow(windowId); });

  std::map<int32_t, QWidget*> lastChild;  // by parent unit: the previous control in tab order
  for (size_t i = 1; i < t->units.size(); ++i) {
    const UnitRecord& u = t->units[i];
    if (u.isMenuItem()) continue;
    Control* parentControl = u.parentId == 0 ? nullptr : FindLiveControl(windowId, u.parentId);
    QWidget* parent = parentControl && parentControl->widget() ? parentControl->widget() : frame;
    const ControlType* type = FindControlType(u.type);
    ControlContext context{windowId, &u, parent};
    std::unique_ptr<Control> control = type ? type->create(context) : CreateGenericUnit(context);
    if (!control || control->widget() == nullptr) control = CreateGenericUnit(context);
    QWidget* w = control->widget();
    w->setGeometry(u.left, u.top, u.width, u.height);
    w->setVisible(false);
    w->setEnabled((u.stateFlags & kStateDisabled) == 0);
    w->lower();  // each control lies below the ones before it
    if (QWidget* previous = lastChild[u.parentId]) QWidget::setTabOrder(previous, w);
    lastChild[u.parentId] = w;
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
    QWidget* w = lw->controls[i].second->widget();
    if (u && w && (u->stateFlags & kStateVisible)) w->setVisible(true);
  }
  if (windowUnit.stateFlags & kStateVisible) {
    frame->show();
    SetOuterSize(frame, windowUnit.width, windowUnit.height);
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
  QPointer<QWidget> focused = HeldFocus(lw);
  for (size_t i = lw->controls.size(); i-- > 0;) {
    lw = Live(windowId);
    if (lw == nullptr || i >= lw->controls.size()) return;
    lw->controls[i].second->OnLoadingComplete();
  }
  lw = Live(windowId);
  if (lw == nullptr) return;
  if (focused) {
    focused->setFocus();
  } else if (QWidget* first = FirstFocusable(lw)) {
    first->setFocus();
  }
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
