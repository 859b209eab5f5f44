#include "runtime/application.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <cstdio>
#include <thread>

#include "platform/event_loop.h"
#include "platform/message_box.h"
#include "runtime/errors.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "runtime/window_system.h"

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
      ::testing::ExitedWithCode(255), "^exit-routine;$");
}

}  // namespace
}  // namespace rt
