#include "ui/control_args.h"

#include "runtime/errors.h"
#include "ui/control.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

// The window table's live control (unit 0 is the window's own).
QWidget* LiveWidget(int32_t windowId, int32_t unitId) {
  Control* c = FindLiveControl(windowId, unitId);
  return c ? c->widget() : nullptr;
}

ControlWidgetLookup g_lookup = nullptr;

}  // namespace

void SetControlWidgetLookup(ControlWidgetLookup lookup) { g_lookup = lookup; }

void ReportMissingControl(int32_t windowId, int32_t unitId) {
  rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
}

QWidget* ControlWidgetOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type) {
  if (index >= count || args[index].type() != type) rt::RaiseRuntimeError(rt::kErrArgumentType, 0, 0);
  const int32_t windowId = args[index].i32();
  const int32_t unitId = args[index].i32Hi();
  QWidget* widget = (g_lookup ? g_lookup : LiveWidget)(windowId, unitId);
  if (widget == nullptr) ReportMissingControl(windowId, unitId);
  return widget;
}

}  // namespace ui
