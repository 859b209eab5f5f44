#include "ui/qt/list_view_widget.h"

#include <gtest/gtest.h>

#include <QTest>

namespace ui {
namespace {

class ListViewWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.resize(416, 240);
    list_.addColumn("id", 50);
    list_.addColumn("清晰度", 50);
    list_.addColumn("下载地址", 300);
  }
  QPoint ItemCentre(int item) { return list_.visualItemRect(list_.topLevelItem(item)).center(); }
  ListViewWidget list_;
};

TEST_F(ListViewWidgetTest, ColumnsItemsAndTexts) {
  EXPECT_EQ(list_.columnCount(), 3);
  EXPECT_EQ(list_.columnTitle(1), "清晰度");
  EXPECT_EQ(list_.columnWidth(2), 300);

  EXPECT_EQ(list_.insertItem(-1, "", -1, 0, 0, 0), 0);
  EXPECT_EQ(list_.insertItem(-7, "b", -1, 0, 0, 0), 1);  // negative: appended
  EXPECT_EQ(list_.insertItem(50, "c", -1, 0, 0, 0), 2);  // past the end: appended
  EXPECT_EQ(list_.insertItem(0, "first", -1, 0, 0, 0), 0);
  EXPECT_EQ(list_.itemCount(), 4);
  EXPECT_EQ(list_.itemText(0, 0), "first");
  EXPECT_EQ(list_.itemText(2, 0), "b");

  list_.setItemText(1, 2, "https://例子/hd/1");
  EXPECT_EQ(list_.itemText(1, 2), "https://例子/hd/1");
  list_.setItemText(9, 2, "x");  // a missing item: nothing
  EXPECT_EQ(list_.itemText(9, 2), "");
  EXPECT_EQ(list_.itemText(-1, 2), "");
  EXPECT_EQ(list_.itemText(1, 3), "");

  list_.deleteAllItems();
  EXPECT_EQ(list_.itemCount(), 0);
  EXPECT_EQ(list_.columnCount(), 3);  // the columns stay
  EXPECT_EQ(list_.selectedItem(), -1);
}

TEST_F(ListViewWidgetTest, ClicksSelectAnItemOrNothingAndReportAfterwards) {
  for (int i = 0; i < 3; ++i) list_.insertItem(-1, std::to_string(i + 1), -1, 0, 0, 0);
  list_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list_));
  std::vector<int> selectedAtClick;
  list_.setClickedHandler([&] { selectedAtClick.push_back(list_.selectedItem()); });

  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, ItemCentre(1));
  EXPECT_EQ(list_.selectedItem(), 1);
  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, ItemCentre(2));
  EXPECT_EQ(list_.selectedItem(), 2);
  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, QPoint(200, 200));  // below the items
  EXPECT_EQ(list_.selectedItem(), -1);
  QTest::mouseClick(list_.viewport(), Qt::RightButton, {}, ItemCentre(0));

  EXPECT_EQ(selectedAtClick, (std::vector<int>{1, 2, -1}));
}

}  // namespace
}  // namespace ui
