// The main window's download commands: the context menus of 超级列表框1 ("复制地址", "打开",
// "下载…") and of 高级表格1 ("下载…" for a row's first listed quality, "全部下载…" for every
// row's), both with "下载列表" for the downloads window; the default file names, the save
// dialogs and the questions around them; and the question asked when the main window closes
// while downloads run.
//
// A download sends what the lookup sends: the fixed User-Agent line completed with WebRequest's
// default headers (the Referer being the download's own address) and normalised as WebRequest
// normalises it, with its certificate-error mask and phase time-out; the request engine takes
// the environment's proxy and follows redirects as for the lookup.
//
// Thread contract: GUI thread only. The menu entries' actions run from the event loop after
// their menu has closed; the dialogs they open are modal.
#ifndef APP_DOWNLOAD_COMMANDS_H_
#define APP_DOWNLOAD_COMMANDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "download/download.h"
#include "ui/context_menu.h"

namespace app {

// Gives the address list and the result grid their context menus. Runs when the main window has
// been created; today's clicks stay as they are.
void AttachDownloadMenus();

// The request of a download of `address`.
download::DownloadOrder DownloadOrderFor(std::string_view address);

// The entries for list line `item` / grid row `row` (-1: none under the pointer).
std::vector<ui::MenuEntry> AddressListMenu(int32_t item);
std::vector<ui::MenuEntry> ResultGridMenu(int32_t row);

// Asks where to save `address` (proposing its default name in the folder used last), asks
// before replacing an existing file, and adds the download.
void DownloadOne(std::string_view address, std::string_view title, std::string_view quality);
// Asks for a folder and adds a download of every row's first listed quality into it, under
// the default names (numbered where two are alike); asks once whether existing files are to be
// replaced or skipped.
void DownloadAllRows();

}  // namespace app

#endif  // APP_DOWNLOAD_COMMANDS_H_
