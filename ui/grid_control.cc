#include "ui/grid_control.h"

#include "runtime/libraries.h"
#include "ui/byte_io.h"
#include "ui/control.h"
#include "ui/event_dispatch.h"
#include "ui/list_view_widget.h"
#include "ui/qt/grid_widget.h"

namespace ui {
namespace {

constexpr int32_t kMaxTemplateRows = 1000000;
constexpr int32_t kMaxTemplateColumns = 10000;
constexpr uint32_t kMaxListColumns = 256;

class GridControl : public Control {
 public:
  explicit GridControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    GridTypeData data;
    GridTypeData::Decode(c.unit->typeData, &data);
    grid_ = new GridWidget(c.parent);
    grid_->model().Reset(data.rows, data.columns, data.fixedRows, data.fixedColumns, data.rowHeight,
                         data.columnWidth);
    grid_->setLeftButtonReleasedHandler([this](int x, int y) {
      RaiseEvent(windowId(), unitId(), kGridEventLeftReleased, {x, y});
    });
    setWidget(grid_);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number == kGridPropertyRowCount - 8 && grid_) return grid_->model().rowCount();
    return 0;
  }

 private:
  QPointer<GridWidget> grid_;
};

class ListViewControl : public Control {
 public:
  explicit ListViewControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    ListViewTypeData data;
    ListViewTypeData::Decode(c.unit->typeData, &data);
    list_ = new ListViewWidget(c.parent);
    for (const ListViewTypeData::Column& column : data.columns) list_->addColumn(column.title, column.width);
    list_->setClickedHandler([this] { RaiseEvent(windowId(), unitId(), kListViewEventClicked); });
    setWidget(list_);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number == kListViewPropertySelectedItem - 8) return list_ ? list_->selectedItem() : -1;
    return 0;
  }

 private:
  QPointer<ListViewWidget> list_;
};

}  // namespace

std::string GridTypeData::Encode() const {
  ByteWriter w;
  for (int32_t v : {rows, columns, fixedRows, fixedColumns, rowHeight, columnWidth}) w.I32(v);
  return w.str();
}

bool GridTypeData::Decode(std::string_view bytes, GridTypeData* out) {
  ByteReader r(bytes);
  GridTypeData d;
  if (!(r.ReadI32(&d.rows) && r.ReadI32(&d.columns) && r.ReadI32(&d.fixedRows) &&
        r.ReadI32(&d.fixedColumns) && r.ReadI32(&d.rowHeight) && r.ReadI32(&d.columnWidth) && r.atEnd())) {
    return false;
  }
  if (d.rows < 0 || d.rows > kMaxTemplateRows || d.columns < 0 || d.columns > kMaxTemplateColumns)
    return false;
  if (d.fixedRows < 0 || d.fixedRows > d.rows || d.fixedColumns < 0 || d.fixedColumns > d.columns)
    return false;
  if (d.rowHeight < 0 || d.columnWidth < 0) return false;
  *out = d;
  return true;
}

std::string ListViewTypeData::Encode() const {
  ByteWriter w;
  w.U32(view);
  w.U32(static_cast<uint32_t>(columns.size()));
  for (const Column& c : columns) {
    w.Text(c.title);
    w.I32(c.width);
  }
  return w.str();
}

bool ListViewTypeData::Decode(std::string_view bytes, ListViewTypeData* out) {
  ByteReader r(bytes);
  ListViewTypeData d;
  uint32_t n = 0;
  if (!r.ReadU32(&d.view) || d.view != kReportView || !r.ReadU32(&n) || n > kMaxListColumns) return false;
  for (uint32_t i = 0; i < n; ++i) {
    Column c;
    if (!r.ReadText(&c.title) || !r.ReadI32(&c.width) || c.width < 0) return false;
    d.columns.push_back(std::move(c));
  }
  if (!r.atEnd()) return false;
  *out = std::move(d);
  return true;
}

void RegisterGridAndListControls() {
  RegisterControlType(
      {rt::kTypeGrid, rt::kLibraryGrid, true, CheckTypeData<GridTypeData>, CreateControl<GridControl>});
  RegisterControlType({rt::kTypeListView, rt::kLibraryExtended, true, CheckTypeData<ListViewTypeData>,
                       CreateControl<ListViewControl>});
}

}  // namespace ui
