#include <map>

#include "ui/control.h"

namespace ui {
namespace {

std::map<rt::TypeCode, ControlType>& Registry() {
  static std::map<rt::TypeCode, ControlType> registry;
  return registry;
}

class GenericUnit : public Control {
 public:
  explicit GenericUnit(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    auto* w = new QWidget(c.parent);  // owned by the parent widget and by this control
    w->setAutoFillBackground(false);
    setWidget(w);
  }
};

}  // namespace

Control::~Control() {
  if (QWidget* w = widget_) {
    widget_ = nullptr;
    delete w;
  }
}

void Control::releaseWidget() { widget_ = nullptr; }

int64_t Control::GetTypeProperty(int32_t, int32_t) { return 0; }
void Control::SetTypeProperty(int32_t, int32_t, int64_t) {}

void RegisterControlType(const ControlType& type) { Registry()[type.type] = type; }

const ControlType* FindControlType(rt::TypeCode type) {
  auto it = Registry().find(type);
  return it == Registry().end() ? nullptr : &it->second;
}

std::unique_ptr<Control> CreateGenericUnit(const ControlContext& context) {
  return std::make_unique<GenericUnit>(context);
}

}  // namespace ui
