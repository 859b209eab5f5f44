#include "ui/control_args.h"

#include "runtime/errors.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

ControlLookup g_lookup = nullptr;

}  // namespace

void SetControlLookup(ControlLookup lookup) { g_lookup = lookup; }

void ReportMissingControl(int32_t windowId, int32_t unitId) {
  rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
}

Control* ControlArgOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type) {
  if (index >= count || args[index].type() != type) rt::RaiseRuntimeError(rt::kErrArgumentType, 0, 0);
  const int32_t windowId = args[index].i32();
  const int32_t unitId = args[index].i32Hi();
  // Unit 0 is the window's own.
  Control* control = (g_lookup ? g_lookup : FindLiveControl)(windowId, unitId);
  if (control == nullptr || control->view() == nullptr) ReportMissingControl(windowId, unitId);
  return control;
}

}  // namespace ui
