#include "ui/qt/grid_widget.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <vector>

#include "tests/support/picture_samples.h"

namespace ui {
namespace {

using testing_support::ColourNear;
using Type = GridWidget::CellValue::Type;

// The main window's grid as its template sets it up: 1 row, 5 columns, one fixed row and
// column, rows 24 and columns 60 pixels; column 1 for pictures.
class GridWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.resize(776, 560);
    grid_.model().Reset(1, 5, 1, 1, 24, 60);
    ASSERT_TRUE(grid_.model().setColumnKind(1, GridModel::kKindPicture));
  }
  // Appends n numbered rows.
  void AddRows(int n) {
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(grid_.model().insertRow(std::to_string(grid_.model().rowCount()), std::nullopt));
  }
  // What the viewport shows once the pictures in view are in: the first paint sends them to be
  // decoded off the GUI thread, the one after their arrival draws them.
  QImage Grab() {
    grid_.viewport()->grab();
    for (int i = 0; i < 500 && grid_.model().picturesDecoding() > 0; ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (grid_.model().picturesDecoding() > 0) QThread::msleep(2);
    }
    EXPECT_EQ(grid_.model().picturesDecoding(), 0);
    return grid_.viewport()->grab().toImage();
  }

  GridWidget grid_;
};

TEST_F(GridWidgetTest, SetCellRefusesWhatTheColumnDoesNotHold) {
  AddRows(1);
  EXPECT_TRUE(grid_.model().setCellText(0, 1, "图片"));  // a fixed cell of the picture column
  EXPECT_FALSE(grid_.model().setCellText(1, 1, "x"));    // a picture cell
  EXPECT_TRUE(grid_.model().setCellText(1, 2, "a||b||"));
  EXPECT_FALSE(grid_.model().setCellText(2, 2, "x"));  // no such row
  EXPECT_FALSE(grid_.model().setCellText(1, 5, "x"));
  EXPECT_FALSE(grid_.model().setCellText(-1, 0, "x"));
  EXPECT_FALSE(grid_.model().setCellPicture(
      1, 2, testing_support::EncodePicture(QImage(4, 4, QImage::Format_RGB32), "png")));
  EXPECT_FALSE(grid_.model().setCellCheck(1, 3, true));
  ASSERT_TRUE(grid_.model().setColumnKind(3, GridModel::kKindCheck));
  EXPECT_TRUE(grid_.model().setCellCheck(1, 3, true));
  EXPECT_FALSE(grid_.model().setCellText(1, 3, "x"));

  GridWidget::CellValue v = grid_.model().cellValue(1, 2);
  EXPECT_EQ(v.type, Type::kText);
  EXPECT_EQ(v.text, "a||b||");
  EXPECT_EQ(grid_.model().cellValue(0, 1).type, Type::kText);  // fixed cells read as text
  EXPECT_EQ(grid_.model().cellValue(0, 1).text, "图片");
  EXPECT_EQ(grid_.model().cellValue(1, 3).type, Type::kCheck);
  EXPECT_TRUE(grid_.model().cellValue(1, 3).check);
  EXPECT_EQ(grid_.model().cellValue(1, 1).type, Type::kPicture);

  // A missing cell reads as a value that is no text: bytes in a picture column, else a boolean.
  EXPECT_EQ(grid_.model().cellValue(-1, 2).type, Type::kMissing);
  EXPECT_FALSE(grid_.model().cellValue(-1, 2).missingIsBytes);
  EXPECT_TRUE(grid_.model().cellValue(7, 1).missingIsBytes);
  EXPECT_FALSE(grid_.model().cellValue(1, 9).missingIsBytes);
}

TEST_F(GridWidgetTest, SizesKindsAndModesRefuseOutOfRangeValues) {
  AddRows(1);
  EXPECT_TRUE(grid_.model().setRowHeight(1, 0));  // no lower limit but zero
  EXPECT_FALSE(grid_.model().setRowHeight(1, -1));
  EXPECT_FALSE(grid_.model().setRowHeight(2, 10));
  EXPECT_TRUE(grid_.model().setColumnWidth(4, 100));
  EXPECT_FALSE(grid_.model().setColumnWidth(5, 100));  // ignored past the last column
  EXPECT_EQ(grid_.model().columnWidth(4), 100);
  EXPECT_FALSE(grid_.model().setColumnWidth(0, -5));
  EXPECT_EQ(grid_.model().columnWidth(0), 60);

  EXPECT_FALSE(grid_.model().setColumnKind(2, 0));
  EXPECT_FALSE(grid_.model().setColumnKind(2, 9));
  EXPECT_FALSE(grid_.model().setColumnKind(5, 1));
  EXPECT_TRUE(grid_.model().setColumnKind(2, 8));

  EXPECT_FALSE(grid_.model().setPictureMode(2, 2));  // not a picture column
  EXPECT_FALSE(grid_.model().setPictureMode(1, 0));
  EXPECT_FALSE(grid_.model().setPictureMode(1, 6));
  EXPECT_TRUE(grid_.model().setPictureMode(1, 5));
  EXPECT_EQ(grid_.model().pictureMode(1), 5);
}

TEST_F(GridWidgetTest, InsertRowAppendsOutsideTheBodyAndKeepsTheCurrentCellNumbers) {
  AddRows(2);
  ASSERT_TRUE(grid_.model().setRowHeight(0, 30));
  EXPECT_TRUE(grid_.model().insertRow("far", 99));  // past the end: appended
  EXPECT_EQ(grid_.model().cellValue(3, 0).text, "far");
  EXPECT_EQ(grid_.model().rowHeight(3), 30);          // row 0's height
  EXPECT_TRUE(grid_.model().insertRow("title?", 0));  // in the fixed rows: appended
  EXPECT_EQ(grid_.model().cellValue(4, 0).text, "title?");
  EXPECT_EQ(grid_.model().cellValue(0, 0).text, "");

  ASSERT_TRUE(grid_.model().setCurrentCell(2, 3));
  EXPECT_TRUE(grid_.model().insertRow("mid", 1));
  EXPECT_EQ(grid_.model().cellValue(1, 0).text, "mid");
  EXPECT_EQ(grid_.model().cellValue(2, 0).text, "1");
  EXPECT_EQ(grid_.model().currentRow(), 2);  // the same numbers, now another row
  EXPECT_EQ(grid_.model().currentColumn(), 3);
  EXPECT_EQ(grid_.model().rowCount(), 6);
}

TEST(GridWidgetEmptyTest, FirstInsertIntoAnEmptyGridMakesTheTitleRow) {
  GridWidget grid;
  grid.model().Reset(0, 3, 0, 0, 24, 60);
  EXPECT_TRUE(grid.model().insertRow("head", std::nullopt));
  EXPECT_EQ(grid.model().fixedRowCount(), 1);
  EXPECT_EQ(grid.model().fixedColumnCount(), 1);
  EXPECT_EQ(grid.model().rowHeight(0), GridModel::kDefaultRowHeight);
  EXPECT_TRUE(grid.model().insertRow("1", std::nullopt));
  EXPECT_FALSE(grid.model().setCurrentCell(0, 1));  // the title row is fixed
  EXPECT_TRUE(grid.model().setCurrentCell(1, 1));
}

TEST_F(GridWidgetTest, DeleteRowMovesTheCurrentCellUpOnlyFromTheLastRow) {
  AddRows(3);  // rows 0 (title) to 3
  EXPECT_FALSE(grid_.model().deleteRow(4));
  EXPECT_FALSE(grid_.model().deleteRow(-1));

  ASSERT_TRUE(grid_.model().setCurrentCell(3, 2));
  EXPECT_TRUE(grid_.model().deleteRow(1));  // current cell was in the last row: up one
  EXPECT_EQ(grid_.model().currentRow(), 2);
  EXPECT_EQ(grid_.model().cellValue(2, 0).text, "3");

  ASSERT_TRUE(grid_.model().setCurrentCell(1, 2));
  EXPECT_TRUE(grid_.model().deleteRow(1));  // not in the last row: its number stays
  EXPECT_EQ(grid_.model().currentRow(), 1);
  EXPECT_EQ(grid_.model().cellValue(1, 0).text, "3");

  EXPECT_TRUE(grid_.model().deleteRow(1));  // last row again: up into the title row, so none
  EXPECT_EQ(grid_.model().currentRow(), -1);
  EXPECT_EQ(grid_.model().currentColumn(), -1);
  EXPECT_EQ(grid_.model().rowCount(), 1);
  EXPECT_EQ(grid_.model().cellValue(1, 2).type, Type::kMissing);
}

TEST_F(GridWidgetTest, ClicksMakeBodyCellsCurrentButNeverFixedOnes) {
  AddRows(2);
  grid_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid_));
  std::vector<std::pair<int, int>> released;
  std::vector<int> currentAtRelease;
  grid_.setLeftButtonReleasedHandler([&](int x, int y) {
    released.emplace_back(x, y);
    currentAtRelease.push_back(grid_.model().currentRow());
  });

  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, QPoint(150, 12));  // title row
  EXPECT_EQ(grid_.model().currentRow(), -1);
  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, QPoint(30, 40));  // number column
  EXPECT_EQ(grid_.model().currentRow(), -1);

  const QRect cell = grid_.cellRect(2, 3);
  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(grid_.model().currentRow(), 2);
  EXPECT_EQ(grid_.model().currentColumn(), 3);
  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, QPoint(10, 5));  // fixed corner
  EXPECT_EQ(grid_.model().currentRow(), 2);
  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, QPoint(700, 500));  // below the rows
  EXPECT_EQ(grid_.model().currentRow(), 2);
  QTest::mouseClick(grid_.viewport(), Qt::RightButton, {}, grid_.cellRect(1, 2).center());
  EXPECT_EQ(grid_.model().currentRow(), 2);

  ASSERT_EQ(released.size(), 5u);  // left releases only, with client coordinates
  EXPECT_EQ(released[2], std::make_pair(cell.center().x(), cell.center().y()));
  EXPECT_EQ(currentAtRelease[2], 2);  // the press had already made the cell current
  EXPECT_EQ(released[4], std::make_pair(700, 500));
}

TEST_F(GridWidgetTest, ScrolledRowsAreHitWhereTheyAreDrawn) {
  AddRows(8);
  for (int r = 1; r <= 8; ++r) ASSERT_TRUE(grid_.model().setRowHeight(r, 100));
  grid_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid_));
  grid_.verticalScrollBar()->setValue(grid_.verticalScrollBar()->maximum());
  const QRect last = grid_.cellRect(8, 2);
  ASSERT_TRUE(grid_.viewport()->rect().contains(last.center()));
  QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, last.center());
  EXPECT_EQ(grid_.model().currentRow(), 8);
  // The title row stays in view and covers the rows scrolled under it.
  EXPECT_EQ(grid_.cellAt(QPoint(150, 10)), std::make_pair(0, 2));
}

TEST_F(GridWidgetTest, ScrolledRowsOfMixedHeightsAreDrawnWhereTheyAre) {
  // Rows of two heights with red and blue pictures, scrolled into the middle: every cell in
  // view shows its own row's colour at the place cellRect gives, under the fixed title row.
  AddRows(300);
  const std::string red =
      testing_support::EncodePicture(testing_support::SolidPicture(qRgb(255, 0, 0)), "png");
  const std::string blue =
      testing_support::EncodePicture(testing_support::SolidPicture(qRgb(0, 0, 255)), "png");
  for (int r = 1; r <= 300; ++r) {
    ASSERT_TRUE(grid_.model().setRowHeight(r, r % 3 == 0 ? 57 : 31));
    ASSERT_TRUE(grid_.model().setCellPicture(r, 1, r % 2 == 0 ? red : blue));
  }
  ASSERT_TRUE(grid_.model().setColumnWidth(1, 80));
  grid_.verticalScrollBar()->setValue(grid_.verticalScrollBar()->maximum() / 2);
  const QImage shot = Grab();
  int checked = 0;
  for (int r = 1; r <= 300; ++r) {
    const QRect cell = grid_.cellRect(r, 1);
    if (cell.top() < grid_.model().rowHeight(0) || cell.bottom() >= shot.height()) continue;
    EXPECT_TRUE(ColourNear(shot.pixel(cell.center()), r % 2 == 0 ? qRgb(255, 0, 0) : qRgb(0, 0, 255))) << r;
    ++checked;
  }
  EXPECT_GT(checked, 10);
  EXPECT_FALSE(ColourNear(shot.pixel(grid_.cellRect(0, 1).center()), qRgb(255, 0, 0)));
  EXPECT_FALSE(ColourNear(shot.pixel(grid_.cellRect(0, 1).center()), qRgb(0, 0, 255)));
}

// A cover picture in a stretch cell fills it: the quadrants reach the cell's corners.
void ExpectStretchedQuadrants(const QImage& shot, const QRect& cell) {
  const int in = 2;
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + in, cell.top() + in), qRgb(255, 0, 0)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.right() - in, cell.top() + in), qRgb(0, 255, 0)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + in, cell.bottom() - in), qRgb(0, 0, 255)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.right() - in, cell.bottom() - in), qRgb(255, 255, 255)));
  const QPoint c = cell.center();
  EXPECT_TRUE(ColourNear(shot.pixel(c.x() - cell.width() / 4, c.y() - cell.height() / 4), qRgb(255, 0, 0)));
  EXPECT_TRUE(
      ColourNear(shot.pixel(c.x() + cell.width() / 4, c.y() + cell.height() / 4), qRgb(255, 255, 255)));
}

TEST_F(GridWidgetTest, JpegAndPngCoversFillStretchCells) {
  AddRows(2);
  ASSERT_TRUE(grid_.model().setPictureMode(1, GridModel::kModeStretch));
  ASSERT_TRUE(grid_.model().setColumnWidth(1, 100));
  ASSERT_TRUE(grid_.model().setRowHeight(1, 100));
  ASSERT_TRUE(grid_.model().setRowHeight(2, 80));
  const QImage cover = testing_support::QuadrantPicture(32, 20);
  ASSERT_TRUE(grid_.model().setCellPicture(1, 1, testing_support::EncodePicture(cover, "jpg")));
  ASSERT_TRUE(grid_.model().setCellPicture(2, 1, testing_support::EncodePicture(cover, "png")));
  const QImage shot = Grab();
  ExpectStretchedQuadrants(shot, grid_.cellRect(1, 1));
  ExpectStretchedQuadrants(shot, grid_.cellRect(2, 1));
  // The grid line below the cell is not painted over.
  const QRect r = grid_.cellRect(1, 1);
  EXPECT_TRUE(ColourNear(shot.pixel(r.center().x(), r.bottom() + 1), qRgb(0xC0, 0xC0, 0xC0), 2));
}

TEST_F(GridWidgetTest, OtherPictureModesDrawAsTheirNamesSay) {
  AddRows(1);
  ASSERT_TRUE(grid_.model().setColumnWidth(1, 101));
  ASSERT_TRUE(grid_.model().setRowHeight(1, 101));
  QImage red(10, 10, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  const std::string small = testing_support::EncodePicture(red, "png");
  QImage wide(40, 20, QImage::Format_RGB32);
  wide.fill(qRgb(0, 0, 255));
  const QRect cell = grid_.cellRect(1, 1);  // 100 by 100
  const QPoint c = cell.center();
  const QRgb white = qRgb(255, 255, 255);

  ASSERT_TRUE(grid_.model().setCellPicture(1, 1, small));
  ASSERT_TRUE(grid_.model().setPictureMode(1, GridModel::kModeTile));
  QImage shot = Grab();
  EXPECT_TRUE(ColourNear(shot.pixel(cell.right() - 1, cell.bottom() - 1), qRgb(255, 0, 0)));

  ASSERT_TRUE(grid_.model().setPictureMode(1, GridModel::kModeCentre));
  shot = Grab();
  EXPECT_TRUE(ColourNear(shot.pixel(c), qRgb(255, 0, 0)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + 2, cell.top() + 2), white));
  EXPECT_TRUE(ColourNear(shot.pixel(c.x() + 8, c.y()), white));

  ASSERT_TRUE(grid_.model().setPictureMode(1, GridModel::kModeTopLeft));
  shot = Grab();
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + 2, cell.top() + 2), qRgb(255, 0, 0)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + 12, cell.top() + 2), white));
  EXPECT_TRUE(ColourNear(shot.pixel(c), white));

  ASSERT_TRUE(grid_.model().setCellPicture(1, 1, testing_support::EncodePicture(wide, "png")));
  ASSERT_TRUE(grid_.model().setPictureMode(1, GridModel::kModeFit));  // 100 by 50, centred
  shot = Grab();
  EXPECT_TRUE(ColourNear(shot.pixel(cell.left() + 2, c.y()), qRgb(0, 0, 255)));
  EXPECT_TRUE(ColourNear(shot.pixel(cell.right() - 2, c.y() + 20), qRgb(0, 0, 255)));
  EXPECT_TRUE(ColourNear(shot.pixel(c.x(), cell.top() + 10), white));
  EXPECT_TRUE(ColourNear(shot.pixel(c.x(), cell.bottom() - 10), white));
}

TEST_F(GridWidgetTest, PicturesAreDecodedOffThePaintAndOnlyWhenInView) {
  AddRows(30);
  const std::string jpeg =
      testing_support::EncodePicture(testing_support::SolidPicture(qRgb(255, 0, 0)), "jpg");
  for (int row = 1; row <= 30; ++row) {
    ASSERT_TRUE(grid_.model().setRowHeight(row, 100));
    ASSERT_TRUE(grid_.model().setCellPicture(row, 1, jpeg));
  }
  // A paint sends only the rows in view to be decoded, and does not wait for them.
  grid_.viewport()->grab();
  const int sent = grid_.model().picturesDecoding();
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, 30);
  QImage shot = Grab();
  EXPECT_TRUE(testing_support::ColourNear(shot.pixel(grid_.cellRect(1, 1).center()), qRgb(255, 0, 0)));
  // A row that goes while its picture is decoded is simply gone; the rest still arrive.
  AddRows(1);
  ASSERT_TRUE(grid_.model().setCellPicture(31, 1, jpeg));
  grid_.verticalScrollBar()->setValue(grid_.verticalScrollBar()->maximum());
  grid_.viewport()->grab();
  ASSERT_TRUE(grid_.model().deleteRow(grid_.model().rowCount() - 1));
  shot = Grab();
  // Asked for directly, a picture is decoded at once.
  EXPECT_FALSE(grid_.cellPicture(15, 1).isNull());
}

TEST_F(GridWidgetTest, BytesThatAreNoPictureLeaveTheCellWithout) {
  AddRows(1);
  ASSERT_TRUE(grid_.model().setColumnWidth(1, 100));
  ASSERT_TRUE(grid_.model().setRowHeight(1, 100));
  std::string junk = "\xFF\xD8";
  for (int i = 0; i < 200; ++i) junk.push_back(static_cast<char>(i * 7));
  const std::string inputs[] = {std::string("\x89PNG\r\n\x1A", 7), "<html>not a picture</html>", junk,
                                testing_support::AnnouncingPng(60000, 60000)};
  for (const std::string& bytes : inputs) {
    ASSERT_TRUE(grid_.model().setCellPicture(
        1, 1, testing_support::EncodePicture(testing_support::QuadrantPicture(8, 8), "png")));
    ASSERT_FALSE(grid_.cellPicture(1, 1).isNull());
    EXPECT_TRUE(grid_.model().setCellPicture(1, 1, bytes));
    // Drawn before anything asks for the picture: drawing decodes it, and finds none.
    const QImage shot = Grab();
    EXPECT_TRUE(ColourNear(shot.pixel(grid_.cellRect(1, 1).center()), qRgb(255, 255, 255), 0));
    EXPECT_TRUE(grid_.cellPicture(1, 1).isNull());
    EXPECT_EQ(grid_.model().cellValue(1, 1).bytes, bytes);
  }
  EXPECT_TRUE(grid_.model().setCellPicture(1, 1, ""));  // an empty byte set: no picture
  EXPECT_TRUE(grid_.model().cellValue(1, 1).bytes.empty());
}

}  // namespace
}  // namespace ui
