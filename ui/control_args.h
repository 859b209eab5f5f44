// Control arguments of library commands: a record that names a control by window id (low
// word) and unit id (high word), typed with the control's type code. Commands reach the live
// widget through ControlWidgetOf, which finds it in the window table.
//
// Thread contract: GUI thread only.
#ifndef UI_CONTROL_ARGS_H_
#define UI_CONTROL_ARGS_H_

#include <QWidget>
#include <cstdint>

#include "runtime/values.h"

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

// Finds the live widget of a unit, or null.
using ControlWidgetLookup = QWidget* (*)(int32_t windowId, int32_t unitId);
// Replaces the lookup, for tests of the commands on bare widgets (null restores the window
// table's).
void SetControlWidgetLookup(ControlWidgetLookup lookup);

// Ends the program with "指定窗口或窗口组件不存在或尚未载入" and the window and unit as
// positions.
[[noreturn]] void ReportMissingControl(int32_t windowId, int32_t unitId);

// The live widget of the control a command received as argument `index`. A missing record or
// one of another type is runtime error 11; a control that is not live is reported missing.
QWidget* ControlWidgetOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type);

// The same, as the control's widget class W (a widget of another class is reported missing).
template <typename W>
W* ControlOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type) {
  auto* typed = dynamic_cast<W*>(ControlWidgetOf(args, count, index, type));
  if (typed == nullptr) ReportMissingControl(args[index].i32(), args[index].i32Hi());
  return typed;
}

}  // namespace ui

#endif  // UI_CONTROL_ARGS_H_
