// The Win32 backend of the grid unit: a GridView (grid_view.h) over the unit's model, placed by
// the window's loading like every unit, in the program's font.
#include "ui/grid_unit.h"

#include "ui/event_dispatch.h"
#include "ui/win/grid_view.h"
#include "ui/win/native_view.h"

namespace ui {
namespace {

class WinGridControl : public GridControl {
 public:
  explicit WinGridControl(const ControlContext& c)
      : GridControl(c.windowId, c.unit->id), grid_(HwndOf(c.parent), 0, 0, 0, 0) {
    GridTypeData data;
    GridTypeData::Decode(c.unit->typeData, &data);
    grid_.model().Reset(data.rows, data.columns, data.fixedRows, data.fixedColumns, data.rowHeight,
                        data.columnWidth);
    grid_.setLeftButtonReleasedHandler([this](int x, int y) {
      RaiseEvent(windowId(), unitId(), kGridEventLeftReleased, {x, y});
    });
    if (grid_.hwnd() == nullptr) return;
    ::SendMessageW(grid_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont(DpiOf(grid_.hwnd()))),
                   FALSE);
    setView(ViewOf(grid_.hwnd()));
  }

  GridModel& model() override { return grid_.model(); }
  bool SetContextMenuProvider(MenuProvider provider) override {
    grid_.setContextMenuProvider(std::move(provider));
    return true;
  }

 private:
  // Destroys its window before the Control would (the view then reads as gone).
  GridView grid_;
};

}  // namespace

std::unique_ptr<Control> CreateGridControl(const ControlContext& context) {
  return std::make_unique<WinGridControl>(context);
}

}  // namespace ui
