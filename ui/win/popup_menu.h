// The Win32 backend's context menu: the entries of a MenuProvider (ui/context_menu.h) in a
// TrackPopupMenu menu. Included by ui/win/ only.
//
// Thread contract: GUI thread only.
#ifndef UI_WIN_POPUP_MENU_H_
#define UI_WIN_POPUP_MENU_H_

#include <windows.h>

#include <vector>

#include "ui/context_menu.h"

namespace ui {

// Shows the entries at the screen point and returns once the menu has closed. A chosen
// entry's action runs afterwards from the event loop, and only while `owner` still exists.
void PopUpMenu(HWND owner, const std::vector<MenuEntry>& entries, POINT screen);

// Where a context menu asked for at (x, y) opens: that point, or for the keyboard's request
// (-1, -1) the control's top left corner.
POINT MenuPoint(HWND control, int x, int y);

// The entry the next menu chooses by itself instead of waiting for the user (1: the first;
// 0: none), for tests that run without anyone at the screen. Reset after each menu.
void ChooseNextMenuEntry(int entry);

}  // namespace ui

#endif  // UI_WIN_POPUP_MENU_H_
