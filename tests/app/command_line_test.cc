// `videolens ADDRESS`: the whole program, started with an address among its arguments, opens with
// it in the field and looks it up at once, with no click. Runs in a child process, since the
// runtime starts once per process.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <cstdio>
#include <string>

#include "app/constants.h"
#include "app/main_window.h"
#include "app/program.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/codepage.h"
#include "runtime/application.h"
#include "runtime/helper_interface.h"
#include "ui/grid_commands.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"
#include "ui/window_template.h"

namespace app {
namespace {

std::string Property(int32_t unit) {
  rt::Text t = rt::Text::Adopt(reinterpret_cast<char*>(
      static_cast<intptr_t>(rt::Helpers().GetUnitProperty(kMainWindowId, unit, 8, -1))));
  return platform::GbkToUtf8(t.view());
}

// The program's start as main makes it, with `videolens --verbose ADDRESS`; reports what the
// window shows once the lookup has ended, and ends the process.
void RunWithAddressArgument() {
  demo::DemoEnvironment env;
  if (!env.Start()) std::_Exit(3);
  demo::ProxyVariables proxy(env.ProxyUrl());
  ui::InstallWindowSystem();
  std::string address = std::string(kSiteHost) + demo::kChinesePagePath;
  char* argv[] = {const_cast<char*>("videolens"), const_cast<char*>("--verbose"), address.data()};
  if (AddressArgument(3, argv) != address) std::_Exit(4);
  if (AddressArgument(2, argv) != "") std::_Exit(5);
  if (!LookUpAtStart(AddressArgument(3, argv))) std::_Exit(6);
  // Once the lookup has ended (the button reads "解析" again with rows in), report and close.
  auto* watch = new QTimer();
  const std::string title = env.site().content().FindPage(demo::kChinesePagePath)->title;
  QObject::connect(watch, &QTimer::timeout, [watch, title] {
    const int rows = grid::RowCount({kMainWindowId, k高级表格1});
    if (rows < 2 || Property(k按钮1) != platform::GbkToUtf8(kLookUpButtonCaption)) return;
    watch->stop();
    std::fprintf(stderr, "field=%s;rows=%d;caption is the title=%d;", Property(k编辑框2).c_str(), rows,
                 Property(ui::kWindowUnitId) == title);
    ui::FrameWidgetOf(kMainWindowId)->close();
  });
  watch->start(20);
  int result = rt::RunApplication(ProgramDescription());
  rt::RunEndProcessing(result);
  env.Stop();
  std::_Exit(0);
}

TEST(CommandLineDeathTest, TheAddressArgumentIsLookedUpAtStart) {
  EXPECT_EXIT(RunWithAddressArgument(), ::testing::ExitedWithCode(0),
              "^field=https://www\\.zhihu\\.com/question/100000936;rows=3;caption is the title=1;$");
}

}  // namespace
}  // namespace app
