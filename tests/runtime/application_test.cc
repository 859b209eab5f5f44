#include "runtime/application.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/event_loop.h"
#include "platform/message_box.h"
#include "runtime/errors.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "runtime/window_system.h"
#include "tests/support/expect_runtime_error.h"

namespace rt {
namespace {

int64_t PrintExit(int32_t, const int64_t*, int32_t*) {
  std::fprintf(stderr, "exit-routine;");
  return 0;
}

const ProgramHeader& EmptyProgram() {
  static const ProgramHeader header = {nullptr,
                                       0,
                                       nullptr,
                                       0,
                                       nullptr,
                                       0,
                                       AllSupportLibraries(),
                                       nullptr,
                                       0,
                                       nullptr,
                                       PrintExit,
                                       {nullptr, nullptr},
                                       0};
  return header;
}

TEST(ApplicationDeathTest, ExitRoutineRegisteredTwiceRunsOnce) {
  EXPECT_EXIT(
      {
        int rc = RunApplication(EmptyProgram());  // no start window: returns at once
        Helpers().RuntimeService(kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&PrintExit), 0);
        std::fprintf(stderr, "entry=%d;", rc);
        EndProgram(0);
      },
      ::testing::ExitedWithCode(0), "^entry=0;exit-routine;$");
}

TEST(ApplicationDeathTest, WindowDestroyedBeforeTheLoopPostsNoQuit) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        ProgramWindowCreated(1, [] { ProgramWindowDestroyed(1); });
        ProgramWindowDestroyed(1);
        std::fprintf(stderr, "quit=%d;", platform::QuitPending() ? 1 : 0);
        ProgramWindowCreated(2, [] { ProgramWindowDestroyed(2); });
        // Once the loop runs, destroying the last window ends it.
        QTimer::singleShot(10, [] { ProgramWindowDestroyed(2); });
        RunMessageLoop();
        std::fprintf(stderr, "loop-ended;windows=%d;", ProgramWindowCount());
        EndProgram(0);
      },
      ::testing::ExitedWithCode(0), "^quit=0;loop-ended;windows=0;$");
}

TEST(ApplicationDeathTest, EndProcessingDestroysWindowsBeforeExitRoutines) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        RegisterExitRoutine(PrintExit);
        ProgramWindowCreated(7, [] {
          std::fprintf(stderr, "destroy;");
          ProgramWindowDestroyed(7);
        });
        EndProgram(3);
      },
      ::testing::ExitedWithCode(3), "^destroy;exit-routine;$");
}

TEST(ApplicationDeathTest, IdleListRunsWhileTheQueueIsEmpty) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        ProgramWindowCreated(5, [] { ProgramWindowDestroyed(5); });
        AddIdleEntry(
            5,
            [](int32_t n, const int64_t* args, int32_t*) -> int64_t {
              std::fprintf(stderr, "idle(%d,%lld);", n, static_cast<long long>(args[0]));
              ProgramWindowDestroyed(5);  // the last window: the loop ends
              return 0;
            },
            42);
        RunMessageLoop();
        EndProgram(0);
      },
      ::testing::ExitedWithCode(0), "^idle\\(1,42\\);$");
}

TEST(ApplicationTest, ProgramDirectoryIsSplitAtTheLastSeparator) {
  // Runs in a child so that the runtime start does not leak into other tests.
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        bool ok = !ProgramDirectory().empty() &&
                  ProgramDirectoryWithSeparator() == ProgramDirectory() + "/" &&
                  ProgramFileName() == "runtime_tests";
        std::fprintf(stderr, ok ? "split-ok" : "split-bad");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "split-ok");
}

}  // namespace
}  // namespace rt

namespace rt {
namespace {

TEST(ApplicationDeathTest, EndRequestFromAnotherThreadRunsOnTheGuiThread) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        RegisterExitRoutine(PrintExit);
        ProgramWindowCreated(3, [] {
          std::fprintf(stderr, "destroy;");
          ProgramWindowDestroyed(3);
        });
        std::thread other([] { EndProgram(4); });
        other.detach();
        RunMessageLoop();  // the request arrives here and ends the process
        std::fprintf(stderr, "loop-returned;");
        std::_Exit(9);
      },
      ::testing::ExitedWithCode(4), "^destroy;exit-routine;$");
}

TEST(ApplicationDeathTest, ErrorWhileEndingEndsAtOnceWithMinusOne) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        platform::SetMessageBoxHook(
            [](const std::string&, const std::string&) { std::fprintf(stderr, "box;"); });
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-routine;");
          RaiseRuntimeError(1, 0, 0);
        });
        EndProgram(0);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^exit-routine;$");
}

}  // namespace
}  // namespace rt

namespace rt {
namespace {

// Libraries that print each notice they receive ("cb": code 1 came with the runtime's callback).
template <int I>
intptr_t PrintNotice(int32_t code, intptr_t a, intptr_t) {
  std::fprintf(stderr, "n%d:%d%s;", I, code, a == reinterpret_cast<intptr_t>(&NotifyRuntime) ? "cb" : "");
  return 0;
}
const SupportLibrary kPrintingLibraries[kSupportLibraryCount] = {
    {"0", nullptr, 0, PrintNotice<0>}, {"1", nullptr, 0, PrintNotice<1>}, {"2", nullptr, 0, PrintNotice<2>},
    {"3", nullptr, 0, PrintNotice<3>}, {"4", nullptr, 0, PrintNotice<4>}, {"5", nullptr, 0, PrintNotice<5>},
};
const SupportLibrary* const kPrintingTable[kSupportLibraryCount] = {
    &kPrintingLibraries[0], &kPrintingLibraries[1], &kPrintingLibraries[2],
    &kPrintingLibraries[3], &kPrintingLibraries[4], &kPrintingLibraries[5],
};
const ProgramHeader& PrintingProgram() {
  static const ProgramHeader header = {nullptr, 0, nullptr, 0,       nullptr, 0, kPrintingTable,
                                       nullptr, 0, nullptr, nullptr, {},      0};
  return header;
}
constexpr char kStartNotices[] = "n0:1cb;n1:1cb;n2:1cb;n3:1cb;n4:1cb;n5:1cb;";
constexpr char kEndNotices[] = "n0:6;n1:6;n2:6;n3:6;n4:6;n5:6;";

TEST(EndProcessingDeathTest, EndRequestsWhileEndingAreOnlyCountedAndTheEndCompletes) {
  EXPECT_EXIT(
      {
        StartRuntime(PrintingProgram());
        // From another thread while an exit routine handles messages (where a request handed
        // over would be taken), then from the next exit routine itself.
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-a;");
          static std::atomic<bool> sent{false};
          std::thread([] {
            sent = true;
            EndProgram(8);
          }).detach();
          for (int i = 0; i < 100 && !sent; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          for (int i = 0; i < 20; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(5)))
            ProcessEvents();
          return 0;
        });
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-b;");
          EndProgram(7);
        });
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "exit-c;");
          return 0;
        });
        EndProgram(3);
      },
      ::testing::ExitedWithCode(3),
      std::string("^") + kStartNotices + "exit-a;exit-b;exit-c;" + kEndNotices + "$");
}

TEST(EndProcessingDeathTest, AnEndRequestEndsAWaitThatHandlesEvents) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        RegisterExitRoutine(PrintExit);
        ProgramWindowCreated(3, [] { ProgramWindowDestroyed(3); });
        std::thread([] { EndProgram(6); }).detach();
        platform::WaitHandlingEvents([] { return false; }, 10000);
        std::fprintf(stderr, "wait-returned;");
        std::_Exit(9);
      },
      ::testing::ExitedWithCode(6), "^exit-routine;$");
}

TEST(IdleListDeathTest, RunsLastToFirstAndDropsTheEntriesOfGoneWindows) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        ProgramWindowCreated(5, [] { ProgramWindowDestroyed(5); });
        static int calls = 0;
        AppRoutine idle = [](int32_t, const int64_t* args, int32_t*) -> int64_t {
          std::fprintf(stderr, "%lld;", static_cast<long long>(args[0]));
          if (++calls == 2) {
            // Window 6 appears only now: its entry was dropped and does not come back.
            ProgramWindowCreated(6, [] { ProgramWindowDestroyed(6); });
            QTimer::singleShot(10, [] {});  // wakes the loop for a second idle pass
          }
          if (calls == 4) {
            ProgramWindowDestroyed(6);
            ProgramWindowDestroyed(5);  // the last window: the loop ends
          }
          return 0;
        };
        AddIdleEntry(5, idle, 1);
        AddIdleEntry(6, idle, 2);
        AddIdleEntry(5, idle, 3);
        RunMessageLoop();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^3;1;3;1;$");
}

TEST(IdleListDeathTest, NoIdleRoutineRunsWhileAnErrorIsReported) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        ProgramWindowCreated(5, [] { ProgramWindowDestroyed(5); });
        static bool reporting = false;
        AddIdleEntry(
            5,
            [](int32_t, const int64_t*, int32_t*) -> int64_t {
              if (reporting) std::fprintf(stderr, "idle-in-report;");
              return 0;
            },
            0);
        platform::SetMessageBoxHook([](const std::string&, const std::string&) {
          reporting = true;
          QEventLoop box;  // the box's own loop
          QTimer::singleShot(30, &box, &QEventLoop::quit);
          box.exec();
          platform::WaitForEvents(20);
          std::fprintf(stderr, "box;");
        });
        QTimer::singleShot(10, [] { ReportRuntimeError("x", 0, 0, 0); });
        RunMessageLoop();
        std::_Exit(9);
      },
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "^box;$");
}

TEST(IdleListDeathTest, NoIdleRoutineRunsWhileTheProgramEnds) {
  EXPECT_EXIT(
      {
        StartRuntime(EmptyProgram());
        ProgramWindowCreated(5, [] { ProgramWindowDestroyed(5); });
        RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          // A window and an idle entry made while ending, then a loop of the exit routine's own.
          ProgramWindowCreated(9, [] { ProgramWindowDestroyed(9); });
          AddIdleEntry(
              9,
              [](int32_t, const int64_t*, int32_t*) -> int64_t {
                std::fprintf(stderr, "idle-while-ending;");
                return 0;
              },
              0);
          QEventLoop nested;
          QTimer::singleShot(30, &nested, &QEventLoop::quit);
          nested.exec();
          std::fprintf(stderr, "exit-routine;");
          return 0;
        });
        QTimer::singleShot(10, [] { EndProgram(0); });
        RunMessageLoop();
        std::_Exit(9);
      },
      ::testing::ExitedWithCode(0), "^exit-routine;$");
}

TEST(NotifyRuntimeTest, ServesTheLibrariesEventsMemoryAndReports) {
  // 2018: waiting events are handled; a pending quit stops it and stays pending.
  bool ran = false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
  EXPECT_EQ(NotifyRuntime(kNotifyProcessEvents, 0, 0), 0);
  EXPECT_TRUE(ran);
  bool lateRan = false, lateRanInside = true, quitStayed = false;
  QTimer::singleShot(0, [&] {
    platform::PostQuit(3);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { lateRan = true; }, Qt::QueuedConnection);
    NotifyRuntime(kNotifyProcessEvents, 0, 0);
    lateRanInside = lateRan;
    quitStayed = platform::QuitPending();
  });
  EXPECT_EQ(platform::RunEventLoop(nullptr), 3);
  EXPECT_FALSE(lateRanInside);
  EXPECT_TRUE(quitStayed);
  QCoreApplication::processEvents();

  // 2024 and 2025: blocks of the value heap; b != 0 yields 0 instead of a report.
  auto* block = reinterpret_cast<char*>(NotifyRuntime(kNotifyAllocate, 16, 0));
  ASSERT_NE(block, nullptr);
  std::memset(block, 'x', 16);
  EXPECT_EQ(NotifyRuntime(kNotifyFree, reinterpret_cast<intptr_t>(block), 0), 0);
  NotifyRuntime(kNotifyFree, reinterpret_cast<intptr_t>(kEmptyText), 0);  // a constant: ignored
  SetAllocationLimitForTesting(100);
  EXPECT_EQ(NotifyRuntime(kNotifyAllocate, 101, 1), 0);
  EXPECT_RUNTIME_ERROR(NotifyRuntime(kNotifyAllocate, 101, 0),
                       "运行时出错!\r\n\r\n错误信息：分配 101 字节内存失败!\r\n\r\n0, 0\r\n");
  SetAllocationLimitForTesting(0);

  // 2027: the library's own message, code 0, positions 0, 0.
  EXPECT_RUNTIME_ERROR(NotifyRuntime(kNotifyReportError, reinterpret_cast<intptr_t>("库的消息"), 0),
                       "运行时出错!\r\n\r\n错误信息：库的消息\r\n\r\n0, 0\r\n");
}

}  // namespace
}  // namespace rt
