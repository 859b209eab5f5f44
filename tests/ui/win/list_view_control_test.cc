// The address list over SysListView32: its columns, the library's commands, selection, the
// click event and the context menu.
#include "ui/list_view_control.h"

#include <gtest/gtest.h>

#include "tests/ui/win/win_window_fixture.h"
#include "ui/context_menu.h"
#include "ui/grid_control.h"
#include "ui/list_view_commands.h"
#include "ui/win/popup_menu.h"

namespace ui_test {
namespace {

constexpr int32_t kList = 0x16000020;
constexpr ui::ControlRef kListRef{kWindow, kList};

class WinListViewTest : public WinWindowTest {
 protected:
  ui::WindowData Data() override {
    ui::WindowData d = TestWindowData();
    ui::ListViewTypeData list;
    list.columns = {{"id", 40}, {"清晰度", 60}, {"下载地址", 200}};
    d.windows[0].units.push_back(ui::ControlUnit(kList, rt::kTypeListView, "超级列表框1", 10, 40, 300, 120,
                                                 ui::kStateVisible, list.Encode(),
                                                 {{ui::kListViewEventClicked, kOnOther}}));
    return d;
  }
  void SetUp() override {
    WinWindowTest::SetUp();
    ui::LoadWindow(kWindow);
    list_ = Hwnd(kList);
    ASSERT_NE(list_, nullptr);
  }
  int Count() { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
  void Select(int line) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&state));
  }
  // The screen point in the middle of a line.
  POINT LinePoint(int line) {
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r));
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(list_, &p);
    return p;
  }
  HWND list_ = nullptr;
};

TEST_F(WinListViewTest, ReportViewWithTheTemplatesColumnsAndTheLibrarysCommands) {
  EXPECT_NE(::GetWindowLongPtrW(list_, GWL_STYLE) & LVS_REPORT, 0);
  HWND header = reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETHEADER, 0, 0));
  ASSERT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  wchar_t title[32] = {};
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = title;
  column.cchTextMax = 32;
  ::SendMessageW(list_, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(title, L"清晰度");
  EXPECT_EQ(column.cx, ui::ToPixels(60, ui::DpiOf(list_)));

  EXPECT_EQ(list_view::InsertItem(kListRef, {.text = "b"}), 0);
  EXPECT_EQ(list_view::InsertItem(kListRef, {.position = 0, .text = "a"}), 0);
  EXPECT_EQ(list_view::InsertItem(kListRef, {.position = 99}), 2);  // past the end: appended
  EXPECT_EQ(Count(), 3);
  list_view::SetItemText(kListRef, 1, 2, "https://例/hd/x");
  EXPECT_EQ(list_view::GetItemText(kListRef, 1, 2), "https://例/hd/x");
  EXPECT_EQ(list_view::GetItemText(kListRef, 0, 0), "a");
  EXPECT_EQ(list_view::GetItemText(kListRef, 1, 3).get(), nullptr);  // no such column
  EXPECT_EQ(list_view::GetItemText(kListRef, 3, 0).get(), nullptr);  // no such line
  const std::string longText(700, 'x');                              // longer than a first read takes
  list_view::SetItemText(kListRef, 2, 2, longText.c_str());
  EXPECT_EQ(list_view::GetItemText(kListRef, 2, 2), longText);

  EXPECT_EQ(list_view::SelectedItem(kListRef), -1);
  Select(2);
  EXPECT_EQ(list_view::SelectedItem(kListRef), 2);
  list_view::DeleteAllItems(kListRef);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(list_view::SelectedItem(kListRef), -1);
}

TEST_F(WinListViewTest, AClickRaisesTheEventAndTheMenuActsOnTheLineUnderThePointer) {
  for (const char* t : {"0", "1", "2"}) list_view::InsertItem(kListRef, {.text = t});
  int clicks = 0;
  g_hooks[kOnOther] = [&](int32_t, const int64_t*, int32_t*) { return ++clicks, 0; };
  NMHDR click = {list_, 0, static_cast<UINT>(NM_CLICK)};
  ::SendMessageW(Hwnd(0), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(clicks, 1);

  std::vector<int> asked;
  std::string ran;
  ASSERT_TRUE(ui::SetContextMenuProvider(kWindow, kList, [&](int line) {
    asked.push_back(line);
    return std::vector<ui::MenuEntry>{{"复制", true, [&, line] { ran += "copy " + std::to_string(line); }},
                                      {},
                                      {"下载", false, [&] { ran += "download"; }}};
  }));
  // The right button over line 1: it becomes the selected one, the first entry runs once the
  // menu has closed.
  ui::ChooseNextMenuEntry(1);
  const POINT p = LinePoint(1);
  ::SendMessageW(Hwnd(0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(p.x, p.y));
  EXPECT_EQ(asked, std::vector<int>{1});
  EXPECT_EQ(list_view::SelectedItem(kListRef), 1);
  EXPECT_EQ(ran, "");
  platform::ProcessPendingEvents();
  EXPECT_EQ(ran, "copy 1");

  // A disabled entry does nothing; the menu key asks for the focused line.
  ui::ChooseNextMenuEntry(3);
  ::SendMessageW(Hwnd(0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(-1, -1));
  platform::ProcessPendingEvents();
  EXPECT_EQ(asked, (std::vector<int>{1, 1}));
  EXPECT_EQ(ran, "copy 1");
  // Below the last line there is none: nothing is selected for the provider.
  ui::ChooseNextMenuEntry(1);
  RECT client;
  ::GetClientRect(list_, &client);
  POINT below = {client.right / 2, client.bottom - 2};
  ::ClientToScreen(list_, &below);
  ::SendMessageW(Hwnd(0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(below.x, below.y));
  platform::ProcessPendingEvents();
  EXPECT_EQ(asked.back(), -1);
  EXPECT_EQ(ran, "copy 1copy -1");
}

}  // namespace
}  // namespace ui_test
