#include "app/result_grid.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include "app/constants.h"
#include "platform/codepage.h"
#include "tests/app/main_window_fixture.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"
#include "ui/qt/window_frame.h"

namespace app {
namespace {

class ResultGridTest : public testing_support::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ui::FrameWidgetOf(kMainWindowId)->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui::FrameWidgetOf(kMainWindowId)));
  }
  // Appends a video row whose address cell holds `addresses`; returns its row.
  int AddRow(const char* addresses) {
    const int row = grid::RowCount(kResultGrid);
    EXPECT_TRUE(grid::InsertRow(kResultGrid, std::to_string(row).c_str(), row));
    EXPECT_TRUE(grid::SetCellText(kResultGrid, row, 2, addresses));
    return row;
  }
  // A real click on a cell of the grid: the press makes it current, the release runs
  // ShowRowAddresses.
  void ClickCell(int row, int column) {
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Grid()->cellRect(row, column).center());
  }
  void ClickListLine(int item) {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                      List()->visualItemRect(List()->topLevelItem(item)).center());
  }
  // The list as "number|quality|address" lines.
  std::vector<std::string> ListLines() {
    std::vector<std::string> out;
    for (int i = 0; i < List()->itemCount(); ++i) {
      out.push_back(List()->itemText(i, 0) + "|" + List()->itemText(i, 1) + "|" + List()->itemText(i, 2));
    }
    return out;
  }
  static std::string Clipboard() {
    return platform::Utf8ToGbk(QGuiApplication::clipboard()->text().toStdString());
  }
};

using LineList = std::vector<std::string>;

TEST_F(ResultGridTest, AClickedRowListsItsAddressesOnePerLine) {
  const int row = AddRow("A||B||C||");
  ClickCell(row, 3);
  EXPECT_EQ(grid::CurrentRow(kResultGrid), row);
  EXPECT_EQ(ListLines(), (LineList{"1||A", "2||B", "3||C"}));  // no fourth, empty line
  EXPECT_EQ(Content(k编辑框1), "A\r\nB\r\nC\r\n");
}

TEST_F(ResultGridTest, EmptyPiecesBetweenSeparatorsStayAndQualitiesComeFromTheCdnAddress) {
  AddRow("A||||B||");
  const std::string hd = std::string(kCdnBase) + "hd/v/1.mp4?x=1";
  const std::string ld = std::string(kCdnBase) + "ld/v/1.mp4";
  const int row = AddRow((hd + "||https://elsewhere.test/sd/2.mp4||" + ld + "||").c_str());
  ClickCell(1, 2);
  EXPECT_EQ(ListLines(), (LineList{"1||A", "2||", "3||B"}));
  EXPECT_EQ(Content(k编辑框1), "A\r\n\r\nB\r\n");
  ClickCell(row, 3);
  EXPECT_EQ(ListLines(), (LineList{"1|hd|" + hd, "2||https://elsewhere.test/sd/2.mp4", "3|ld|" + ld}));
}

TEST_F(ResultGridTest, FixedCellsNeverBecomeCurrentSoTheTitleIsNeverListed) {
  // Before any cell was current a click on the title row finds no current cell: the list and
  // 编辑框1 are emptied instead of ending the program with a type mismatch.
  AddRow("A||");
  SetContent(k编辑框1, "left over");
  list_view::InsertItem(kAddressList, {.text = "old"});
  ClickCell(0, 2);
  EXPECT_EQ(grid::CurrentRow(kResultGrid), -1);
  EXPECT_EQ(List()->itemCount(), 0);
  EXPECT_EQ(Content(k编辑框1), "");

  ClickCell(1, 2);
  ClickCell(0, 2);  // the title row: the current cell stays on row 1
  ClickCell(1, 0);  // the number column: likewise
  EXPECT_EQ(grid::CurrentRow(kResultGrid), 1);
  EXPECT_EQ(ListLines(), (LineList{"1||A"}));

  AddRow("");  // an empty address cell empties the list and 编辑框1
  ClickCell(2, 3);
  EXPECT_EQ(List()->itemCount(), 0);
  EXPECT_EQ(Content(k编辑框1), "");
}

TEST_F(ResultGridTest, AClickedListLineCopiesItsAddress) {
  const std::string address = std::string(kCdnBase) + "sd/视频.mp4";
  const int row = AddRow(("A||" + address + "||").c_str());
  ClickCell(row, 2);
  ClickListLine(1);
  EXPECT_EQ(list_view::SelectedItem(kAddressList), 1);
  EXPECT_EQ(Clipboard(), address);
  ClickListLine(0);
  EXPECT_EQ(Clipboard(), "A");
  // A click beside the lines selects nothing and copies an empty text.
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(200, 200));
  EXPECT_EQ(list_view::SelectedItem(kAddressList), -1);
  EXPECT_EQ(Clipboard(), "");
}

TEST_F(ResultGridTest, InitResultGridGivesTheTitleRowAndAPictureColumn) {
  EXPECT_EQ(grid::RowCount(kResultGrid), 1);
  const char* titles[] = {"序号", "图片", "下载地址", "备注"};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(grid::GetCell(kResultGrid, 0, c).text, titles[c]) << c;
  EXPECT_TRUE(grid::GetCell(kResultGrid, 0, 4).text.empty());
  EXPECT_EQ(Grid()->model().columnKind(1), ui::GridModel::kKindPicture);
  EXPECT_EQ(Grid()->model().pictureMode(1), ui::GridModel::kModeStretch);
  EXPECT_EQ(grid::CurrentRow(kResultGrid), -1);
  EXPECT_EQ(Content(k编辑框2), SampleAddress());
  EXPECT_EQ(Content(k编辑框1), "");
  EXPECT_EQ(List()->itemCount(), 0);
  EXPECT_EQ(list_view::SelectedItem(kAddressList), -1);
  EXPECT_EQ(Grid()->geometry(), QRect(8, 8, 776, 560));
  EXPECT_EQ(List()->geometry(), QRect(784, 104, 416, 240));
  EXPECT_EQ(List()->columnTitle(1), "清晰度");
  EXPECT_EQ(List()->columnWidth(2), 300);
}

TEST_F(ResultGridTest, InsertRowPastTheEndAppends) {
  AddRow("A||");
  EXPECT_TRUE(grid::InsertRow(kResultGrid, "9", 40));
  EXPECT_EQ(grid::RowCount(kResultGrid), 3);
  EXPECT_EQ(grid::GetCell(kResultGrid, 2, 0).text, "9");
}

TEST_F(ResultGridTest, DeletingRowsFromTheEndMovesTheCurrentCellAway) {
  for (const char* a : {"A||", "B||", "C||"}) AddRow(a);
  ClickCell(3, 2);
  // The lookup clears the grid from the last row up.
  for (int n = grid::RowCount(kResultGrid); n >= 2; --n) ASSERT_TRUE(grid::DeleteRow(kResultGrid, n - 1));
  EXPECT_EQ(grid::CurrentRow(kResultGrid), -1);
  EXPECT_EQ(grid::RowCount(kResultGrid), 1);
  EXPECT_EQ(grid::GetCell(kResultGrid, 0, 2).text, "下载地址");
  ClickCell(0, 2);
  EXPECT_EQ(List()->itemCount(), 0);  // the title is never listed as an address
}

}  // namespace
}  // namespace app
