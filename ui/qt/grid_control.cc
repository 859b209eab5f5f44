// The Qt backend of the grid unit (GridWidget) and the registration of the grid and list view.
#include "ui/grid_control.h"

#include "runtime/libraries.h"
#include "ui/control.h"
#include "ui/event_dispatch.h"
#include "ui/grid_widget.h"
#include "ui/list_view_control.h"
#include "ui/qt/native_view.h"

namespace ui {
namespace {

class GridControl : public Control {
 public:
  explicit GridControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    GridTypeData data;
    GridTypeData::Decode(c.unit->typeData, &data);
    grid_ = new GridWidget(WidgetOf(c.parent));
    grid_->Reset(data.rows, data.columns, data.fixedRows, data.fixedColumns, data.rowHeight,
                 data.columnWidth);
    grid_->setLeftButtonReleasedHandler([this](int x, int y) {
      RaiseEvent(windowId(), unitId(), kGridEventLeftReleased, {x, y});
    });
    setView(ViewOf(grid_));
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number == kGridPropertyRowCount - 8 && grid_) return grid_->rowCount();
    return 0;
  }
  bool SetContextMenuProvider(MenuProvider provider) override {
    if (!grid_) return false;
    grid_->setContextMenuProvider(std::move(provider));
    return true;
  }

 private:
  QPointer<GridWidget> grid_;
};

}  // namespace

void RegisterGridAndListControls() {
  RegisterControlType(
      {rt::kTypeGrid, rt::kLibraryGrid, true, CheckTypeData<GridTypeData>, CreateControl<GridControl>});
  RegisterControlType({rt::kTypeListView, rt::kLibraryExtended, true, CheckTypeData<ListViewTypeData>,
                       CreateListViewControl});
}

}  // namespace ui
