#include "ui/event_dispatch.h"

#include <algorithm>
#include <cstring>

#include "runtime/application.h"
#include "runtime/errors.h"
#include "runtime/libraries.h"
#include "ui/control.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

EventSource g_source;

// A long-form argument as the routine's 64-bit slot: narrow integers sign-extended, 8-byte
// values and pointers (texts, byte sets, variables passed by reference) as they stand.
int64_t SlotOf(const rt::ArgRecord& a) {
  switch (a.type()) {
    case rt::kTypeInt:
    case rt::kTypeBool:
      return a.i32();
    case rt::kTypeShort:
      return a.i16();
    case rt::kTypeByte:
      return a.u8();
    case rt::kTypeFloat:
      return static_cast<int64_t>(static_cast<uint32_t>(a.i32()));
    default:
      return a.i64();
  }
}

}  // namespace

EventSource CurrentEventSource() { return g_source; }

EventResult RaiseEvent(int32_t windowId, int32_t unitId, int32_t event, std::initializer_list<int32_t> args) {
  ShortEventRecord r{};
  r.windowId = windowId;
  r.unitId = unitId;
  r.event = event;
  for (int32_t a : args) {
    if (r.argCount == kShortEventMaxArgs) break;
    r.args[r.argCount++] = a;
  }
  rt::RuntimeNotifyFn notify = rt::RuntimeCallback();
  if (notify == nullptr) return {};
  notify(rt::kNotifyEventShort, reinterpret_cast<intptr_t>(&r), 0);
  return EventResult{r.resultGiven != 0, r.result};
}

EventResult RaiseEventLong(int32_t windowId, int32_t unitId, int32_t event,
                           std::initializer_list<rt::ArgRecord> args) {
  LongEventRecord r{};
  r.windowId = windowId;
  r.unitId = unitId;
  r.event = event;
  for (const rt::ArgRecord& a : args) {
    if (r.argCount == kLongEventMaxArgs) break;
    r.args[r.argCount++] = a;
  }
  rt::RuntimeNotifyFn notify = rt::RuntimeCallback();
  if (notify == nullptr) return {};
  notify(rt::kNotifyEventLong, reinterpret_cast<intptr_t>(&r), 0);
  return EventResult{r.resultGiven != 0, r.result};
}

void DispatchEvent(int32_t code, void* record) {
  // No routine runs once the program is ending or a fatal error is on screen.
  if (record == nullptr || rt::IsEnding() || rt::IsReportingRuntimeError()) return;
  if (code != rt::kNotifyEventShort && code != rt::kNotifyEventLong) return;
  const bool isLong = code == rt::kNotifyEventLong;
  int32_t head[4];  // window, unit, event, argument count: the same in both forms
  std::memcpy(head, record, sizeof head);
  const int32_t windowId = head[0], unitId = head[1], event = head[2];

  const WindowTemplate* window = FindTemplate(windowId);
  if (window == nullptr) rt::ReportRuntimeError("未找到引发事件的窗口", 0, windowId, 0);
  const UnitRecord* unit = window->FindUnit(unitId);
  if (unit == nullptr) rt::ReportRuntimeError("未找到引发事件的窗口组件", 0, windowId, unitId);
  const UnitRecord* bindingsOf = FollowLinks(*window, *unit);
  const ControlType* type = FindControlType(unit->type);
  if (!unit->isMenuItem() && (type == nullptr || !type->raisesEvents)) {
    rt::ReportRuntimeError("引发事件的窗口组件无效", 0, windowId, unitId);
  }
  rt::AppRoutine routine = BoundRoutine(windowId, *bindingsOf, event);
  if (routine == nullptr) return;

  int64_t argSlots[kLongEventMaxArgs] = {};
  const int32_t count = std::clamp(head[3], 0, isLong ? kLongEventMaxArgs : kShortEventMaxArgs);
  if (isLong) {
    auto* r = static_cast<LongEventRecord*>(record);
    for (int32_t i = 0; i < count; ++i) argSlots[i] = SlotOf(r->args[i]);
  } else {
    auto* r = static_cast<ShortEventRecord*>(record);
    for (int32_t i = 0; i < count; ++i) argSlots[i] = r->args[i];
  }

  // A nested dispatch gives the outer routine its own event source back.
  const EventSource outer = g_source;
  g_source = EventSource{windowId, unit->id};
  EnterWindowRoutine(windowId);
  int32_t given = 0;
  const int64_t value = routine(count, argSlots, &given);
  LeaveWindowRoutine(windowId);
  g_source = outer;

  if (given == 0) return;
  if (isLong) {
    auto* r = static_cast<LongEventRecord*>(record);
    r->resultGiven = 1;
    r->result = value;
  } else {
    auto* r = static_cast<ShortEventRecord*>(record);
    r->resultGiven = 1;
    r->result = static_cast<int32_t>(value);
  }
}

}  // namespace ui
