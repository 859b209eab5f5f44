// The Qt backend of the grid unit (a GridWidget over the unit's model) and the registration of
// the grid and list view.
#include <QPointer>

#include "runtime/libraries.h"
#include "ui/event_dispatch.h"
#include "ui/grid_unit.h"
#include "ui/list_view_control.h"
#include "ui/qt/grid_widget.h"
#include "ui/qt/native_view.h"

namespace ui {
namespace {

class QtGridControl : public GridControl {
 public:
  explicit QtGridControl(const ControlContext& c) : GridControl(c.windowId, c.unit->id) {
    GridTypeData data;
    GridTypeData::Decode(c.unit->typeData, &data);
    grid_ = new GridWidget(WidgetOf(c.parent));
    grid_->model().Reset(data.rows, data.columns, data.fixedRows, data.fixedColumns, data.rowHeight,
                         data.columnWidth);
    grid_->setLeftButtonReleasedHandler([this](int x, int y) {
      RaiseEvent(windowId(), unitId(), kGridEventLeftReleased, {x, y});
    });
    setView(ViewOf(grid_));
  }
  GridModel& model() override { return grid_ ? grid_->model() : gone_; }
  bool SetContextMenuProvider(MenuProvider provider) override {
    if (!grid_) return false;
    grid_->setContextMenuProvider(std::move(provider));
    return true;
  }

 private:
  QPointer<GridWidget> grid_;
  GridModel gone_;  // what the commands see once the widget is gone
};

}  // namespace

std::unique_ptr<Control> CreateGridControl(const ControlContext& context) {
  return std::make_unique<QtGridControl>(context);
}

void RegisterGridAndListControls() {
  RegisterControlType(
      {rt::kTypeGrid, rt::kLibraryGrid, true, CheckTypeData<GridTypeData>, CreateGridControl});
  RegisterControlType({rt::kTypeListView, rt::kLibraryExtended, true, CheckTypeData<ListViewTypeData>,
                       CreateListViewControl});
}

}  // namespace ui
