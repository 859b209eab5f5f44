#include "app/download_commands.h"

#include <set>

#include "app/constants.h"
#include "app/download_names.h"
#include "app/main_window.h"
#include "app/result_grid.h"
#include "download/window_downloads.h"
#include "net/headers.h"
#include "net/text_pieces.h"
#include "net/web_request.h"
#include "runtime/kernel.h"
#include "text/text_helpers.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"

namespace app {
namespace {

// The main window's downloads, with the question asked when it closes while they run.
download::WindowDownloads* Downloads() {
  download::WindowDownloads* downloads = download::WindowDownloads::Of(kMainWindowId);
  if (downloads) {
    downloads->SetCloseQuestion([downloads] {
      return downloads->Ask(kCloseQuestionTitle, kCloseQuestion,
                            {kStopAndQuitButton, kKeepDownloadingButton}) == 0;
    });
  }
  return downloads;
}

std::string CellText(int32_t row, int32_t column) {
  grid::CellValue cell = grid::GetCell(kResultGrid, row, column);
  return cell.isText() ? cell.text.str() : std::string();
}

// The play addresses of a row's address cell, in the order the cell lists them.
std::vector<std::string> RowAddresses(int32_t row) {
  std::vector<std::string> addresses;
  const std::string cell = CellText(row, kAddressColumn);
  if (cell.empty()) return addresses;
  net::ForEachPiece(cell, kAddressSeparator,
                    [&](size_t start, size_t end) { addresses.push_back(cell.substr(start, end - start)); });
  return addresses;
}

// The first listed quality of a row with an address: its address; empty when it has none.
std::string FirstAddress(int32_t row) {
  for (const std::string& a : RowAddresses(row)) {
    if (!a.empty()) return a;
  }
  return std::string();
}

std::string QualityOf(const std::string& address) {
  return text::TextBetween(address.c_str(), kCdnBase, kQualityEndMarker).str();
}

// The title of the row that lists `address`: the current row when it does (the list shows its
// addresses), else the first that does.
std::string TitleOf(const std::string& address) {
  auto lists = [&](int32_t row) {
    for (const std::string& a : RowAddresses(row)) {
      if (a == address) return true;
    }
    return false;
  };
  const int32_t current = grid::CurrentRow(kResultGrid);
  if (current >= 1 && lists(current)) return CellText(current, kTitleColumn);
  for (int32_t row = 1; row < grid::RowCount(kResultGrid); ++row) {
    if (lists(row)) return CellText(row, kTitleColumn);
  }
  return std::string();
}

std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view p : pieces) out.append(p);
  return out;
}

ui::MenuEntry DownloadsWindowEntry() {
  return {kDownloadsWindowCaption, true, [] {
            if (download::WindowDownloads* s = Downloads()) s->ShowWindow();
          }};
}

}  // namespace

download::DownloadOrder DownloadOrderFor(std::string_view address) {
  download::DownloadOrder order;
  order.address = std::string(address);
  rt::Text headers(kRequestHeaderLine);
  net::AddDefaultHeaders(headers, order.address, 0);  // method 0: GET
  const rt::Text normalized = net::NormalizeHeaders(headers);
  const std::string block = normalized.str();
  // Cut into lines, and each line into name and value, as WebRequest hands them on.
  net::ForEachPiece(normalized, kLineBreak, [&](size_t start, size_t end) {
    if (end <= start) return;
    const std::string line = block.substr(start, end - start);
    order.headers.emplace_back(net::HeaderName(line).str(), net::HeaderValue(line).str());
  });
  order.certificateErrorMask = static_cast<uint32_t>(net::kIgnoreCertificateErrors);
  order.phaseTimeoutMs = net::kDefaultTimeoutMs;
  return order;
}

void AttachDownloadMenus() {
  ui::SetContextMenuProvider(kAddressList.windowId, kAddressList.unitId, AddressListMenu);
  ui::SetContextMenuProvider(kResultGrid.windowId, kResultGrid.unitId, ResultGridMenu);
}

std::vector<ui::MenuEntry> AddressListMenu(int32_t item) {
  const bool line = item >= 0;
  const std::string address =
      line ? list_view::GetItemText(kAddressList, item, kListAddressColumn).str() : std::string();
  const std::string quality =
      line ? list_view::GetItemText(kAddressList, item, kListQualityColumn).str() : std::string();
  std::vector<ui::MenuEntry> entries;
  // What a click on the line does: the line under the pointer is the selected one now.
  entries.push_back({kCopyAddressCaption, line, [] { CopySelectedAddress(0, nullptr, nullptr); }});
  entries.push_back({kOpenAddressCaption, download::IsHttpAddress(address), [address] {
                       if (download::WindowDownloads* s = Downloads()) s->OpenAddress(address);
                     }});
  entries.push_back({kDownloadCaption, !address.empty(),
                     [address, quality] { DownloadOne(address, TitleOf(address), quality); }});
  entries.push_back({});
  entries.push_back(DownloadsWindowEntry());
  return entries;
}

std::vector<ui::MenuEntry> ResultGridMenu(int32_t row) {
  const bool videoRow = row >= 1 && row < grid::RowCount(kResultGrid);
  const std::string first = videoRow ? FirstAddress(row) : std::string();
  const std::string title = videoRow ? CellText(row, kTitleColumn) : std::string();
  bool anyAddress = false;
  for (int32_t r = 1; r < grid::RowCount(kResultGrid) && !anyAddress; ++r)
    anyAddress = !FirstAddress(r).empty();
  std::vector<ui::MenuEntry> entries;
  entries.push_back(
      {kDownloadCaption, !first.empty(), [first, title] { DownloadOne(first, title, QualityOf(first)); }});
  entries.push_back({kDownloadAllCaption, anyAddress, [] { DownloadAllRows(); }});
  entries.push_back({});
  entries.push_back(DownloadsWindowEntry());
  return entries;
}

void DownloadOne(std::string_view address, std::string_view title, std::string_view quality) {
  download::WindowDownloads* downloads = Downloads();
  if (downloads == nullptr) return;
  const std::string path = downloads->AskSavePath(kSaveDialogTitle, DefaultFileName(title, quality, address));
  if (path.empty()) return;
  const std::string name = download::WindowDownloads::FileNameOf(path);
  if (downloads->IsTargetInUse(path)) {
    downloads->Inform(kDownloadQuestionTitle, Joined({kInUseOpen, name, kInUseClose}));
    return;
  }
  bool replace = false;
  if (download::WindowDownloads::Exists(path)) {
    const std::string question = Joined({kReplaceQuestionOpen, name, kReplaceQuestionClose});
    if (downloads->Ask(kDownloadQuestionTitle, question, {kReplaceButton, kCancelButton}) != 0) return;
    replace = true;
  }
  downloads->RememberFolder(download::WindowDownloads::FolderOf(path));
  downloads->Add(DownloadOrderFor(address), path, replace);
}

void DownloadAllRows() {
  download::WindowDownloads* downloads = Downloads();
  if (downloads == nullptr) return;
  const std::string folder = downloads->AskFolder(kFolderDialogTitle);
  if (folder.empty()) return;
  struct Planned {
    std::string address;
    std::string path;
    bool exists;
  };
  std::vector<Planned> planned;
  std::set<std::string> taken;
  int existing = 0;
  for (int32_t row = 1; row < grid::RowCount(kResultGrid); ++row) {
    const std::string address = FirstAddress(row);
    if (address.empty()) continue;
    const std::string name = DefaultFileName(CellText(row, kTitleColumn), QualityOf(address), address);
    // Two videos of the same title and quality (the same id twice on a page) get numbers.
    std::string path = download::WindowDownloads::JoinPath(folder, name);
    // Names that differ only in case are one file where the folder compares names so.
    for (int n = 2; taken.count(downloads->TargetKey(path)) != 0 || downloads->IsTargetInUse(path); ++n) {
      path = download::WindowDownloads::JoinPath(folder, NumberedFileName(name, n));
    }
    taken.insert(downloads->TargetKey(path));
    const bool exists = download::WindowDownloads::Exists(path);
    existing += exists ? 1 : 0;
    planned.push_back({address, path, exists});
  }
  bool replace = false;
  if (existing > 0) {
    const std::string question = Joined({kExistingFilesOpen, std::to_string(existing), kExistingFilesClose});
    const int choice =
        downloads->Ask(kDownloadQuestionTitle, question, {kReplaceAllButton, kSkipButton, kCancelButton});
    if (choice != 0 && choice != 1) return;
    replace = choice == 0;
  }
  downloads->RememberFolder(folder);
  for (Planned& p : planned) {
    if (p.exists && !replace) continue;
    downloads->Add(DownloadOrderFor(p.address), p.path, p.exists);
  }
}

}  // namespace app
