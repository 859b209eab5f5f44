// The context menus' "登录信息…", through the window system's shared menu entry.
#include "app/constants.h"
#include "app/download_commands.h"
#include "app/login_dialog.h"
#include "app/main_window.h"
#include "ui/context_menu.h"

namespace app {
namespace {

ui::MenuEntry LoginEntry() {
  return {kLoginCaption, true, [] { ShowLoginDialog(); }};
}

}  // namespace

void AttachLoginMenus() {
  ui::SetContextMenuProvider(kMainWindowId, k高级表格1, [](int32_t row) {
    std::vector<ui::MenuEntry> entries = ResultGridMenu(row);
    entries.push_back({});
    entries.push_back(LoginEntry());
    return entries;
  });
  ui::SetContextMenuProvider(kMainWindowId, k编辑框2,
                             [](int32_t) { return std::vector<ui::MenuEntry>{LoginEntry()}; });
}

}  // namespace app
