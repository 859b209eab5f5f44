#include "app/program.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/constants.h"
#include "app/main_window.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/codepage.h"
#include "platform/http/transfer_loop.h"
#include "runtime/application.h"
#include "runtime/helper_interface.h"
#include "ui/control.h"
#include "ui/grid_commands.h"
#include "ui/qt/native_view.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"
#include "ui/window_template.h"

namespace app {
namespace {

// The whole program, as main runs it: the entry routine, the start window and the message
// loop, with 按钮1 pressed through the toolkit against the demo site and the window closed by
// the user afterwards. Runs in a child process, since the runtime starts once per process.
TEST(ProgramDeathTest, LookupThroughTheWholeProgramThenCloseEndsIt) {
  EXPECT_EXIT(
      {
        demo::DemoEnvironment env;
        if (!env.Start()) std::_Exit(3);
        demo::ProxyVariables proxy(env.ProxyUrl());
        ui::InstallWindowSystem();
        QTimer::singleShot(0, [] {
          ui::Control* button = ui::FindLiveControl(kMainWindowId, k按钮1);
          if (button == nullptr) std::_Exit(4);
          QTest::mouseClick(ui::WidgetOf(button), Qt::LeftButton);  // runs the lookup to its end
          rt::Text caption = rt::Text::Adopt(reinterpret_cast<char*>(static_cast<intptr_t>(
              rt::Helpers().GetUnitProperty(kMainWindowId, ui::kWindowUnitId, kTextProperty, -1))));
          std::fprintf(stderr, "rows=%d;caption=%s;", grid::RowCount({kMainWindowId, k高级表格1}),
                       platform::GbkToUtf8(caption.view()).c_str());
          ui::FrameWidgetOf(kMainWindowId)->close();  // the user closes the window
        });
        int result = rt::RunApplication(ProgramDescription());
        std::fprintf(stderr, "loop-ended=%d;", result);
        rt::RunEndProcessing(result);
        env.Stop();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^rows=7;caption=Which demo videos show every case of the tool\\?;loop-ended=0;$");
}

TEST(ProgramTest, TheRoutinesLiteralsAndTemplatesLieInTheConstantBlock) {
  const rt::ProgramHeader& program = ProgramDescription();
  rt::SetProgramConstants(program.constantData, program.constantLength);
  for (const char* literal :
       {kSiteHost,         kSampleAddress,    kVideoServiceAddress,  kQuestionTypeAddress, kIdStartMarker,
        kIdEndMarker,      kTitleStartMarker, kTitleEndMarker,       kRequestHeaderLine,   kAddressSeparator,
        kCdnBase,          kPlaylistPath,     kPlaylistMemberPrefix, kPlayAddressSuffix,   kCoverAddressPath,
        kTitlePath,        kNumberTitle,      kPictureTitle,         kAddressTitle,        kRemarkTitle,
        kQualityEndMarker, kLineBreak}) {
    EXPECT_TRUE(rt::IsConstant(literal)) << literal;
    rt::MemFree(const_cast<char*>(literal));  // ignored, as for every constant
  }
  EXPECT_EQ(SampleAddress(), "https://www.zhihu.com/question/302671861/answer/635261079");
  // An array variable that still holds the program's array template is given a heap copy.
  void* ids = const_cast<int32_t*>(kEmptyArrayTemplate);
  ASSERT_TRUE(rt::IsConstant(ids));
  rt::Helpers().RuntimeService(rt::kServiceMakeArrayWritable, reinterpret_cast<intptr_t>(&ids),
                               sizeof(char*));
  EXPECT_FALSE(rt::IsConstant(ids));
  EXPECT_EQ(rt::ElementCount(ids), 0);
  EXPECT_EQ(rt::ByteSetLength(reinterpret_cast<const unsigned char*>(kEmptyByteSet)), 0);
  EXPECT_TRUE(rt::IsConstant(kEmptyByteSet));
  rt::MemFree(ids);
  rt::SetProgramConstants(nullptr, 0);
}

// The user closes the window while every request of a lookup stalls: the transfers are aborted
// and the program's end (the loop, the end processing, the transfer loop's thread) takes well
// under half a second, not the requests' time-out.
TEST(ProgramDeathTest, ClosingTheWindowDuringAStalledLookupEndsTheProgramAtOnce) {
  EXPECT_EXIT(
      {
        demo::DemoEnvironment env;
        if (!env.Start(0, 20000)) std::_Exit(3);
        demo::ProxyVariables proxy(env.ProxyUrl());
        ui::InstallWindowSystem();
        std::chrono::steady_clock::time_point closed;
        QTimer::singleShot(0, [] {
          ui::Control* button = ui::FindLiveControl(kMainWindowId, k按钮1);
          if (button == nullptr) std::_Exit(4);
          QTest::mouseClick(ui::WidgetOf(button), Qt::LeftButton);  // returns once the lookup has stopped
        });
        QTimer::singleShot(300, [&closed] {
          closed = std::chrono::steady_clock::now();
          ui::FrameWidgetOf(kMainWindowId)->close();
        });
        int result = rt::RunApplication(ProgramDescription());
        rt::RunEndProcessing(result);
        platform::http::TransferLoop::Get().Shutdown();
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closed);
        std::fprintf(stderr, "ended-within-half-a-second=%d;", ms.count() < 500 ? 1 : 0);
        std::_Exit(0);  // the demo site's stalled answers are not waited for
      },
      ::testing::ExitedWithCode(0), "^ended-within-half-a-second=1;$");
}

}  // namespace
}  // namespace app
