// Control arguments of library commands: a record that names a control by window id (low
// word) and unit id (high word), typed with the control's type code. Commands reach the live
// control through ControlArgOf, which finds it in the window table, and its command interface
// (for example ListViewControl) through ControlOf.
//
// Thread contract: GUI thread only.
#ifndef UI_CONTROL_ARGS_H_
#define UI_CONTROL_ARGS_H_

#include <cstdint>

#include "runtime/values.h"
#include "ui/control.h"

namespace ui {

// A control as application code names it.
struct ControlRef {
  int32_t windowId;
  int32_t unitId;
};

inline rt::ArgRecord ControlArg(ControlRef control, rt::TypeCode type) {
  rt::ArgRecord r;
  r.setPair(control.windowId, control.unitId, type);
  return r;
}

// Finds the live control of a unit, or null.
using ControlLookup = Control* (*)(int32_t windowId, int32_t unitId);
// Replaces the lookup, for tests of the commands on controls outside a window (null restores
// the window table's).
void SetControlLookup(ControlLookup lookup);

// Ends the program with "指定窗口或窗口组件不存在或尚未载入" and the window and unit as
// positions.
[[noreturn]] void ReportMissingControl(int32_t windowId, int32_t unitId);

// The live control a command received as argument `index`. A missing record or one of another
// type is runtime error 11; a control that is not live is reported missing.
Control* ControlArgOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type);

// The same, as the control class C (a control of another class is reported missing).
template <typename C>
C* ControlOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type) {
  auto* typed = dynamic_cast<C*>(ControlArgOf(args, count, index, type));
  if (typed == nullptr) ReportMissingControl(args[index].i32(), args[index].i32Hi());
  return typed;
}

}  // namespace ui

#endif  // UI_CONTROL_ARGS_H_
