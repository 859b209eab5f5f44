#include "ui/grid_control.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>

#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "tests/support/expect_runtime_error.h"
#include "ui/grid_commands.h"
#include "ui/kernel_controls.h"
#include "ui/list_view_commands.h"
#include "ui/qt/grid_widget.h"
#include "ui/qt/list_view_widget.h"
#include "ui/qt/native_view.h"
#include "ui/qt/window_frame.h"
#include "ui/template_writer.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

constexpr int32_t kWindow = 0x52030001;
constexpr int32_t kGridUnit = 0x16000101;
constexpr int32_t kListUnit = 0x16000102;
constexpr ControlRef kGrid{kWindow, kGridUnit};
constexpr ControlRef kList{kWindow, kListUnit};

std::function<void(int32_t, const int64_t*)> g_onGrid;
std::function<void()> g_onList;
int64_t OnGrid(int32_t n, const int64_t* a, int32_t*) {
  if (g_onGrid) g_onGrid(n, a);
  return 0;
}
int64_t OnList(int32_t, const int64_t*, int32_t*) {
  if (g_onList) g_onList();
  return 0;
}
const rt::AppRoutine kRoutines[] = {OnGrid, OnList};

UnitRecord Unit(int32_t id, rt::TypeCode type, const char* name, QRect r, std::string data,
                std::vector<EventBinding> bindings = {}) {
  return ControlUnit(id, type, name, r.x(), r.y(), r.width(), r.height(), 5, std::move(data),
                     std::move(bindings));
}

const std::vector<unsigned char>& WindowBytes() {
  static const std::vector<unsigned char> bytes = [] {
    WindowTemplate w;
    w.id = kWindow;
    w.units.push_back(Unit(kWindowUnitId, rt::kTypeWindow, "", QRect(10, 10, 700, 400),
                           WindowTypeData{"表格", 0}.Encode()));
    GridTypeData grid;
    grid.rows = 3;
    grid.columns = 4;
    grid.fixedRows = 1;
    grid.fixedColumns = 1;
    grid.rowHeight = 30;
    grid.columnWidth = 80;
    w.units.push_back(Unit(kGridUnit, rt::kTypeGrid, "高级表格1", QRect(5, 5, 400, 300), grid.Encode(),
                           {{kGridEventLeftReleased, 0}}));
    ListViewTypeData list;
    list.columns = {{"id", 40}, {"地址", 200}};
    w.units.push_back(Unit(kListUnit, rt::kTypeListView, "超级列表框1", QRect(410, 5, 280, 300),
                           list.Encode(), {{kListViewEventClicked, 1}}));
    return SerializeWindowData(WindowData{{w}});
  }();
  return bytes;
}

class GridControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallWindowSystem();
    rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
    if (platform::HiddenOwner() == nullptr) platform::CreateHiddenOwner(nullptr);
    LoadTemplates(WindowBytes().data(), WindowBytes().size(), kRoutines, 2);
    LoadWindow(kWindow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(FrameWidgetOf(kWindow)));
  }
  void TearDown() override {
    g_onGrid = nullptr;
    g_onList = nullptr;
    DestroyWindow(kWindow);
    QApplication::processEvents();
  }
  static GridWidget* Grid() {
    return dynamic_cast<GridWidget*>(ui::WidgetOf(FindLiveControl(kWindow, kGridUnit)));
  }
  static ListViewWidget* List() {
    return dynamic_cast<ListViewWidget*>(ui::WidgetOf(FindLiveControl(kWindow, kListUnit)));
  }
};

TEST(GridTypeDataTest, RoundTripsAndRefusesWhatNoGridCanBe) {
  GridTypeData g;
  g.rows = 1;
  g.columns = 5;
  g.fixedRows = 1;
  g.fixedColumns = 1;
  GridTypeData back;
  ASSERT_TRUE(GridTypeData::Decode(g.Encode(), &back));
  EXPECT_EQ(back.columns, 5);
  EXPECT_EQ(back.rowHeight, 24);
  const std::string bytes = g.Encode();
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(GridTypeData::Decode(bytes.substr(0, n), &back)) << n;
  EXPECT_FALSE(GridTypeData::Decode(bytes + "x", &back));
  GridTypeData bad = g;
  bad.fixedRows = 2;  // more fixed rows than rows
  EXPECT_FALSE(GridTypeData::Decode(bad.Encode(), &back));
  bad = g;
  bad.columns = -1;
  EXPECT_FALSE(GridTypeData::Decode(bad.Encode(), &back));
  bad = g;
  bad.columnWidth = -60;
  EXPECT_FALSE(GridTypeData::Decode(bad.Encode(), &back));

  ListViewTypeData l;
  l.columns = {{"清晰度", 50}};
  ListViewTypeData lb;
  ASSERT_TRUE(ListViewTypeData::Decode(l.Encode(), &lb));
  EXPECT_EQ(lb.columns[0].title, "清晰度");
  const std::string lbytes = l.Encode();
  for (size_t n = 0; n < lbytes.size(); ++n)
    EXPECT_FALSE(ListViewTypeData::Decode(lbytes.substr(0, n), &lb)) << n;
  l.view = 2;  // only the report view exists
  EXPECT_FALSE(ListViewTypeData::Decode(l.Encode(), &lb));
}

TEST_F(GridControlTest, BuiltFromTheTemplateWithItsTypeProperties) {
  EXPECT_EQ(Grid()->geometry(), QRect(5, 5, 400, 300));
  EXPECT_EQ(Grid()->model().rowCount(), 3);
  EXPECT_EQ(Grid()->model().columnCount(), 4);
  EXPECT_EQ(Grid()->model().rowHeight(2), 30);
  EXPECT_EQ(Grid()->model().columnWidth(3), 80);
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kWindow, kGridUnit, 17, -1), 3);
  EXPECT_TRUE(grid::InsertRow(kGrid, "x"));  // commands reach the live control
  EXPECT_EQ(grid::RowCount(kGrid), 4);

  EXPECT_EQ(List()->columnTitle(1), "地址");
  EXPECT_EQ(List()->columnWidth(1), 200);
  EXPECT_EQ(list_view::SelectedItem(kList), -1);
  list_view::InsertItem(kList);
  list_view::InsertItem(kList);
  List()->topLevelItem(1)->setSelected(true);
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kWindow, kListUnit, 35, -1), 1);
}

TEST_F(GridControlTest, ReleasingTheLeftButtonRaisesEventFiveAfterTheCellBecameCurrent) {
  std::vector<std::vector<int64_t>> calls;
  g_onGrid = [&](int32_t n, const int64_t* a) {
    calls.push_back(std::vector<int64_t>(a, a + n));
    calls.back().push_back(grid::CurrentRow(kGrid));
  };
  const QPoint p = Grid()->cellRect(2, 1).center();
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, p);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::vector<int64_t>{p.x(), p.y(), 2}));
}

TEST_F(GridControlTest, AClickOnTheListRaisesEventFour) {
  int clicks = 0;
  int selected = -2;
  g_onList = [&] {
    ++clicks;
    selected = list_view::SelectedItem(kList);
  };
  list_view::InsertItem(kList, {.text = "1"});
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                    List()->visualItemRect(List()->topLevelItem(0)).center());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(selected, 0);
}

TEST_F(GridControlTest, CommandsOnAClosedWindowEndTheProgram) {
  DestroyWindow(kWindow);
  EXPECT_RUNTIME_ERROR_CONTAINING(grid::CurrentRow(kGrid), "指定窗口或窗口组件不存在或尚未载入");
  EXPECT_RUNTIME_ERROR_CONTAINING(list_view::DeleteAllItems(kList), "指定窗口或窗口组件不存在或尚未载入");
}

}  // namespace
}  // namespace ui
