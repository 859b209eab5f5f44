// The result grid as a unit of a window on Windows: built from its template, reached by the grid
// library's commands and its row count property, raising event 5 on a left release.
#include <gtest/gtest.h>

#include "tests/ui/win/win_window_fixture.h"
#include "ui/context_menu.h"
#include "ui/grid_commands.h"
#include "ui/grid_control.h"

namespace ui_test {
namespace {

constexpr int32_t kGrid = 0x16000021;
constexpr ui::ControlRef kGridRef{kWindow, kGrid};

class WinGridUnitTest : public WinWindowTest {
 protected:
  ui::WindowData Data() override {
    ui::WindowData d = TestWindowData();
    ui::GridTypeData grid;
    grid.rows = 1;
    grid.columns = 5;
    grid.fixedRows = 1;
    grid.fixedColumns = 1;
    d.windows[0].units.push_back(ui::ControlUnit(kGrid, rt::kTypeGrid, "高级表格1", 10, 40, 400, 200,
                                                 ui::kStateVisible, grid.Encode(),
                                                 {{ui::kGridEventLeftReleased, kOnOther}}));
    return d;
  }
  void SetUp() override {
    WinWindowTest::SetUp();
    ui::LoadWindow(kWindow);
    grid_ = Hwnd(kGrid);
    ASSERT_NE(grid_, nullptr);
  }
  HWND grid_ = nullptr;
};

TEST_F(WinGridUnitTest, TheLibrarysCommandsAndAClickReachTheGridWindow) {
  wchar_t cls[32] = {};
  ::GetClassNameW(grid_, cls, 32);
  EXPECT_STREQ(cls, L"WL_Grid");
  EXPECT_TRUE(::IsWindowVisible(grid_));

  EXPECT_EQ(grid::RowCount(kGridRef), 1);
  ASSERT_TRUE(grid::InsertRow(kGridRef, "1"));
  ASSERT_TRUE(grid::InsertRow(kGridRef, "2"));
  EXPECT_TRUE(grid::SetCellText(kGridRef, 2, 2, "https://例/hd/a||"));
  EXPECT_FALSE(grid::SetCellText(kGridRef, 3, 2, "x"));
  EXPECT_TRUE(grid::SetColumnKind(kGridRef, 1, grid::kKindPicture));
  EXPECT_TRUE(grid::SetPictureMode(kGridRef, 1, grid::kModeStretch));
  EXPECT_TRUE(grid::SetRowHeight(kGridRef, 2, 40));
  EXPECT_EQ(grid::RowCount(kGridRef), 3);
  EXPECT_EQ(grid::GetCell(kGridRef, 2, 2).text.str(), "https://例/hd/a||");

  // A click on row 2's address cell makes it current before the release's event runs.
  std::vector<int64_t> released;
  int currentAtRelease = -2;
  g_hooks[kOnOther] = [&](int32_t count, const int64_t* args, int32_t*) {
    released.assign(args, args + count);
    currentAtRelease = grid::CurrentRow(kGridRef);
    return int64_t{0};
  };
  const int x = 60 + 60 + 10;  // the fixed column and column 1, then into column 2
  const int y = 24 + 24 + 10;  // the title row and row 1, then into row 2
  ::SendMessageW(grid_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::SendMessageW(grid_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  EXPECT_EQ(released, (std::vector<int64_t>{x, y}));
  EXPECT_EQ(currentAtRelease, 2);
  EXPECT_TRUE(grid::DeleteRow(kGridRef, 2));  // the current cell was in the last row: up one
  EXPECT_EQ(grid::CurrentRow(kGridRef), 1);

  EXPECT_TRUE(ui::SetContextMenuProvider(kWindow, kGrid, [](int) { return std::vector<ui::MenuEntry>{}; }));
}

}  // namespace
}  // namespace ui_test
