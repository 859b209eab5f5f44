#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/process.h"
#include "runtime/application.h"
#include "runtime/libraries.h"
#include "runtime/window_system.h"
#include "tests/support/expect_runtime_error.h"

namespace rt {
namespace {

TEST(ErrorReportTest, ComposesHeadingCodeMessageAndPositions) {
  EXPECT_EQ(ComposeErrorReport(RuntimeErrorMessage(1), 1, 67174404, 649),
            "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n\r\n67174404, "
            "649\r\n");
  EXPECT_EQ(ComposeErrorReport("", 0, 0, 0), "运行时出错!\r\n\r\n0, 0\r\n");
  EXPECT_EQ(ComposeErrorReport("不能整除于零", 0, -3, 0),
            "运行时出错!\r\n\r\n错误信息：不能整除于零\r\n\r\n-3, 0\r\n");
  EXPECT_STREQ(RuntimeErrorMessage(0), "");
  EXPECT_STREQ(RuntimeErrorMessage(12), "");
  EXPECT_STREQ(RuntimeErrorMessage(11), "所提供参数的数据类型不符合要求");
}

bool DescribeOneWindow(int32_t windowId, int32_t unitId, std::string* windowName, bool* unitFound,
                       std::string* unitName) {
  if (windowId != 0x52010001) return false;
  *windowName = "_启动窗口";
  *unitFound = unitId == 0 || unitId == 0x16010002;
  *unitName = unitId == 0 ? "" : "按钮1";
  return true;
}

TEST(ErrorReportTest, NamesWindowsAndUnitsForWindowPositions) {
  // Without a window system, a window position names no window.
  EXPECT_EQ(ComposeErrorReport("", 0, 0x52010001, 0),
            "运行时出错!\r\n\r\n1375797249, 0\r\n未找到所指定的窗口\r\n");
  static const WindowSystem system = {nullptr, nullptr,           nullptr, nullptr,
                                      nullptr, DescribeOneWindow, nullptr};
  InstallWindowSystem(&system);
  EXPECT_EQ(ComposeErrorReport("", 0, 0x52010001, 0x16010002),
            "运行时出错!\r\n\r\n1375797249, 369164290\r\n\"_启动窗口\"\r\n\"按钮1\"\r\n");
  EXPECT_EQ(ComposeErrorReport("", 0, 0x52010001, 0x16010009),
            "运行时出错!\r\n\r\n1375797249, 369164297\r\n\"_启动窗口\"\r\n未找到所指定的窗口组件\r\n");
  EXPECT_EQ(ComposeErrorReport("", 0, 0x52020001, 0),
            "运行时出错!\r\n\r\n1375862785, 0\r\n未找到所指定的窗口\r\n");
  // Bits 24 to 27 other than 2: a routine position, not a window.
  EXPECT_EQ(ComposeErrorReport("", 0, 0x04010001, 5), "运行时出错!\r\n\r\n67174401, 5\r\n");
  InstallWindowSystem(nullptr);
}

TEST(ErrorReportDeathTest, ReportEndsWithMinusOneAndDropsExitRoutines) {
  EXPECT_EXIT(
      {
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "EXIT-ROUTINE-RAN\n");
          return 0;
        });
        testing_support::ExpectReport(
            "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n\r\n0, 0\r\n");
        RaiseRuntimeError(6, 0, 0);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^REPORT-MATCH\n$");
}

TEST(ErrorReportDeathTest, ErrorInsideAReportEndsAtOnce) {
  // A second error raised while the first report is on screen opens no second box.
  EXPECT_EXIT(
      {
        platform::SetMessageBoxHook([](const std::string&, const std::string&) {
          std::fprintf(stderr, "BOX;");
          ReportRuntimeError("second", 0, 0, 0);
        });
        ReportRuntimeError("first", 0, 0, 0);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^BOX;$");
}

const ProgramHeader& EmptyProgram() {
  static const ProgramHeader program = {nullptr, 0, nullptr, 0,       nullptr, 0, AllSupportLibraries(),
                                        nullptr, 0, nullptr, nullptr, {},      0};
  return program;
}

TEST(ErrorReportDeathTest, AReportFromAnotherThreadIsShownAndEndedOnTheGuiThread) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-routine;");
          return 0;
        });
        ProgramWindowCreated(4, [] {
          std::fprintf(stderr, "destroy;");
          ProgramWindowDestroyed(4);
        });
        platform::SetMessageBoxHook([](const std::string& text, const std::string& caption) {
          std::fprintf(stderr, "box-on-gui=%d;%s;", platform::GetCurrentThreadId() == GuiThreadId() ? 1 : 0,
                       text == "运行时出错!\r\n\r\n错误信息：worker\r\n\r\n0, 0\r\n" && caption == "错误"
                           ? "text-ok"
                           : "text-bad");
        });
        std::thread([] {
          ReportRuntimeError("worker", 0, 0, 0);
          std::fprintf(stderr, "worker-returned;");
        }).detach();
        RunMessageLoop();  // the report arrives here
        std::fprintf(stderr, "loop-returned;");
        std::_Exit(9);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^box-on-gui=1;text-ok;destroy;$");
}

// A report handed over from another thread is shown, and ends the program with 255, even when
// the GUI thread ends before it handles another event.
TEST(ErrorReportDeathTest, AHandedOverReportIsShownWhenTheEndComesFirst) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        platform::SetMessageBoxHook([](const std::string& text, const std::string&) {
          std::fprintf(stderr, "box:%s;", text.find("worker") != std::string::npos ? "worker" : "other");
        });
        std::thread([] { ReportRuntimeError("worker", 0, 0, 0); }).detach();
        for (int i = 0; i < 500 && !IsReportingRuntimeError(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the report is handed over
        RunEndProcessing(0);                                         // no event was handled in between
        std::fprintf(stderr, "ended-quietly;");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^box:worker;$");
}

// An end request another thread sends while the report is on screen is counted only: the
// report ends the program, with its own code and without the exit routines.
TEST(ErrorReportDeathTest, AnEndRequestWhileAReportIsUpIsOnlyCounted) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-routine;");
          return 0;
        });
        platform::SetMessageBoxHook([](const std::string&, const std::string&) {
          std::fprintf(stderr, "box;");
          std::thread([] { EndProgram(5); }).detach();
          // The box's own loop handles what arrives meanwhile, the end request among it.
          for (int i = 0; i < 50; ++i) {
            ProcessEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
          }
        });
        ReportRuntimeError("shown", 0, 0, 0);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^box;$");
}

}  // namespace
}  // namespace rt
