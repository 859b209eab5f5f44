// Live controls and the registry of control types: for each type code, the library that
// defines it, whether its units raise events, how its type data is checked and how a live
// control is built from it. Type properties (numbers 8 and up) reach the live control's
// library as number - 8 through Control::GetTypeProperty / SetTypeProperty.
//
// Adding a control type (for example the grid library's WGrid, 0x00030001):
//   1. Derive a class from ui::Control, in each window system backend, that builds its native
//      view as a child of `context.parent` from `context.typeData` and hands it to setView,
//      and answers its type properties (number - 8).
//   2. Write a type-data encoder for the application's templates and a checker that accepts
//      exactly what the encoder can produce (use ui::ByteReader: it never reads past the end).
//   3. Add a registration function that calls ui::RegisterControlType with the type code, the
//      library index, raisesEvents, the checker and a factory, and call it from
//      RegisterStandardControlTypes() in ui/standard_controls.cc.
//   4. Give library commands a toolkit-free class to reach (see list_view_control.h), and Raise events with
//   ui::RaiseEvent (event_dispatch.h); reach a control handed to a library
//      command with ui::LiveControlOf (window_manager.h).
// A unit whose type is not registered still loads: it becomes a blank generic unit without
// type properties or events.
//
// A Control refers to its native object (the toolkit's widget, or a window handle on Windows)
// through a NativeView, which only the backend defines (native_view.h); nothing here sees a
// toolkit type.
//
// Ownership: the window manager owns every live Control; a Control owns its NativeView, whose
// native object is a child of its parent unit's and is destroyed with the Control.
// Thread contract: GUI thread only.
#ifndef UI_CONTROL_H_
#define UI_CONTROL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/values.h"
#include "ui/context_menu.h"
#include "ui/native_view.h"
#include "ui/window_template.h"

namespace ui {

// What a factory receives to build a live control.
struct ControlContext {
  int32_t windowId;
  const UnitRecord* unit;  // the template's record; lives for the whole run
  NativeView* parent;      // the parent unit's view; null for the window itself
};

class Control {
 public:
  Control(int32_t windowId, int32_t unitId);
  // Destroys the native object unless it is already gone or was released.
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int32_t windowId() const { return windowId_; }
  int32_t unitId() const { return unitId_; }
  // The native object's view; null when there is none or the native object is gone.
  NativeView* view() const;
  // Forgets the native object without destroying it (its owner destroys it).
  void releaseView();

  // Type property `number` (property - 8). Texts and byte sets are returned as new blocks
  // the caller owns; a written text is copied, never adopted. Unknown numbers read 0 and
  // ignore writes.
  virtual int64_t GetTypeProperty(int32_t number, int32_t index);
  virtual void SetTypeProperty(int32_t number, int32_t index, int64_t value);

  // Loading hooks, in the order the window's loading calls them: every unit, last to first,
  // when its window's controls exist; the window when every unit has had it; every unit,
  // last to first, when loading is complete.
  virtual void OnUnitsLoaded() {}
  virtual void OnWindowLoaded() {}
  virtual void OnLoadingComplete() {}

  // Gives the control's context menu the entries of `provider`: list views and grids show
  // them alone, edit boxes after their own. False for a control without a context menu.
  virtual bool SetContextMenuProvider(MenuProvider provider);

 protected:
  void setView(NativeViewPtr view);

 private:
  int32_t windowId_;
  int32_t unitId_;
  NativeViewPtr view_;
};

// A text type property's value: the text it points at (empty for none), and a new block the
// reader owns holding `s`.
inline const char* PropertyText(int64_t value) {
  return rt::OrEmpty(reinterpret_cast<const char*>(static_cast<intptr_t>(value)));
}
inline int64_t NewPropertyText(const std::string& s) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(rt::NewText(s)));
}

struct ControlType {
  rt::TypeCode type;
  int32_t library;  // the library whose getter and setter answer the type properties
  bool raisesEvents;
  // True when `typeData` is well formed for the type.
  bool (*checkTypeData)(std::string_view typeData);
  std::unique_ptr<Control> (*create)(const ControlContext& context);
};

// A checker and a factory for a registration: Data is the type's type data (with
// `static bool Decode(std::string_view, Data*)`), C its Control class (built from a context).
template <typename Data>
bool CheckTypeData(std::string_view typeData) {
  Data d;
  return Data::Decode(typeData, &d);
}
template <typename C>
std::unique_ptr<Control> CreateControl(const ControlContext& context) {
  return std::make_unique<C>(context);
}

// Registers or replaces the type's entry.
void RegisterControlType(const ControlType& type);
// Null for a type that is not registered.
const ControlType* FindControlType(rt::TypeCode type);
// Registers every control type the program's libraries define (idempotent).
void RegisterStandardControlTypes();

// A blank unit for a type without registration.
std::unique_ptr<Control> CreateGenericUnit(const ControlContext& context);

}  // namespace ui

#endif  // UI_CONTROL_H_
