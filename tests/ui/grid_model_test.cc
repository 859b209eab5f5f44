// The grid model's own parts: what it tells its view, its geometry under scrolling and the
// decoding of pictures elsewhere. Its rules as the grid library's commands report them are
// tested through the views and the library (grid_widget_test, grid_library_test).
#include "ui/grid_model.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "tests/support/bmp_samples.h"

namespace ui {
namespace {

using Change = GridModel::Change;

TEST(GridModelTest, ChangesTellTheViewWhatToRepaint) {
  GridModel grid;
  std::vector<std::tuple<Change, int, int>> seen;
  grid.setChangeHandler([&seen](Change c, int row, int column) { seen.emplace_back(c, row, column); });
  grid.Reset(3, 4, 1, 1, 24, 60);
  ASSERT_TRUE(grid.setColumnKind(3, GridModel::kKindCheck));
  ASSERT_TRUE(grid.setCellText(1, 2, "x"));
  ASSERT_FALSE(grid.setCellText(1, 3, "x"));  // refused: nothing to repaint
  ASSERT_TRUE(grid.setCellCheck(2, 3, true));
  ASSERT_TRUE(grid.setRowToolTip(1, "tip"));  // shown on request, never painted
  ASSERT_TRUE(grid.setCurrentCell(2, 2));
  ASSERT_TRUE(grid.setRowHeight(2, 40));
  ASSERT_TRUE(grid.insertRow("r", std::nullopt));
  ASSERT_TRUE(grid.deleteRow(1));
  const std::vector<std::tuple<Change, int, int>> expected = {
      {Change::kLayout, -1, -1}, {Change::kContent, -1, -1}, {Change::kCell, 1, 2},
      {Change::kCell, 2, 3},     {Change::kCurrent, 2, 2},   {Change::kLayout, -1, -1},
      {Change::kLayout, -1, -1}, {Change::kLayout, -1, -1},
  };
  EXPECT_EQ(seen, expected);
}

// Rows of three heights and columns of two widths, one fixed row and column.
GridModel MixedGrid() {
  GridModel grid;
  grid.Reset(40, 12, 1, 1, 24, 60);
  for (int r = 1; r < 40; ++r) grid.setRowHeight(r, r % 3 == 0 ? 57 : (r % 3 == 1 ? 31 : 0));
  for (int c = 1; c < 12; ++c) grid.setColumnWidth(c, c % 2 == 0 ? 45 : 100);
  return grid;
}

TEST(GridModelTest, ScrolledCellsAreHitWhereTheyLieAndTheFixedOnesCoverThem) {
  const GridModel grid = MixedGrid();
  EXPECT_EQ(grid.fixedWidth(), 60);
  EXPECT_EQ(grid.fixedHeight(), 24);
  for (const GridScroll scroll : {GridScroll{0, 0}, GridScroll{37, 101}, GridScroll{400, 900}}) {
    for (int r = 0; r < grid.rowCount(); ++r) {
      for (int c = 0; c < grid.columnCount(); ++c) {
        const GridRect cell = grid.cellRect(r, c, scroll);
        if (cell.isEmpty()) continue;  // a row of height 0 (or 1) has no inside
        const int x = cell.left + cell.width / 2;
        const int y = cell.top + cell.height / 2;
        const bool underFixed = (c >= 1 && x < 60) || (r >= 1 && y < 24);
        if (underFixed || x < 0 || y < 0) continue;
        EXPECT_EQ(grid.cellAt(x, y, scroll), std::make_pair(r, c)) << r << "," << c;
      }
    }
    // The fixed row and column stand still and cover whatever scrolled under them.
    EXPECT_EQ(grid.cellRect(0, 3, scroll).top, 0);
    EXPECT_EQ(grid.cellRect(5, 0, scroll).left, 0);
    EXPECT_EQ(grid.cellAt(30, 10, scroll), std::make_pair(0, 0));
    EXPECT_EQ(grid.cellAt(grid.fixedWidth() - 1, 30, scroll).second, 0);
  }
  EXPECT_EQ(grid.cellAt(grid.contentWidth() + 5, 30, {}), std::make_pair(-1, -1));
  EXPECT_EQ(grid.cellAt(30, grid.contentHeight() + 5, {}), std::make_pair(-1, -1));
  EXPECT_TRUE(grid.cellRect(40, 1, {}).isEmpty());
}

TEST(GridModelTest, ThePaintWalkVisitsEveryCellInViewOnceAndTheFixedOnesLast) {
  const GridModel grid = MixedGrid();
  const int width = 300;
  const int height = 200;
  const GridScroll scroll{150, 400};
  std::vector<GridRect> clips;
  std::vector<std::pair<int, int>> visited;
  grid.ForEachCellInView(
      width, height, scroll, [&](const GridRect& clip) { clips.push_back(clip); },
      [&](int row, int column, const GridRect& cell) {
        EXPECT_EQ(cell, grid.cellRect(row, column, scroll));
        visited.emplace_back(row, column);
      });
  // The scrolled cells never paint over the fixed row and column; those come last.
  ASSERT_EQ(clips.size(), 4u);
  EXPECT_EQ(clips[0], (GridRect{60, 24, width - 60, height - 24}));
  EXPECT_EQ(clips[3], (GridRect{0, 0, width, height}));
  EXPECT_EQ(visited.back(), std::make_pair(0, 0));
  const std::set<std::pair<int, int>> once(visited.begin(), visited.end());
  EXPECT_EQ(once.size(), visited.size());
  // Every cell that shows a pixel in the view is visited (grid lines included).
  for (int r = 0; r < grid.rowCount(); ++r) {
    for (int c = 0; c < grid.columnCount(); ++c) {
      const GridRect cell = grid.cellRect(r, c, scroll);
      const bool shows = cell.left < width && cell.right() + 1 > 0 && cell.top < height &&
                         cell.bottom() + 1 > 0 && grid.rowHeight(r) > 0 && grid.columnWidth(c) > 0;
      if (shows) {
        EXPECT_TRUE(once.count({r, c})) << r << "," << c;
      }
    }
  }
  EXPECT_LT(visited.size(), 120u);  // not the whole grid
}

TEST(GridModelTest, ADecodedPictureFindsItsSlotWhereverTheRowWent) {
  GridModel grid;
  grid.Reset(1, 2, 1, 1, 24, 60);
  ASSERT_TRUE(grid.setColumnKind(1, GridModel::kKindPicture));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(grid.insertRow("", std::nullopt));
  const std::string red = testing_support::SolidBmp(4, 4, 0xFF0000);
  const std::string blue = testing_support::SolidBmp(4, 4, 0x0000FF);
  ASSERT_TRUE(grid.setCellPicture(1, 1, red));
  ASSERT_TRUE(grid.setCellPicture(2, 1, blue));
  ASSERT_TRUE(grid.setCellPicture(3, 1, red));
  ASSERT_FALSE(grid.pictureSlot(1, 1)->decoded);

  GridModel::DecodeJob moved = grid.StartDecoding(grid.pictureSlot(2, 1));
  GridModel::DecodeJob dropped = grid.StartDecoding(grid.pictureSlot(3, 1));
  GridModel::DecodeJob overtaken = grid.StartDecoding(grid.pictureSlot(1, 1));
  EXPECT_EQ(grid.picturesDecoding(), 3);
  ASSERT_TRUE(grid.insertRow("new", 1));       // the blue row is row 3 now
  ASSERT_TRUE(grid.deleteRow(4));              // the last red row goes
  ASSERT_NE(grid.cellPicture(2, 1), nullptr);  // asked for meanwhile: decoded at once
  const auto first = grid.cellPicture(2, 1);

  EXPECT_TRUE(grid.FinishDecoding(moved.slot, GridModel::Decode(*moved.bytes)));
  EXPECT_FALSE(grid.FinishDecoding(dropped.slot, GridModel::Decode(*dropped.bytes)));
  EXPECT_TRUE(grid.FinishDecoding(overtaken.slot, nullptr));
  EXPECT_EQ(grid.picturesDecoding(), 0);
  ASSERT_NE(grid.pictureSlot(3, 1)->picture, nullptr);
  EXPECT_EQ(grid.pictureSlot(3, 1)->picture->pixel(1, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_FALSE(grid.pictureSlot(3, 1)->decoding);
  EXPECT_EQ(grid.cellPicture(2, 1), first);  // a late result does not replace a picture in
  EXPECT_EQ(grid.cellPicture(2, 1)->pixel(0, 0) & 0xFFFFFF, 0xFF0000u);

  // Bytes of no known format are never sent to be decoded.
  ASSERT_TRUE(grid.setCellPicture(1, 1, "not a picture"));
  EXPECT_TRUE(grid.pictureSlot(1, 1)->decoded);
  EXPECT_EQ(grid.cellPicture(1, 1), nullptr);
}

}  // namespace
}  // namespace ui
