// The Qt backend's context menu: the entries of a MenuProvider (ui/context_menu.h) in a QMenu.
//
// Ownership: a shown menu deletes itself once closed. Thread contract: GUI thread only.
#ifndef UI_QT_POPUP_MENU_H_
#define UI_QT_POPUP_MENU_H_

#include <vector>

#include "ui/context_menu.h"

class QMenu;
class QPoint;
class QWidget;

namespace ui {

// Shows the entries at `globalPos` and returns at once. A chosen entry's action runs from the
// event loop once the menu has closed, and only while `owner` still exists.
QMenu* PopUpMenu(QWidget* owner, const std::vector<MenuEntry>& entries, const QPoint& globalPos);

// Adds the entries to a menu of `owner`, with the same rule for the actions.
void AddMenuEntries(QMenu* menu, QWidget* owner, const std::vector<MenuEntry>& entries);

}  // namespace ui

#endif  // UI_QT_POPUP_MENU_H_
