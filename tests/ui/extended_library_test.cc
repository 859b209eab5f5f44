#include <gtest/gtest.h>

#include "runtime/libraries.h"
#include "tests/support/expect_runtime_error.h"
#include "ui/control.h"
#include "ui/grid_control.h"
#include "ui/list_view_commands.h"
#include "ui/qt/list_view_widget.h"
#include "ui/qt/native_view.h"
#include "ui/template_writer.h"

namespace ui {

void PrintTo(const ListViewWidget::ItemAttributes& a, std::ostream* os) {
  *os << "{image " << a.image << ", state image " << a.stateImage << ", indent " << a.indent << ", data "
      << a.data << "}";
}

namespace {

constexpr ControlRef kList{0x52010001, 0x160126FA};
Control* g_list = nullptr;

Control* FindTestControl(int32_t windowId, int32_t unitId) {
  return windowId == kList.windowId && unitId == kList.unitId ? g_list : nullptr;
}

class ExtendedLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The list as its registered type builds it, outside any window.
    RegisterStandardControlTypes();
    ListViewTypeData data;
    for (const char* title : {"id", "清晰度", "下载地址"}) data.columns.push_back({title, 50});
    unit_ = ControlUnit(kList.unitId, rt::kTypeListView, "list", 0, 0, 200, 100, 0, data.Encode());
    control_ = FindControlType(rt::kTypeListView)->create(ControlContext{kList.windowId, &unit_, nullptr});
    list_ = dynamic_cast<ListViewWidget*>(WidgetOf(control_.get()));
    ASSERT_NE(list_, nullptr);
    g_list = control_.get();
    SetControlLookup(FindTestControl);
  }
  void TearDown() override {
    g_list = nullptr;
    SetControlLookup(nullptr);
  }
  UnitRecord unit_;
  std::unique_ptr<Control> control_;
  ListViewWidget* list_ = nullptr;
};

TEST_F(ExtendedLibraryTest, TableHoldsTheFourListCommandsInOrder) {
  const rt::SupportLibrary& lib = rt::ExtendedControlsLibrary();
  ASSERT_EQ(lib.commandCount, 4);
  EXPECT_EQ(lib.commands[0], &list_view_commands::DeleteAllItems);
  EXPECT_EQ(lib.commands[3], &list_view_commands::GetItemText);
}

TEST_F(ExtendedLibraryTest, InsertItemTakesEveryArgumentAsOptional) {
  EXPECT_EQ(list_view::InsertItem(kList), 0);  // every argument omitted: appended, empty
  EXPECT_EQ(list_view::InsertItem(kList, {.position = -3, .text = "b"}), 1);
  EXPECT_EQ(list_view::InsertItem(kList, {.position = 0, .text = "a", .image = -9, .indent = -2}), 0);
  EXPECT_EQ(list_view::InsertItem(kList, {.position = 77}), 3);
  EXPECT_EQ(list_->itemCount(), 4);
  EXPECT_EQ(list_view::GetItemText(kList, 0, 0), "a");
  EXPECT_EQ(list_view::GetItemText(kList, 1, 0).get(), nullptr);  // empty text: null block
  EXPECT_EQ(list_view::GetItemText(kList, 2, 0), "b");
  // An image below -1 becomes -1 and a negative indent 0; omitted ones are -1, none and 0.
  using Attributes = ListViewWidget::ItemAttributes;
  EXPECT_EQ(list_->itemAttributes(0), (Attributes{-1, 0, 0, 0}));
  EXPECT_EQ(list_->itemAttributes(1), (Attributes{-1, 0, 0, 0}));
  EXPECT_EQ(list_view::InsertItem(kList, {.image = -1, .stateImage = 2, .indent = 0, .data = -5}), 4);
  EXPECT_EQ(list_view::InsertItem(kList, {.image = 3, .stateImage = 1, .indent = 2, .data = 77}), 5);
  EXPECT_EQ(list_->itemAttributes(4), (Attributes{-1, 2, 0, -5}));
  EXPECT_EQ(list_->itemAttributes(5), (Attributes{3, 1, 2, 77}));
  EXPECT_EQ(list_->itemAttributes(6), std::nullopt);

  list_view::SetItemText(kList, 2, 2, "https://例/hd/x");
  EXPECT_EQ(list_view::GetItemText(kList, 2, 2), "https://例/hd/x");
  EXPECT_TRUE(list_view::GetItemText(kList, 6, 2).empty());  // no such item
  EXPECT_TRUE(list_view::GetItemText(kList, -1, 0).empty());

  list_view::DeleteAllItems(kList);
  EXPECT_EQ(list_->itemCount(), 0);
  EXPECT_EQ(list_view::InsertItem(kList), 0);
}

TEST_F(ExtendedLibraryTest, ACommandOnAListThatIsNotLiveEndsTheProgram) {
  EXPECT_RUNTIME_ERROR_CONTAINING(list_view::DeleteAllItems(ControlRef{kList.windowId, 0x16000002}),
                                  "指定窗口或窗口组件不存在或尚未载入");
}

}  // namespace
}  // namespace ui
