// Context menus of the controls: the entries a control's owner offers for the line or row the
// menu was asked on. Each backend shows them in its own menu (ui/qt/popup_menu.h,
// ui/win/popup_menu.h); a chosen entry's action runs from the event loop once the menu has
// closed, so that it may open dialogs of its own.
//
// Ownership: entries are plain values. Thread contract: GUI thread only.
#ifndef UI_CONTEXT_MENU_H_
#define UI_CONTEXT_MENU_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

// One entry: its caption in the program's code page (empty: a separator), whether it can be
// chosen, and what choosing it does.
struct MenuEntry {
  std::string caption;
  bool enabled = true;
  std::function<void()> action;
};

// The entries for the line or row `index` (-1: none under the pointer); an empty list shows no
// menu.
using MenuProvider = std::function<std::vector<MenuEntry>(int index)>;

// Gives a live list view or grid control its menu's entries; an edit box gets them after its
// own (cut, copy, paste ...), the provider called with -1. False for another unit or one that
// is not live.
bool SetContextMenuProvider(int32_t windowId, int32_t unitId, MenuProvider provider);

}  // namespace ui

#endif  // UI_CONTEXT_MENU_H_
