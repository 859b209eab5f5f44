#include <map>

#include "ui/control.h"
#include "ui/native_view.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

std::map<rt::TypeCode, ControlType>& Registry() {
  static std::map<rt::TypeCode, ControlType> registry;
  return registry;
}

class GenericUnit : public Control {
 public:
  explicit GenericUnit(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    setView(CreateBlankView(c.parent));
  }
};

}  // namespace

int64_t Control::GetTypeProperty(int32_t, int32_t) { return 0; }
void Control::SetTypeProperty(int32_t, int32_t, int64_t) {}
bool Control::SetContextMenuProvider(MenuProvider) { return false; }

bool SetContextMenuProvider(int32_t windowId, int32_t unitId, MenuProvider provider) {
  Control* control = FindLiveControl(windowId, unitId);
  return control && control->view() && control->SetContextMenuProvider(std::move(provider));
}

void RegisterControlType(const ControlType& type) { Registry()[type.type] = type; }

const ControlType* FindControlType(rt::TypeCode type) {
  auto it = Registry().find(type);
  return it == Registry().end() ? nullptr : &it->second;
}

std::unique_ptr<Control> CreateGenericUnit(const ControlContext& context) {
  return std::make_unique<GenericUnit>(context);
}

}  // namespace ui
