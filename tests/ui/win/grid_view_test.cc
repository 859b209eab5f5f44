// The grid's window on Windows: input through the messages a user's input sends, geometry
// through the view, and what it draws read back from WM_PRINTCLIENT into a DIB section.
#include "ui/win/grid_view.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "tests/support/bmp_samples.h"
#include "ui/win/popup_menu.h"

namespace ui {
namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;

// The client area's pixels as 0xRRGGBB.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

bool Near(uint32_t a, uint32_t b, int tolerance = 40) {
  for (int shift : {0, 8, 16}) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// Quadrants: red, green (top), blue, white (bottom).
std::string QuadrantBmp(int w, int h) {
  return testing_support::BmpFile(w, h, [w, h](int x, int y) {
    return y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite);
  });
}

// The main window's grid as its template sets it up: one fixed row and column, rows 24 and
// columns 60 pixels, column 1 for pictures; in a top-level window of its own.
class GridViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(view_.hwnd(), nullptr);
    model().Reset(1, 5, 1, 1, 24, 60);
    ASSERT_TRUE(model().setColumnKind(1, GridModel::kKindPicture));
  }
  GridModel& model() { return view_.model(); }
  void AddRows(int n) {
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(model().insertRow(std::to_string(model().rowCount()), std::nullopt));
  }
  void Send(UINT message, int x, int y) {
    ::SendMessageW(view_.hwnd(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
  }
  // Handles what has arrived for a while (the repaint timer, decoded pictures).
  static void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      platform::ProcessPendingEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  void WaitForPictures() {
    for (int i = 0; i < 500 && model().picturesDecoding() > 0; ++i) Pump(5);
    EXPECT_EQ(model().picturesDecoding(), 0);
  }
  // What the window draws now.
  Shot Render() {
    RECT client{};
    ::GetClientRect(view_.hwnd(), &client);
    Shot shot;
    shot.width = client.right;
    shot.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, dib);
    ::SendMessageW(view_.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(dib);
    return shot;
  }
  // Renders, lets the pictures in view arrive, renders again.
  Shot RenderWithPictures() {
    Render();
    WaitForPictures();
    return Render();
  }

  GridView view_{nullptr, 0, 0, 480, 360};
};

TEST_F(GridViewTest, ClicksMakeBodyCellsCurrentAndReportTheirRelease) {
  AddRows(3);
  std::vector<std::pair<int, int>> released;
  std::vector<int> currentAtRelease;
  view_.setLeftButtonReleasedHandler([&](int x, int y) {
    released.emplace_back(x, y);
    currentAtRelease.push_back(model().currentRow());
  });
  auto click = [this](int x, int y) {
    Send(WM_LBUTTONDOWN, x, y);
    Send(WM_LBUTTONUP, x, y);
  };
  click(150, 12);  // the title row
  EXPECT_EQ(model().currentRow(), -1);
  const GridRect cell = view_.cellRect(2, 3);
  ASSERT_EQ(view_.cellAt(cell.left + 5, cell.top + 5), std::make_pair(2, 3));
  click(cell.left + 5, cell.top + 5);
  EXPECT_EQ(model().currentRow(), 2);
  EXPECT_EQ(model().currentColumn(), 3);
  click(30, 40);  // the fixed column
  EXPECT_EQ(model().currentRow(), 2);
  Send(WM_LBUTTONUP, 100, 60);  // a release without a press here
  Send(WM_RBUTTONDOWN, 100, 60);
  Send(WM_RBUTTONUP, 100, 60);
  EXPECT_EQ(model().currentRow(), 2);
  ASSERT_EQ(released.size(), 3u);
  EXPECT_EQ(released[1], std::make_pair(cell.left + 5, cell.top + 5));
  EXPECT_EQ(currentAtRelease[1], 2);  // the press had made the cell current

  // The current cell's frame is painted at once, not with the next data change.
  const Shot shot = Render();
  EXPECT_TRUE(Near(shot.at(cell.left + 1, cell.top + cell.height / 2), 0x3366CC));
}

TEST_F(GridViewTest, TheContextMenuIsAskedForTheRowUnderThePointerOrTheCurrentOne) {
  AddRows(3);
  std::vector<int> asked;
  view_.setContextMenuProvider([&asked](int row) {
    asked.push_back(row);
    return std::vector<MenuEntry>{};  // no entries: no menu to wait for
  });
  auto rightClick = [this](int x, int y) {
    Send(WM_RBUTTONDOWN, x, y);
    Send(WM_RBUTTONUP, x, y);  // the system turns the release into WM_CONTEXTMENU
  };
  const GridRect row2 = view_.cellRect(2, 3);
  rightClick(row2.left + 5, row2.top + 5);
  rightClick(400, 340);  // below the rows
  ASSERT_TRUE(model().setCurrentCell(3, 2));
  ::SendMessageW(view_.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view_.hwnd()), MAKELPARAM(-1, -1));
  EXPECT_EQ(asked, (std::vector<int>{2, -1, 3}));
  EXPECT_EQ(model().currentRow(), 3);  // neither the right button nor the menu moves it

  // A chosen entry runs once the menu has closed, for the row it was asked for.
  std::vector<int> ran;
  view_.setContextMenuProvider([&ran](int row) {
    return std::vector<MenuEntry>{{"下载", true, [&ran, row] { ran.push_back(row); }}};
  });
  ChooseNextMenuEntry(1);
  rightClick(row2.left + 5, row2.top + 5);
  EXPECT_TRUE(ran.empty());
  platform::ProcessPendingEvents();
  EXPECT_EQ(ran, std::vector<int>{2});
}

TEST_F(GridViewTest, ScrollBarsMoveTheBodyUnderTheFixedRow) {
  AddRows(8);
  for (int r = 1; r <= 8; ++r) ASSERT_TRUE(model().setRowHeight(r, 100));
  ::SendMessageW(view_.hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
  RECT client{};
  ::GetClientRect(view_.hwnd(), &client);
  EXPECT_EQ(view_.scroll().y, model().contentHeight() - client.bottom);
  const GridRect last = view_.cellRect(8, 2);
  EXPECT_EQ(last.bottom() + 1, client.bottom);
  Send(WM_LBUTTONDOWN, last.left + 5, last.top + 5);
  Send(WM_LBUTTONUP, last.left + 5, last.top + 5);
  EXPECT_EQ(model().currentRow(), 8);
  EXPECT_EQ(view_.cellAt(150, 10), std::make_pair(0, 2));  // the title row stays in view
  ::SendMessageW(view_.hwnd(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(view_.cellRect(8, 2).top, last.top + 20);
  ::SendMessageW(view_.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 100), 0);
  EXPECT_EQ(view_.scroll().y, 0);
}

TEST_F(GridViewTest, PicturesAreDecodedOffThePaintAndDrawnInEveryMode) {
  AddRows(1);
  ASSERT_TRUE(model().setColumnWidth(1, 101));
  ASSERT_TRUE(model().setRowHeight(1, 101));
  ASSERT_TRUE(model().setCellPicture(1, 1, QuadrantBmp(32, 20)));
  const GridRect cell = view_.cellRect(1, 1);  // 100 by 100
  const int cx = cell.left + cell.width / 2;
  const int cy = cell.top + cell.height / 2;

  // The first paint only sends the picture away, and does not wait for it.
  Shot shot = Render();
  EXPECT_EQ(model().picturesDecoding(), 1);
  EXPECT_EQ(shot.at(cx, cy), kWhite);
  WaitForPictures();

  // Stretched: the quadrants reach the cell's corners; the grid line below is kept.
  shot = Render();
  EXPECT_TRUE(Near(shot.at(cell.left + 2, cell.top + 2), kRed));
  EXPECT_TRUE(Near(shot.at(cell.right() - 3, cell.top + 2), kGreen));
  EXPECT_TRUE(Near(shot.at(cell.left + 2, cell.bottom() - 3), kBlue));
  EXPECT_TRUE(Near(shot.at(cell.right() - 3, cell.bottom() - 3), kWhite));
  EXPECT_TRUE(Near(shot.at(cx, cell.bottom()), 0xC0C0C0, 2));

  ASSERT_TRUE(model().setCellPicture(1, 1, testing_support::SolidBmp(10, 10, kRed)));
  ASSERT_TRUE(model().setPictureMode(1, GridModel::kModeTile));
  shot = RenderWithPictures();
  EXPECT_TRUE(Near(shot.at(cell.right() - 2, cell.bottom() - 2), kRed));

  ASSERT_TRUE(model().setPictureMode(1, GridModel::kModeCentre));
  shot = Render();
  EXPECT_TRUE(Near(shot.at(cx, cy), kRed));
  EXPECT_EQ(shot.at(cell.left + 2, cell.top + 2), kWhite);
  EXPECT_EQ(shot.at(cx + 8, cy), kWhite);

  ASSERT_TRUE(model().setPictureMode(1, GridModel::kModeTopLeft));
  shot = Render();
  EXPECT_TRUE(Near(shot.at(cell.left + 2, cell.top + 2), kRed));
  EXPECT_EQ(shot.at(cell.left + 12, cell.top + 2), kWhite);
  EXPECT_EQ(shot.at(cx, cy), kWhite);

  ASSERT_TRUE(model().setCellPicture(1, 1, testing_support::SolidBmp(40, 20, kBlue)));
  ASSERT_TRUE(model().setPictureMode(1, GridModel::kModeFit));  // 100 by 50, centred
  shot = RenderWithPictures();
  EXPECT_TRUE(Near(shot.at(cell.left + 2, cy), kBlue));
  EXPECT_TRUE(Near(shot.at(cell.right() - 2, cy + 20), kBlue));
  EXPECT_EQ(shot.at(cx, cell.top + 10), kWhite);
  EXPECT_EQ(shot.at(cx, cell.bottom() - 10), kWhite);

  // The fixed row is shaded; a row that went while its picture was decoded is simply gone.
  EXPECT_EQ(shot.at(cx, 10), 0xF0F0F0u);
  AddRows(1);
  ASSERT_TRUE(model().setCellPicture(2, 1, testing_support::SolidBmp(8, 8, kGreen)));
  Render();
  ASSERT_EQ(model().picturesDecoding(), 1);
  ASSERT_TRUE(model().deleteRow(2));
  WaitForPictures();
}

TEST_F(GridViewTest, DataChangesArePaintedTogetherAfterTheInterval) {
  AddRows(2);
  ::ShowWindow(view_.hwnd(), SW_SHOWNOACTIVATE);
  ::UpdateWindow(view_.hwnd());
  // The rows added before are painted once their interval has passed (later on a busy machine).
  Pump(3 * GridView::kRepaintIntervalMs);
  for (int i = 0; i < 100 && ::GetUpdateRect(view_.hwnd(), nullptr, FALSE); ++i) {
    Pump(GridView::kRepaintIntervalMs);
  }
  ASSERT_FALSE(::GetUpdateRect(view_.hwnd(), nullptr, FALSE));
  for (int r = 1; r <= 2; ++r) ASSERT_TRUE(model().setCellText(r, 2, "changed"));
  // Nothing is asked of the window until the interval has passed, then the changed cells are.
  EXPECT_FALSE(::GetUpdateRect(view_.hwnd(), nullptr, FALSE));
  RECT pending{};
  for (int i = 0; i < 100 && !::GetUpdateRect(view_.hwnd(), &pending, FALSE); ++i) {
    MSG msg;
    if (::PeekMessageW(&msg, view_.hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE)) ::DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const GridRect first = view_.cellRect(1, 2);
  const GridRect second = view_.cellRect(2, 2);
  EXPECT_LE(pending.left, first.left);
  EXPECT_LE(pending.top, first.top);
  EXPECT_GE(pending.bottom, second.bottom());
  EXPECT_LT(pending.right, view_.cellRect(1, 4).left);  // only what changed
  ::ShowWindow(view_.hwnd(), SW_HIDE);
}

}  // namespace
}  // namespace ui
