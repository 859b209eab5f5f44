#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

#include "app/program.h"
#include "runtime/application.h"
#include "runtime/helper_interface.h"
#include "runtime/window_system.h"
#include "ui/grid_control.h"
#include "ui/qt/native_view.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"

namespace app {
namespace {

std::string ReadText(int32_t unit, int32_t property) {
  return rt::Text::Adopt(reinterpret_cast<char*>(static_cast<intptr_t>(
                             rt::Helpers().GetUnitProperty(kMainWindowId, unit, property, -1))))
      .str();
}

TEST(MainWindowTest, TheTemplateHoldsTheWindowsUnitsAndBindings) {
  const std::vector<unsigned char>& bytes = MainWindowData();
  ui::InstallWindowSystem();
  ASSERT_TRUE(ui::CheckWindowData(bytes.data(), bytes.size(), kRoutineSlotCount));
  ui::WindowData read;
  ASSERT_TRUE(ui::ParseWindowData(bytes.data(), bytes.size(), &read));
  ASSERT_EQ(read.windows.size(), 1u);
  const ui::WindowTemplate& w = read.windows[0];
  EXPECT_EQ(w.id, kMainWindowId);
  std::vector<int32_t> ids;
  for (const ui::UnitRecord& u : w.units) ids.push_back(u.id);
  EXPECT_EQ(ids, (std::vector<int32_t>{ui::kWindowUnitId, k标签1, k超级列表框1, k编辑框2, k编辑框1,
                                       k高级表格1, k按钮1}));
  const ui::UnitRecord* grid = w.FindUnit(k高级表格1);
  EXPECT_EQ(grid->type, rt::kTypeGrid);
  EXPECT_EQ(grid->bindings, (std::vector<ui::EventBinding>{{5, kShowRowAddressesSlot}}));
  EXPECT_EQ(w.FindUnit(k超级列表框1)->bindings,
            (std::vector<ui::EventBinding>{{4, kCopySelectedAddressSlot}}));
  EXPECT_EQ(w.FindUnit(k按钮1)->bindings, (std::vector<ui::EventBinding>{{0, kLookUpVideosSlot}}));
  EXPECT_EQ(w.units[0].bindings, (std::vector<ui::EventBinding>{{0, kInitResultGridSlot}}));
  EXPECT_TRUE(w.FindUnit(k编辑框1)->bindings.empty());
  EXPECT_EQ(w.FindUnit(k标签1)->stateFlags, 1u);
  EXPECT_EQ(w.FindUnit(k编辑框2)->stateFlags, 5u);
  const std::string sample = SampleAddress();
  EXPECT_EQ(sample.rfind("https://", 0), 0u);
  EXPECT_EQ(sample.substr(sample.size() - 36), "/question/302671861/answer/635261079");
}

TEST(MainWindowTest, TheGridAndTheListCarryTheirSettings) {
  const ui::WindowData data = MainWindowDescription();
  const ui::WindowTemplate& w = data.windows[0];
  ui::GridTypeData grid;
  ASSERT_TRUE(ui::GridTypeData::Decode(w.FindUnit(k高级表格1)->typeData, &grid));
  EXPECT_EQ(std::make_tuple(grid.rows, grid.columns, grid.fixedRows, grid.fixedColumns, grid.rowHeight,
                            grid.columnWidth),
            std::make_tuple(1, 5, 1, 1, 24, 60));
  ui::ListViewTypeData list;
  ASSERT_TRUE(ui::ListViewTypeData::Decode(w.FindUnit(k超级列表框1)->typeData, &list));
  EXPECT_EQ(list.view, ui::ListViewTypeData::kReportView);
  ASSERT_EQ(list.columns.size(), 3u);
  EXPECT_EQ(std::make_pair(list.columns[0].title, list.columns[0].width),
            std::make_pair(std::string("id"), 50));
  EXPECT_EQ(std::make_pair(list.columns[1].title, list.columns[1].width),
            std::make_pair(std::string("清晰度"), 50));
  EXPECT_EQ(std::make_pair(list.columns[2].title, list.columns[2].width),
            std::make_pair(std::string("下载地址"), 300));
}

TEST(MainWindowTest, OpensWithTheSampleAddressAndEmptyFields) {
  ui::InstallWindowSystem();
  const std::vector<unsigned char>& bytes = MainWindowData();
  ui::LoadTemplates(bytes.data(), bytes.size(), nullptr, kRoutineSlotCount);
  // Before the window exists, positions come from the template.
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kMainWindowId, k按钮1, 0, -1), 1096);
  ui::LoadWindow(kMainWindowId);
  EXPECT_EQ(ReadText(k编辑框2, 8), SampleAddress());
  EXPECT_EQ(ReadText(k编辑框1, 8), "");
  EXPECT_EQ(ReadText(k按钮1, 8), "解析");
  EXPECT_EQ(ReadText(k标签1, 8), "单击复制");
  EXPECT_EQ(ReadText(ui::kWindowUnitId, 8), "");
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kMainWindowId, ui::kWindowUnitId, 2, -1), 1211);
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kMainWindowId, ui::kWindowUnitId, 3, -1), 684);
  EXPECT_EQ(ui::WidgetOf(ui::FindLiveControl(kMainWindowId, k编辑框1))->geometry(), QRect(8, 576, 1192, 72));
  auto* edit1 = dynamic_cast<QPlainTextEdit*>(ui::WidgetOf(ui::FindLiveControl(kMainWindowId, k编辑框1)));
  auto* edit2 = dynamic_cast<QPlainTextEdit*>(ui::WidgetOf(ui::FindLiveControl(kMainWindowId, k编辑框2)));
  ASSERT_TRUE(edit1 && edit2);
  EXPECT_TRUE(edit1->isReadOnly());
  EXPECT_FALSE(edit2->isReadOnly());
  ui::DestroyWindow(kMainWindowId);
}

TEST(MainWindowDeathTest, TheProgramOpensTheMainWindowAndEndsWhenItCloses) {
  EXPECT_EXIT(
      {
        ui::InstallWindowSystem();
        QTimer::singleShot(20, [] {
          std::fprintf(stderr, "live=%d;", rt::IsProgramWindowLive(kMainWindowId) ? 1 : 0);
          ui::FrameWidgetOf(kMainWindowId)->close();
        });
        int rc = rt::RunApplication(ProgramDescription());
        rt::RunEndProcessing(rc);
        std::fprintf(stderr, "ended=%d;", rc);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^live=1;ended=0;$");
}

}  // namespace
}  // namespace app
