// The Windows downloads window through its windows, as a user reaches it: a line in the list
// view for each download (its texts come from the list's own item requests), the selected
// line's actions as buttons below the list, and a button that reaches the download. The
// downloads go to a closed loopback port, so they fail at once without a server.
#include "download/downloads_window.h"

#include <windows.h>
// After <windows.h>:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "download/download_manager.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"

namespace download {
namespace {

using State = Download::State;

std::wstring Wide(std::string_view gbk) {
  const std::u16string wide = platform::ToUtf16(platform::kCodePageGbk, gbk);
  return std::wstring(wide.begin(), wide.end());
}

// A visible child button of `window` with this caption, or null.
HWND ButtonCaptioned(HWND window, const std::wstring& caption) {
  for (HWND child = FindWindowExW(window, nullptr, L"Button", nullptr); child != nullptr;
       child = FindWindowExW(window, child, L"Button", nullptr)) {
    wchar_t text[64] = {};
    GetWindowTextW(child, text, 64);
    if (caption == text && IsWindowVisible(child)) return child;
  }
  return nullptr;
}

std::wstring ItemText(HWND list, int item, int column) {
  wchar_t text[512] = {};
  LVITEMW request = {};
  request.iSubItem = column;
  request.pszText = text;
  request.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&request));
  return text;
}

TEST(Win32DownloadsWindowTest, LinesShowTheDownloadsAndTheSelectedLinesButtonsReachThem) {
  DownloadManager manager([](const std::string&) { return true; });
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  std::string base(folder);
  for (char& c : base) c = c == '\\' ? '/' : c;
  std::vector<std::string> opened;
  std::unique_ptr<DownloadsWindow> window = MakeDownloadsWindow(
      &manager, [&](const std::string& path) { opened.push_back(path); }, nullptr, 0);
  HWND top = FindWindowW(L"VideolensDownloads", nullptr);
  // Wine makes windows only with a display (Xvfb will do): DISPLAY=:n.
  if (top == nullptr) GTEST_SKIP() << "no display to make windows on";
  window->Show();
  EXPECT_TRUE(window->isVisible());

  DownloadOrder order;
  order.address = "http://127.0.0.1:9/clip.mp4";  // the discard port: nothing listens there
  order.phaseTimeoutMs = 5000;
  Download* first = manager.Add(order, base + "wl-win-window-a.mp4", false);
  Download* second = manager.Add(order, base + "wl-win-window-b.mp4", false);
  ASSERT_TRUE(platform::WaitHandlingEvents(
      [&] { return first->state() == State::kFailed && second->state() == State::kFailed; }, 20000));

  HWND list = FindWindowExW(top, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(ItemText(list, 1, DownloadsWindow::kNameColumn), L"wl-win-window-b.mp4");
  EXPECT_EQ(ItemText(list, 0, DownloadsWindow::kStateColumn).rfind(Wide("失败："), 0), 0u);
  EXPECT_EQ(ItemText(list, 0, DownloadsWindow::kProgressColumn), L"0%");

  // The progress cell is drawn by the window: a bar's frame in the shadow colour where the list
  // would paint its background.
  RECT cell = {};
  cell.top = DownloadsWindow::kProgressColumn;
  cell.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC dc = GetDC(list);
  const COLORREF edge = GetPixel(dc, cell.left + 2, (cell.top + cell.bottom) / 2);
  const COLORREF inside = GetPixel(dc, cell.left + 6, cell.top + 3);
  ReleaseDC(list, dc);
  EXPECT_EQ(edge, GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(inside, GetSysColor(COLOR_WINDOW));  // nothing done, nothing filled

  // No line selected, no buttons; the second line selected shows its actions.
  EXPECT_EQ(ButtonCaptioned(top, Wide("重试")), nullptr);
  LVITEMW select = {};
  select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
  HWND cancel = ButtonCaptioned(top, Wide("取消"));
  HWND openFile = ButtonCaptioned(top, Wide("打开文件"));
  ASSERT_NE(cancel, nullptr);
  ASSERT_NE(openFile, nullptr);
  EXPECT_TRUE(IsWindowEnabled(cancel));
  EXPECT_FALSE(IsWindowEnabled(openFile));  // nothing complete to open

  SendMessageW(cancel, BM_CLICK, 0, 0);
  EXPECT_EQ(second->state(), State::kCancelled);
  EXPECT_EQ(first->state(), State::kFailed);
  EXPECT_EQ(ItemText(list, 1, DownloadsWindow::kStateColumn), Wide("已取消"));
  EXPECT_FALSE(IsWindowEnabled(cancel));

  SendMessageW(ButtonCaptioned(top, Wide("打开文件夹")), BM_CLICK, 0, 0);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0] + "/", base);

  // Closing hides the window; the list stays.
  SendMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->lineCount(), 2);
  window.reset();
  EXPECT_FALSE(IsWindow(top));
}

}  // namespace
}  // namespace download
