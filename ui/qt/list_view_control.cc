// The Qt backend of the list view unit: a ListViewWidget.
#include "ui/list_view_control.h"

#include "ui/event_dispatch.h"
#include "ui/qt/list_view_widget.h"
#include "ui/qt/native_view.h"

namespace ui {
namespace {

class QtListViewControl : public ListViewControl {
 public:
  explicit QtListViewControl(const ControlContext& c) : ListViewControl(c.windowId, c.unit->id) {
    ListViewTypeData data;
    ListViewTypeData::Decode(c.unit->typeData, &data);
    list_ = new ListViewWidget(WidgetOf(c.parent));
    for (const ListViewTypeData::Column& column : data.columns) list_->addColumn(column.title, column.width);
    list_->setClickedHandler([this] { RaiseEvent(windowId(), unitId(), kListViewEventClicked); });
    setView(ViewOf(list_));
  }

  void DeleteAllItems() override {
    if (list_) list_->deleteAllItems();
  }
  int32_t InsertItem(int32_t position, std::string_view text, int32_t image, int32_t stateImage,
                     int32_t indent, int64_t data) override {
    return list_ ? list_->insertItem(position, text, image, stateImage, indent, data) : -1;
  }
  void SetItemText(int32_t item, int32_t column, std::string_view text) override {
    if (list_) list_->setItemText(item, column, text);
  }
  std::string ItemText(int32_t item, int32_t column) const override {
    return list_ ? list_->itemText(item, column) : std::string();
  }
  int32_t ItemCount() const override { return list_ ? list_->itemCount() : 0; }
  int32_t SelectedItem() const override { return list_ ? list_->selectedItem() : -1; }
  bool SetContextMenuProvider(MenuProvider provider) override {
    if (!list_) return false;
    list_->setContextMenuProvider(std::move(provider));
    return true;
  }

 private:
  QPointer<ListViewWidget> list_;
};

}  // namespace

std::unique_ptr<Control> CreateListViewControl(const ControlContext& context) {
  return std::make_unique<QtListViewControl>(context);
}

}  // namespace ui
