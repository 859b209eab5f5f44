#include "ui/window_template.h"

#include <gtest/gtest.h>

#include "tests/support/expect_runtime_error.h"
#include "tests/ui/test_window_data.h"
#include "ui/byte_io.h"
#include "ui/template_writer.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

using ui_test::kRoutineCount;
using ui_test::TestWindowBytes;
using ui_test::TestWindowData;

std::vector<unsigned char> Bytes(const WindowData& d) { return SerializeWindowData(d); }

TEST(WindowTemplateTest, ReadsBackEveryFieldTheWriterWrote) {
  WindowData read;
  ASSERT_TRUE(ParseWindowData(TestWindowBytes().data(), TestWindowBytes().size(), &read));
  EXPECT_EQ(read, TestWindowData());
  const WindowTemplate* w = read.Find(ui_test::kWindow);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->indexWord, 0x17E19BD0);
  EXPECT_EQ(w->reserved[1], 0x19010003);
  EXPECT_EQ(w->FindUnit(ui_test::kLabel)->reserved1[3], 0x5A);
  EXPECT_EQ(w->FindUnit(ui_test::kLabel)->tag, "标记");
  EXPECT_EQ(w->FindUnit(0), &w->units[0]);  // unit 0 is the window's own
  EXPECT_EQ(w->FindUnit(0x16FFFFFF), nullptr);
}

TEST(WindowTemplateTest, MenuItemsKeepTheirOwnShape) {
  WindowData d = TestWindowData();
  UnitRecord menu;
  menu.id = 0x16000100;
  menu.type = rt::kTypeMenuItem;
  menu.name = "菜单1";
  menu.menuBytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  menu.menuText = "打开";
  menu.menuRoutine = ui_test::kOnOther;
  menu.typeData = "xy";
  d.windows[0].units.push_back(menu);
  std::vector<unsigned char> bytes = Bytes(d);
  WindowData read;
  ASSERT_TRUE(ParseWindowData(bytes.data(), bytes.size(), &read));
  EXPECT_EQ(read, d);
}

TEST(WindowTemplateTest, EveryCutOfTheDataIsRefusedWithoutReadingPastIt) {
  const std::vector<unsigned char>& full = TestWindowBytes();
  for (size_t n = 1; n < full.size(); ++n) {
    // An exact-size copy, so that a read past the end is caught by the address checker.
    std::vector<unsigned char> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    WindowData d;
    EXPECT_FALSE(ParseWindowData(cut.data(), cut.size(), &d)) << "cut at " << n;
    EXPECT_FALSE(CheckWindowData(cut.data(), cut.size(), kRoutineCount)) << "cut at " << n;
  }
  EXPECT_TRUE(CheckWindowData(full.data(), full.size(), kRoutineCount));
  WindowData none;
  EXPECT_TRUE(ParseWindowData(nullptr, 0, &none));  // no window data: no windows
  EXPECT_TRUE(none.windows.empty());
}

TEST(WindowTemplateTest, DamagedBytesNeverCrashTheReader) {
  const std::vector<unsigned char>& full = TestWindowBytes();
  int refused = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    for (unsigned char v : {0x00, 0x7F, 0x80, 0xFF}) {
      std::vector<unsigned char> bad = full;
      if (bad[i] == v) continue;
      bad[i] = v;
      refused += CheckWindowData(bad.data(), bad.size(), kRoutineCount) ? 0 : 1;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(WindowTemplateTest, InconsistenciesAreRefused) {
  auto refused = [](const WindowData& d, int32_t routines = kRoutineCount) {
    std::vector<unsigned char> b = SerializeWindowData(d);
    return !CheckWindowData(b.data(), b.size(), routines);
  };
  InstallWindowSystem();  // registers the control types whose type data is checked
  EXPECT_FALSE(refused(TestWindowData()));
  EXPECT_TRUE(refused(TestWindowData(), ui_test::kOnCycle));  // a binding names a routine past the table
  WindowData d = TestWindowData();
  d.windows[0].units[2].typeData.pop_back();  // EditBox type data one byte short
  EXPECT_TRUE(refused(d));
  d = TestWindowData();
  d.windows[0].units[2].id = ui_test::kLabel;  // duplicate unit id
  EXPECT_TRUE(refused(d));
  d = TestWindowData();
  d.windows[0].units[1].parentId = ui_test::kButton;  // parent after the child
  EXPECT_TRUE(refused(d));
  d = TestWindowData();
  d.windows[1].id = ui_test::kWindow;  // duplicate window id
  EXPECT_TRUE(refused(d));
  d = TestWindowData();
  d.windows[0].units[3].bindings[0].routineOffset = -2;
  EXPECT_TRUE(refused(d));
  d = TestWindowData();
  d.windows[0].units[0].type = rt::kTypeButton;  // the first unit must be the window
  EXPECT_TRUE(refused(d));

  std::vector<unsigned char> trailing = TestWindowBytes();
  trailing.push_back(0);
  EXPECT_FALSE(CheckWindowData(trailing.data(), trailing.size(), kRoutineCount));
  // A unit offset that does not lead to its record.
  std::vector<unsigned char> moved = TestWindowBytes();
  const size_t firstOffset = 4 + 16 + 16 + 8 + 4 * TestWindowData().windows[0].units.size();
  moved[firstOffset + 4] ^= 1;  // the second unit's offset
  EXPECT_FALSE(CheckWindowData(moved.data(), moved.size(), kRoutineCount));
  // A count far beyond the data.
  std::vector<unsigned char> huge = TestWindowBytes();
  huge[36] = 0xFF, huge[37] = 0xFF, huge[38] = 0xFF, huge[39] = 0x7F;
  EXPECT_FALSE(CheckWindowData(huge.data(), huge.size(), kRoutineCount));
}

TEST(WindowTemplateDeathTest, DamagedDataEndsWithTheDataError) {
  const std::vector<unsigned char>& full = TestWindowBytes();
  std::vector<unsigned char> cut(full.begin(), full.end() - 1);
  EXPECT_RUNTIME_ERROR(LoadTemplates(cut.data(), cut.size(), ui_test::kRoutines, kRoutineCount),
                       "运行时出错!\r\n\r\n错误信息：载入窗口模板数据段出错!\r\n\r\n0, 0\r\n");
}

}  // namespace
}  // namespace ui
