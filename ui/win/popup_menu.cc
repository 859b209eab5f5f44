#include "ui/win/popup_menu.h"

#include "platform/event_loop.h"
#include "ui/win/native_view.h"

namespace ui {
namespace {

int g_chooseNext = 0;

}  // namespace

void ChooseNextMenuEntry(int entry) { g_chooseNext = entry; }

POINT MenuPoint(HWND control, int x, int y) {
  POINT p = {x, y};
  if (x == -1 && y == -1) {
    RECT r;
    ::GetWindowRect(control, &r);
    p = {r.left + 4, r.top + 4};
  }
  return p;
}

void PopUpMenu(HWND owner, const std::vector<MenuEntry>& entries, POINT screen) {
  if (entries.empty()) return;
  HMENU menu = ::CreatePopupMenu();
  for (size_t i = 0; i < entries.size(); ++i) {
    const MenuEntry& e = entries[i];
    if (e.caption.empty()) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      ::AppendMenuW(menu, MF_STRING | (e.enabled ? 0 : MF_GRAYED), i + 1, WideText(e.caption).c_str());
    }
  }
  UINT chosen;
  if (g_chooseNext > 0) {
    chosen = static_cast<UINT>(g_chooseNext);
    g_chooseNext = 0;
  } else {
    // The menu needs its owner in the foreground to close when the user clicks elsewhere.
    ::SetForegroundWindow(::GetAncestor(owner, GA_ROOT));
    chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0,
                              ::GetAncestor(owner, GA_ROOT), nullptr);
  }
  ::DestroyMenu(menu);
  if (chosen == 0 || chosen > entries.size()) return;
  const MenuEntry& e = entries[chosen - 1];
  if (!e.enabled || !e.action) return;
  std::function<void()> run = e.action;
  platform::PostToGuiThread([owner, run] {
    if (::IsWindow(owner)) run();
  });
}

}  // namespace ui
