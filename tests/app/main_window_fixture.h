// The main window loaded from the program's own description, with the pieces of a started
// runtime the window layer needs in a test process.
#ifndef TESTS_APP_MAIN_WINDOW_FIXTURE_H_
#define TESTS_APP_MAIN_WINDOW_FIXTURE_H_

#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "tests/support/picture_samples.h"
#include "ui/grid_commands.h"
#include "ui/qt/grid_widget.h"
#include "ui/qt/list_view_widget.h"
#include "ui/qt/native_view.h"
#include "ui/window_manager.h"

namespace testing_support {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallWindowSystem();
    rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
    if (platform::HiddenOwner() == nullptr) platform::CreateHiddenOwner(nullptr);
    const rt::ProgramHeader& p = app::ProgramDescription();
    ui::LoadTemplates(p.windowData, p.windowLength, p.routines, p.routineCount);
    ui::LoadWindow(app::kMainWindowId);
    ASSERT_TRUE(ui::IsWindowLive(app::kMainWindowId));
  }
  void TearDown() override {
    ui::DestroyWindow(app::kMainWindowId);
    QApplication::processEvents();
  }
  static QWidget* WidgetOf(int32_t unit) {
    ui::Control* c = ui::FindLiveControl(app::kMainWindowId, unit);
    return c ? ui::WidgetOf(c) : nullptr;
  }
  static ui::GridWidget* Grid() { return dynamic_cast<ui::GridWidget*>(WidgetOf(app::k高级表格1)); }
  static ui::ListViewWidget* List() { return dynamic_cast<ui::ListViewWidget*>(WidgetOf(app::k超级列表框1)); }
  // The content of an edit box, read as the application reads it.
  static std::string Content(int32_t unit) {
    rt::Text t = rt::Text::Adopt(reinterpret_cast<char*>(static_cast<intptr_t>(
        rt::Helpers().GetUnitProperty(app::kMainWindowId, unit, app::kTextProperty, -1))));
    return t.str();
  }
  // The window's caption (the same property of the window unit) and a grid cell's text.
  static std::string Caption() { return Content(ui::kWindowUnitId); }
  static std::string ButtonCaption() { return Content(app::k按钮1); }
  static std::string CellText(int row, int column) {
    grid::CellValue v = grid::GetCell({app::kMainWindowId, app::k高级表格1}, row, column);
    return v.isText() ? v.text.str() : std::string("<not text>");
  }
  static void SetContent(int32_t unit, const char* text) {
    rt::Helpers().SetUnitProperty(app::kMainWindowId, unit, app::kTextProperty, -1,
                                  static_cast<int64_t>(reinterpret_cast<intptr_t>(text)));
  }
};

}  // namespace testing_support

#endif  // TESTS_APP_MAIN_WINDOW_FIXTURE_H_
