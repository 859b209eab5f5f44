// The kernel's controls over Win32: the test window loaded from its template.
#include "ui/kernel_controls.h"

#include <gtest/gtest.h>

#include "tests/ui/win/win_window_fixture.h"
#include "ui/context_menu.h"
#include "ui/win/popup_menu.h"
#include "ui/win/window_frame.h"

namespace ui_test {
namespace {

constexpr int32_t kText = 8;  // the caption or content property

TEST_F(WinWindowTest, TheTemplateBecomesStandardControlsWithItsTextsAndGeometry) {
  int created = 0;
  g_hooks[kOnCreated] = [&](int32_t, const int64_t*, int32_t*) { return ++created, 0; };
  ui::LoadWindow(kWindow);
  EXPECT_EQ(created, 1);
  HWND frame = Hwnd(0);
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(ui::IsFrameWindow(frame));
  EXPECT_TRUE(::IsWindowVisible(frame));
  EXPECT_EQ(TextOf(frame), L"标题");

  struct Expected {
    int32_t unit;
    const wchar_t* windowClass;
    const wchar_t* text;
  };
  for (const Expected& e : {Expected{kLabel, L"Static", L"单击复制"}, Expected{kButton, L"Button", L"解析"},
                            Expected{kEdit, L"Edit", L"abc"}, Expected{kUnregistered, L"Static", L""}}) {
    SCOPED_TRACE(e.unit);
    HWND h = Hwnd(e.unit);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(::GetParent(h), frame);
    wchar_t name[32] = {};
    ::GetClassNameW(h, name, 32);
    EXPECT_EQ(_wcsicmp(name, e.windowClass), 0) << "class";
    EXPECT_EQ(TextOf(h), e.text);
  }
  EXPECT_NE(::GetWindowLongPtrW(Hwnd(kReadOnlyEdit), GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(::GetWindowLongPtrW(Hwnd(kEdit), GWL_STYLE) & ES_READONLY, 0);
  EXPECT_TRUE(::IsWindowVisible(Hwnd(kButton)));

  // The template's geometry is at 96 DPI, scaled to the screen's; properties read it back.
  const int dpi = ui::DpiOf(frame);
  const RECT r = ChildRect(Hwnd(kButton));
  EXPECT_EQ(r.left, ui::ToPixels(220, dpi));
  EXPECT_EQ(r.top, ui::ToPixels(30, dpi));
  EXPECT_EQ(r.right - r.left, ui::ToPixels(80, dpi));
  EXPECT_EQ(ui::GetUnitProperty(kWindow, kButton, 0, -1), 220);
  EXPECT_EQ(ui::GetUnitProperty(kWindow, kButton, 3, -1), 30);
  RECT outer;
  ::GetWindowRect(frame, &outer);
  EXPECT_EQ(outer.right - outer.left, ui::ToPixels(420, dpi));  // a window's size is its outer size
  EXPECT_EQ(ui::GetUnitProperty(kWindow, 0, 2, -1), 420);
}

TEST_F(WinWindowTest, ClicksRaiseTheBoundEventsAndPropertiesReachTheControls) {
  ui::LoadWindow(kWindow);
  int clicks = 0, labelClicks = 0;
  g_hooks[kOnClick] = [&](int32_t, const int64_t*, int32_t*) { return ++clicks, 0; };
  g_hooks[kOnOther] = [&](int32_t, const int64_t*, int32_t*) { return ++labelClicks, 0; };
  ::SendMessageW(Hwnd(kButton), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  ::SendMessageW(Hwnd(kLinkedButton), BM_CLICK, 0, 0);  // served by the button it links to
  EXPECT_EQ(clicks, 2);
  ::SendMessageW(Hwnd(kLabel), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(Hwnd(kLabel), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(labelClicks, 1);

  // Visible and disabled reach the window's own state and read it back.
  ui::SetUnitProperty(kWindow, kButton, 6, -1, 1);
  EXPECT_FALSE(::IsWindowEnabled(Hwnd(kButton)));
  EXPECT_EQ(ui::GetUnitProperty(kWindow, kButton, 6, -1), 1);
  ui::SetUnitProperty(kWindow, kLabel, 5, -1, 0);
  EXPECT_FALSE(::IsWindowVisible(Hwnd(kLabel)));
  EXPECT_EQ(ui::GetUnitProperty(kWindow, kLabel, 5, -1), 0);

  // Texts cross the edge as code page 936 one way and UTF-16 the other; a multi-line edit
  // shows line ends as the system's and reads them back as the program wrote them.
  ui::SetUnitProperty(kWindow, kEdit, kText, -1, TextValue("第一行\n第二行"));
  EXPECT_EQ(TextOf(Hwnd(kEdit)), L"第一行\r\n第二行");
  EXPECT_EQ(TakeText(ui::GetUnitProperty(kWindow, kEdit, kText, -1)), "第一行\n第二行");
  ui::SetUnitProperty(kWindow, 0, kText, -1, TextValue("新标题"));
  EXPECT_EQ(TextOf(Hwnd(0)), L"新标题");
  EXPECT_EQ(TakeText(ui::GetUnitProperty(kWindow, kButton, kText, -1)), "解析");
}

TEST_F(WinWindowTest, AnEditsMenuHasItsOwnEntriesThenTheProvidersAfterASeparator) {
  ui::LoadWindow(kWindow);
  std::string ran;
  ASSERT_TRUE(ui::SetContextMenuProvider(kWindow, kEdit, [&](int line) {
    return std::vector<ui::MenuEntry>{
        {"复制全部", true, [&, line] { ran += "all " + std::to_string(line); }}};
  }));
  HWND edit = Hwnd(kEdit);
  // Cut, copy, paste, select all, the separator, then the provider's entry.
  ui::ChooseNextMenuEntry(6);
  ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
  EXPECT_EQ(ran, "");  // runs once the menu has closed
  platform::ProcessPendingEvents();
  EXPECT_EQ(ran, "all -1");
  ui::ChooseNextMenuEntry(4);
  ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
  platform::ProcessPendingEvents();
  DWORD start = 1, end = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);  // "abc"
}

TEST_F(WinWindowTest, AClosedWindowIsDestroyedUnlessItsRoutineRefuses) {
  ui::LoadWindow(kWindow);
  bool refuse = true;
  g_hooks[kOnMayClose] = [&](int32_t, const int64_t*, int32_t* given) {
    *given = 1;
    return refuse ? 0 : 1;
  };
  ::SendMessageW(Hwnd(0), WM_CLOSE, 0, 0);
  platform::ProcessPendingEvents();
  ASSERT_TRUE(ui::IsWindowLive(kWindow));
  EXPECT_TRUE(::IsWindowVisible(Hwnd(0)));

  refuse = false;
  HWND frame = Hwnd(0);
  HWND button = Hwnd(kButton);
  ::SendMessageW(frame, WM_CLOSE, 0, 0);
  for (int i = 0; i < 50 && ui::IsWindowLive(kWindow); ++i) platform::WaitForEvents(20);
  EXPECT_FALSE(ui::IsWindowLive(kWindow));
  EXPECT_FALSE(::IsWindow(frame));
  EXPECT_FALSE(::IsWindow(button));
}

}  // namespace
}  // namespace ui_test
