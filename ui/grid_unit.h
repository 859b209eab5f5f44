// The grid control (the grid library's WGrid) as its library's commands and the window table
// see it, whatever draws it: a Control with a grid model (ui/grid_model.h), which every command
// reads and changes. Each backend derives its control from this class (ui/qt/: a GridWidget;
// ui/win/: a GridView) and registers it with the grid's type data (ui/grid_control.h).
//
// Ownership: the window manager owns the control (control.h); the model belongs to the
// control's view. Thread contract: GUI thread only.
#ifndef UI_GRID_UNIT_H_
#define UI_GRID_UNIT_H_

#include <cstdint>
#include <memory>

#include "ui/control.h"
#include "ui/grid_control.h"
#include "ui/grid_model.h"

namespace ui {

class GridControl : public Control {
 public:
  using Control::Control;

  // The grid's data; an empty grid once the view is gone.
  virtual GridModel& model() = 0;

  int64_t GetTypeProperty(int32_t number, int32_t) override {
    return number == kGridPropertyRowCount - 8 ? model().rowCount() : 0;
  }
};

// The backend's grid, built from the unit's type data (GridTypeData).
std::unique_ptr<Control> CreateGridControl(const ControlContext& context);

}  // namespace ui

#endif  // UI_GRID_UNIT_H_
