// The list view control (the extended controls library's ListView, report view) as its
// library's commands and the window table see it, whatever draws it: items numbered from 0
// with one text per column, and the first selected item. Each backend derives its control
// from this class (ui/qt/: a QTreeWidget; ui/win/: a SysListView32).
//
// Texts are code page 936 bytes. Ownership: the window manager owns the control (control.h).
// Thread contract: GUI thread only.
#ifndef UI_LIST_VIEW_CONTROL_H_
#define UI_LIST_VIEW_CONTROL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ui/control.h"
#include "ui/grid_control.h"

namespace ui {

class ListViewControl : public Control {
 public:
  using Control::Control;

  virtual void DeleteAllItems() = 0;
  // An omitted (or negative, or past the end) position appends. Returns the new index.
  virtual int32_t InsertItem(int32_t position, std::string_view text, int32_t image, int32_t stateImage,
                             int32_t indent, int64_t data) = 0;
  // Nothing happens for a missing item or column.
  virtual void SetItemText(int32_t item, int32_t column, std::string_view text) = 0;
  // Empty for a missing item or column.
  virtual std::string ItemText(int32_t item, int32_t column) const = 0;
  virtual int32_t ItemCount() const = 0;
  // The first selected item in item order, -1 when none.
  virtual int32_t SelectedItem() const = 0;

  int64_t GetTypeProperty(int32_t number, int32_t) override {
    return number == kListViewPropertySelectedItem - 8 ? SelectedItem() : 0;
  }
};

// The backend's list view, built from the unit's type data (ListViewTypeData).
std::unique_ptr<Control> CreateListViewControl(const ControlContext& context);

}  // namespace ui

#endif  // UI_LIST_VIEW_CONTROL_H_
