#include "ui/qt/list_view_widget.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

#include "platform/codepage.h"
#include "ui/qt/popup_menu.h"

namespace ui {
namespace {

constexpr int kDataRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kStateImageRole = Qt::UserRole + 2;
constexpr int kIndentRole = Qt::UserRole + 3;

QString ToDisplay(std::string_view gbk) {
  return QString::fromStdU16String(platform::ToUtf16(platform::kCodePageGbk, gbk));
}
std::string FromDisplay(const QString& s) {
  return platform::FromUtf16(platform::kCodePageGbk, s.toStdU16String());
}

}  // namespace

ListViewWidget::ListViewWidget(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setColumnCount(0);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
}

void ListViewWidget::addColumn(std::string_view title, int width) {
  const int column = columnCount();
  setColumnCount(column + 1);
  QTreeWidgetItem* head = headerItem();
  head->setText(column, ToDisplay(title));
  setColumnWidth(column, width);
}

std::string ListViewWidget::columnTitle(int column) const {
  if (column < 0 || column >= columnCount()) return {};
  return FromDisplay(headerItem()->text(column));
}

void ListViewWidget::deleteAllItems() { clear(); }

int ListViewWidget::insertItem(int position, std::string_view text, int image, int stateImage, int indent,
                               int64_t data) {
  auto* item = new QTreeWidgetItem();  // owned by the list once inserted
  item->setText(0, ToDisplay(text));
  item->setData(0, kDataRole, QVariant::fromValue<qlonglong>(data));
  item->setData(0, kImageRole, image);
  item->setData(0, kStateImageRole, stateImage);
  item->setData(0, kIndentRole, indent);
  const int at = (position < 0 || position > topLevelItemCount()) ? topLevelItemCount() : position;
  insertTopLevelItem(at, item);
  return at;
}

void ListViewWidget::setItemText(int item, int column, std::string_view text) {
  QTreeWidgetItem* it = topLevelItem(item);
  if (it == nullptr || column < 0 || column >= std::max(columnCount(), 1)) return;
  it->setText(column, ToDisplay(text));
}

std::string ListViewWidget::itemText(int item, int column) const {
  const QTreeWidgetItem* it = topLevelItem(item);
  if (it == nullptr || column < 0 || column >= std::max(columnCount(), 1)) return {};
  return FromDisplay(it->text(column));
}

std::optional<ListViewWidget::ItemAttributes> ListViewWidget::itemAttributes(int item) const {
  const QTreeWidgetItem* it = topLevelItem(item);
  if (it == nullptr) return std::nullopt;
  return ItemAttributes{it->data(0, kImageRole).toInt(), it->data(0, kStateImageRole).toInt(),
                        it->data(0, kIndentRole).toInt(), it->data(0, kDataRole).toLongLong()};
}

int ListViewWidget::selectedItem() const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (topLevelItem(i)->isSelected()) return i;
  }
  return -1;
}

void ListViewWidget::mousePressEvent(QMouseEvent* event) {
  // A click where no item is selects nothing, as the platform's list does.
  if (event->button() == Qt::LeftButton && !indexAt(event->position().toPoint()).isValid()) {
    clearSelection();
    setCurrentItem(nullptr);
  }
  QTreeWidget::mousePressEvent(event);
  pressed_ = event->button() == Qt::LeftButton;
}

void ListViewWidget::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  const bool click = pressed_ && event->button() == Qt::LeftButton &&
                     viewport()->rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click && onClick_) onClick_();
}

void ListViewWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (!menuProvider_) {
    QTreeWidget::contextMenuEvent(event);
    return;
  }
  event->accept();
  QPoint at = event->globalPos();
  QTreeWidgetItem* item = nullptr;
  if (event->reason() == QContextMenuEvent::Mouse) {
    item = itemAt(viewport()->mapFromGlobal(at));
  } else {
    item = currentItem();
    at = viewport()->mapToGlobal(item ? visualItemRect(item).center() : QPoint(0, 0));
  }
  if (item) {
    setCurrentItem(item);
    item->setSelected(true);
  }
  const std::vector<MenuEntry> entries = menuProvider_(item ? indexOfTopLevelItem(item) : -1);
  if (!entries.empty()) PopUpMenu(this, entries, at);
}

}  // namespace ui
