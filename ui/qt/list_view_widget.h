// The list view control's widget in report view: titled columns, items numbered from 0 with
// one text per column, selection, a handler for clicks anywhere on the list (also where no
// item is, which leaves nothing selected), and a context menu (right button or menu key) whose
// entries its owner gives for the line it was asked on.
//
// Texts are code page 936 bytes. Ownership: a toolkit widget, owned by its parent.
// Thread contract: GUI thread only.
#ifndef UI_QT_LIST_VIEW_WIDGET_H_
#define UI_QT_LIST_VIEW_WIDGET_H_

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/context_menu.h"

namespace ui {

class ListViewWidget : public QTreeWidget {
 public:
  explicit ListViewWidget(QWidget* parent = nullptr);

  // Appends a column with its title and width in pixels.
  void addColumn(std::string_view title, int width);
  std::string columnTitle(int column) const;

  void deleteAllItems();
  // An omitted (or negative, or past the end) position appends. Returns the new index.
  int insertItem(int position, std::string_view text, int image, int stateImage, int indent, int64_t data);
  // Nothing happens for a missing item or column.
  void setItemText(int item, int column, std::string_view text);
  // Empty for a missing item or column.
  std::string itemText(int item, int column) const;
  int itemCount() const { return topLevelItemCount(); }
  // What an item keeps beside its texts, as it was inserted; nothing for a missing item.
  struct ItemAttributes {
    int image = -1;
    int stateImage = 0;
    int indent = 0;
    int64_t data = 0;
    bool operator==(const ItemAttributes&) const = default;
  };
  std::optional<ItemAttributes> itemAttributes(int item) const;
  // The first selected item in item order, -1 when none.
  int selectedItem() const;

  // Called after a left click on the list has updated the selection.
  void setClickedHandler(std::function<void()> handler) { onClick_ = std::move(handler); }
  // The entries of the context menu. With the right button the line under the pointer becomes
  // the selected one first (the provider receives -1 where there is none); with the menu key,
  // the current line. Left clicks stay as they are.
  void setContextMenuProvider(MenuProvider provider) { menuProvider_ = std::move(provider); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  std::function<void()> onClick_;
  MenuProvider menuProvider_;
  bool pressed_ = false;
};

}  // namespace ui

#endif  // UI_QT_LIST_VIEW_WIDGET_H_
