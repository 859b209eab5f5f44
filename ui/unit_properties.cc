// Property access by window id, unit id and property number: the common properties 0 to 7
// from the live control or the template, type properties through the control's library.
#include "runtime/errors.h"
#include "runtime/values.h"
#include "ui/native_view.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

enum CommonProperty : int32_t {
  kLeft = 0,
  kTop = 1,
  kWidth = 2,
  kHeight = 3,
  kTag = 4,
  kVisible = 5,
  kDisabled = 6,
  kMousePointer = 7,
  kFirstTypeProperty = 8,
};

int64_t Ptr(const void* p) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(p)); }

// The unit of a property access; the lookups' failures end the program.
UnitRecord* FindUnitOrReport(int32_t windowId, int32_t unitId, WindowTemplate** window) {
  *window = FindTemplateForUpdate(windowId);
  if (*window == nullptr) rt::ReportRuntimeError("未载入欲访问窗口组件所在的窗口", 0, windowId, unitId);
  UnitRecord* unit = (*window)->FindUnit(unitId);
  if (unit == nullptr) rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
  return unit;
}

}  // namespace

int64_t GetUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index) {
  WindowTemplate* window;
  UnitRecord* u = FindUnitOrReport(windowId, unitId, &window);
  Control* control = FindLiveControl(windowId, unitId);
  NativeView* w = control ? control->view() : nullptr;
  // A window's position and size are its outer rectangle; a control's are in its parent's
  // client area.
  const ViewRect rect = w ? ViewGeometry(*w) : ViewRect();
  switch (property) {
    case kLeft:
      return w ? rect.x : u->left;
    case kTop:
      return w ? rect.y : u->top;
    case kWidth:
      return w ? rect.width : u->width;
    case kHeight:
      return w ? rect.height : u->height;
    case kTag:
      return Ptr(rt::NewText(u->tag));
    case kVisible:
      return w ? !IsViewHidden(*w) : (u->stateFlags & kStateVisible) != 0;
    case kDisabled:
      return w ? IsViewDisabled(*w) : (u->stateFlags & kStateDisabled) != 0;
    case kMousePointer:
      return Ptr(rt::NewByteSet(u->pointerBlock.data(), u->pointerBlock.size()));
    default:
      if (!IsWindowLive(windowId))
        rt::ReportRuntimeError("读取组件属性时发现指定窗口尚未载入", 0, windowId, unitId);
      if (control == nullptr)
        rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
      return control->GetTypeProperty(property - kFirstTypeProperty, index);
  }
}

void SetUnitProperty(int32_t windowId, int32_t unitId, int32_t property, int32_t index, int64_t value) {
  WindowTemplate* window;
  UnitRecord* u = FindUnitOrReport(windowId, unitId, &window);
  Control* control = FindLiveControl(windowId, unitId);
  NativeView* w = control ? control->view() : nullptr;
  const int32_t number = static_cast<int32_t>(value);
  switch (property) {
    case kLeft:
    case kTop:
    case kWidth:
    case kHeight: {
      if (w == nullptr) {
        int32_t* field[] = {&u->left, &u->top, &u->width, &u->height};
        *field[property] = number;
        return;
      }
      ViewRect r = ViewGeometry(*w);
      int32_t* field[] = {&r.x, &r.y, &r.width, &r.height};
      *field[property] = number;
      SetViewGeometry(*w, r);
      return;
    }
    case kTag:
      u->tag = rt::OrEmpty(reinterpret_cast<const char*>(static_cast<intptr_t>(value)));
      return;
    case kVisible:
      if (w) {
        SetViewVisible(*w, number != 0);
      } else {
        u->stateFlags = number != 0 ? (u->stateFlags | kStateVisible) : (u->stateFlags & ~kStateVisible);
      }
      return;
    case kDisabled:
      if (w) {
        SetViewEnabled(*w, number == 0);
      } else {
        u->stateFlags = number != 0 ? (u->stateFlags | kStateDisabled) : (u->stateFlags & ~kStateDisabled);
      }
      return;
    case kMousePointer: {
      auto* block = reinterpret_cast<const unsigned char*>(static_cast<intptr_t>(value));
      const int32_t length = rt::ByteSetLength(block);
      u->pointerBlock = length > 0 ? std::string(reinterpret_cast<const char*>(rt::ByteSetData(block)),
                                                 static_cast<size_t>(length))
                                   : std::string();
      RefreshUnitCursor(windowId, unitId);
      return;
    }
    default:
      if (!IsWindowLive(windowId))
        rt::ReportRuntimeError("修改组件属性时发现指定窗口尚未载入", 0, windowId, unitId);
      if (control == nullptr)
        rt::ReportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, windowId, unitId);
      control->SetTypeProperty(property - kFirstTypeProperty, index, value);
      return;
  }
}

}  // namespace ui
