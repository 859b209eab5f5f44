#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <map>

#include "runtime/errors.h"
#include "runtime/libraries.h"
#include "tests/support/expect_runtime_error.h"
#include "tests/support/picture_samples.h"
#include "ui/grid_commands.h"
#include "ui/grid_unit.h"
#include "ui/qt/grid_widget.h"
#include "ui/qt/native_view.h"

namespace ui {
namespace {

constexpr ControlRef kGrid{0x52010001, 0x160125DB};

// A control over a grid widget the test owns.
class HeldWidget : public GridControl {
 public:
  HeldWidget(ControlRef ref, GridWidget* widget) : GridControl(ref.windowId, ref.unitId), widget_(widget) {
    setView(ViewOf(widget));
  }
  ~HeldWidget() override { releaseView(); }
  GridModel& model() override { return widget_->model(); }

 private:
  GridWidget* widget_;
};

std::map<std::pair<int32_t, int32_t>, Control*>& Live() {
  static std::map<std::pair<int32_t, int32_t>, Control*> live;
  return live;
}
Control* FindTestControl(int32_t windowId, int32_t unitId) {
  auto it = Live().find({windowId, unitId});
  return it == Live().end() ? nullptr : it->second;
}

class GridLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    widget_.model().Reset(1, 5, 1, 1, 24, 60);
    Live()[{kGrid.windowId, kGrid.unitId}] = &held_;
    SetControlLookup(FindTestControl);
  }
  void TearDown() override {
    Live().clear();
    SetControlLookup(nullptr);
  }
  GridWidget widget_;
  HeldWidget held_{kGrid, &widget_};
};

TEST_F(GridLibraryTest, TableHoldsTheElevenCommandsInOrder) {
  const rt::SupportLibrary& lib = rt::GridLibrary();
  ASSERT_EQ(lib.commandCount, 11);
  EXPECT_EQ(lib.commands[0], &grid_commands::CurrentRow);
  EXPECT_EQ(lib.commands[3], &grid_commands::SetCell);
  EXPECT_EQ(lib.commands[8], &grid_commands::SetPictureMode);
  EXPECT_EQ(lib.commands[9], &grid_commands::SetRowTip);
  EXPECT_EQ(lib.commands[10], &grid_commands::GetRowTip);
}

// A row's tip travels with the row, shows on hover over any of its cells, and none shows over a
// row without one.
TEST_F(GridLibraryTest, RowTipsFollowTheirRowsAndShowOnHover) {
  ASSERT_TRUE(grid::InsertRow(kGrid, "1"));
  ASSERT_TRUE(grid::InsertRow(kGrid, "2"));
  EXPECT_TRUE(grid::SetRowTip(kGrid, 2, "reason"));
  EXPECT_FALSE(grid::SetRowTip(kGrid, 9, "no row"));
  ASSERT_TRUE(grid::InsertRow(kGrid, "0", 1));  // row 2 moves down
  EXPECT_EQ(grid::GetRowTip(kGrid, 3).str(), "reason");
  EXPECT_EQ(grid::GetRowTip(kGrid, 2).str(), "");
  ASSERT_TRUE(grid::DeleteRow(kGrid, 1));
  EXPECT_EQ(grid::GetRowTip(kGrid, 2).str(), "reason");

  widget_.resize(400, 300);
  widget_.show();
  auto hover = [&](int row) {
    const QPoint at = widget_.cellRect(row, 0).center();
    QHelpEvent event(QEvent::ToolTip, at, widget_.viewport()->mapToGlobal(at));
    QApplication::sendEvent(widget_.viewport(), &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  EXPECT_EQ(hover(1), QString());
  EXPECT_EQ(hover(2), QStringLiteral("reason"));
}

TEST_F(GridLibraryTest, NumbersGivenForTextCellsAreWrittenAsTheKindSays) {
  ASSERT_TRUE(grid::InsertRow(kGrid, "1"));
  const std::pair<rt::ArgRecord, const char*> cases[] = {
      {rt::IntArg(-42), "-42"},
      {rt::LongArg(5000000000LL), "5000000000"},
      {rt::DoubleArg(2.5), "2.5"},
      {rt::DoubleArg(1.0 / 3), "0.3333333333333"},
      {rt::FloatArg(1.0f / 3), "0.333333"},
      {rt::DoubleArg(1e20), "1e+020"},
      {rt::DoubleArg(1e-5), "1e-005"},
      {rt::DoubleArg(1e100), "1e+100"},
      {rt::TextArg("文本"), "文本"},
  };
  for (const auto& [value, want] : cases) {
    ASSERT_TRUE(grid::SetCell(kGrid, 1, 3, grid::kKindText, value)) << want;
    EXPECT_EQ(grid::GetCell(kGrid, 1, 3).text, want);
  }
  EXPECT_FALSE(grid::SetCell(kGrid, 1, 3, grid::kKindText, rt::BoolArg(true)));
  EXPECT_FALSE(grid::SetCell(kGrid, 1, 3, grid::kKindText, rt::BytesArg(nullptr)));
  EXPECT_FALSE(grid::SetCell(kGrid, 1, 3, 2, rt::TextArg("x")));  // no such cell kind
}

TEST_F(GridLibraryTest, CellValuesComeBackWithTheirTypes) {
  ASSERT_TRUE(grid::InsertRow(kGrid, "1"));
  ASSERT_TRUE(grid::SetColumnKind(kGrid, 1, grid::kKindPicture));
  ASSERT_TRUE(grid::SetColumnKind(kGrid, 4, grid::kKindCheck));
  const std::string png = testing_support::EncodePicture(testing_support::QuadrantPicture(8, 8), "png");
  rt::ByteSet cover(png);
  EXPECT_TRUE(grid::SetCellPicture(kGrid, 1, 1, cover.get()));
  EXPECT_FALSE(widget_.cellPicture(1, 1).isNull());
  EXPECT_TRUE(grid::SetCell(kGrid, 1, 4, grid::kKindCheck, rt::BoolArg(true)));
  EXPECT_FALSE(grid::SetCell(kGrid, 1, 4, grid::kKindCheck, rt::TextArg("1")));
  EXPECT_TRUE(grid::SetCellText(kGrid, 0, 1, "图片"));

  grid::CellValue picture = grid::GetCell(kGrid, 1, 1);
  EXPECT_EQ(picture.type, rt::kTypeBytes);
  EXPECT_EQ(picture.bytes.view(), png);
  grid::CellValue check = grid::GetCell(kGrid, 1, 4);
  EXPECT_EQ(check.type, rt::kTypeBool);
  EXPECT_TRUE(check.check);
  grid::CellValue title = grid::GetCell(kGrid, 0, 1);
  EXPECT_TRUE(title.isText());
  EXPECT_EQ(title.text, "图片");
  grid::CellValue empty = grid::GetCell(kGrid, 1, 2);
  EXPECT_TRUE(empty.isText());
  EXPECT_EQ(empty.text.get(), nullptr);  // an empty text is a null block

  // Missing cells: no text.
  EXPECT_EQ(grid::GetCell(kGrid, -1, 2).type, rt::kTypeBool);
  EXPECT_EQ(grid::GetCell(kGrid, 9, 1).type, rt::kTypeBytes);
  EXPECT_TRUE(grid::GetCell(kGrid, 9, 1).bytes.empty());

  EXPECT_TRUE(grid::SetCellPicture(kGrid, 1, 1, nullptr));  // the shared empty byte set
  EXPECT_TRUE(widget_.cellPicture(1, 1).isNull());
}

TEST_F(GridLibraryTest, RowOperationsReportThroughTheirResults) {
  EXPECT_EQ(grid::CurrentRow(kGrid), -1);
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(grid::InsertRow(kGrid, std::to_string(i).c_str(), i));
  EXPECT_TRUE(grid::InsertRow(kGrid, "end", 100));
  EXPECT_EQ(widget_.model().rowCount(), 5);
  EXPECT_EQ(grid::GetCell(kGrid, 4, 0).text, "end");
  ASSERT_TRUE(widget_.model().setCurrentCell(4, 2));
  EXPECT_EQ(grid::CurrentRow(kGrid), 4);
  EXPECT_FALSE(grid::DeleteRow(kGrid, 5));
  EXPECT_TRUE(grid::DeleteRow(kGrid, 4));
  EXPECT_EQ(grid::CurrentRow(kGrid), 3);
  EXPECT_TRUE(grid::SetRowHeight(kGrid, 3, 100));
  EXPECT_FALSE(grid::SetRowHeight(kGrid, 3, -1));
  EXPECT_TRUE(grid::SetColumnWidth(kGrid, 4, 100));
  EXPECT_FALSE(grid::SetColumnWidth(kGrid, 5, 100));
  EXPECT_FALSE(grid::SetPictureMode(kGrid, 1, 2));  // column 1 holds no pictures yet
  EXPECT_TRUE(grid::SetColumnKind(kGrid, 1, grid::kKindPicture));
  EXPECT_TRUE(grid::SetPictureMode(kGrid, 1, 2));
}

TEST_F(GridLibraryTest, ACommandOnAGridThatIsNotLiveEndsTheProgram) {
  EXPECT_RUNTIME_ERROR_CONTAINING(grid::CurrentRow(ControlRef{kGrid.windowId, 0x16000001}),
                                  "指定窗口或窗口组件不存在或尚未载入");
  // A list record handed to a grid command is the wrong argument type.
  EXPECT_RUNTIME_ERROR_CONTAINING(
      rt::CallLibrary(rt::kLibraryGrid, grid_commands::CurrentRow, {ControlArg(kGrid, rt::kTypeListView)}),
      rt::RuntimeErrorMessage(rt::kErrArgumentType));
}

}  // namespace
}  // namespace ui
