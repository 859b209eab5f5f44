#include "app/result_grid.h"

#include "app/constants.h"
#include "app/download_commands.h"
#include "app/login_dialog.h"
#include "app/main_window.h"
#include "net/text_pieces.h"
#include "runtime/kernel.h"
#include "text/text_helpers.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"

namespace app {
namespace {

void SetContent(int32_t unitId, const rt::Text& text) {
  rt::Helpers().SetUnitProperty(kMainWindowId, unitId, kTextProperty, -1,
                                static_cast<int64_t>(reinterpret_cast<intptr_t>(text.c_str())));
}

}  // namespace

int64_t InitResultGrid(int32_t, const int64_t*, int32_t*) {
  grid::SetCellText(kResultGrid, 0, kNumberColumn, kNumberTitle);
  grid::SetCellText(kResultGrid, 0, kPictureColumn, kPictureTitle);
  grid::SetCellText(kResultGrid, 0, kAddressColumn, kAddressTitle);
  grid::SetCellText(kResultGrid, 0, kTitleColumn, kRemarkTitle);
  grid::SetColumnKind(kResultGrid, kPictureColumn, grid::kKindPicture);
  grid::SetPictureMode(kResultGrid, kPictureColumn, grid::kModeStretch);
  // Beside the clicks: the context menus that open and download the listed addresses.
  AttachDownloadMenus();
  // And the way to give the program the user's login.
  AttachLoginMenus();
  return 0;
}

int64_t ShowRowAddresses(int32_t, const int64_t*, int32_t*) {
  list_view::DeleteAllItems(kAddressList);
  const int32_t row = grid::CurrentRow(kResultGrid);
  grid::CellValue cell = grid::GetCell(kResultGrid, row, kAddressColumn);
  // Without a current cell the value is no text; it reads as the empty text.
  const rt::Text addresses = cell.isText() ? std::move(cell.text) : rt::Text();
  const rt::TextArray pieces = kernel::SplitText(addresses, kAddressSeparator);
  for (int64_t i = 1; i <= pieces.size(); ++i) {
    const int32_t k = list_view::InsertItem(kAddressList);
    list_view::SetItemText(kAddressList, k, kListNumberColumn, kernel::ToText(k + 1).c_str());
    const rt::Text quality = text::TextBetween(pieces.at(i), kCdnBase, kQualityEndMarker);
    list_view::SetItemText(kAddressList, k, kListQualityColumn, quality.c_str());
    list_view::SetItemText(kAddressList, k, kListAddressColumn, pieces.at(i));
  }
  rt::Text lines = kernel::ReplaceText(addresses, kAddressSeparator, kLineBreak, std::nullopt, std::nullopt,
                                       /*caseSensitive=*/true);
  // A row that lacks something says why, below its addresses.
  const rt::Text reason = row >= 1 ? grid::GetRowTip(kResultGrid, row) : rt::Text();
  if (!reason.empty()) {
    // The addresses end with a line break already (the cell ends with a separator).
    const bool ended = lines.empty() || lines.view().ends_with(kLineBreak);
    lines = net::Concat({lines, ended ? kEmptyText : kLineBreak, reason});
  }
  SetContent(k编辑框1, lines);
  return 0;
}

int64_t CopySelectedAddress(int32_t, const int64_t*, int32_t*) {
  const rt::Text address =
      list_view::GetItemText(kAddressList, list_view::SelectedItem(kAddressList), kListAddressColumn);
  kernel::SetClipboardText(address);
  return 0;
}

}  // namespace app
