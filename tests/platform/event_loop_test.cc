#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#endif

namespace platform {
namespace {

using namespace std::chrono_literals;

// What any thread hands the GUI thread (tasks, wake-ups, end requests) ends its waits; the
// loop runs its idle routine and ends with the quit code a task posts.
TEST(EventLoopTest, OtherThreadsReachTheGuiThreadInItsWaits) {
  std::atomic<int> ran{0};
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(PostToGuiThread([&] { ran = 1; }));
  });
  EXPECT_TRUE(WaitHandlingEvents([&] { return ran.load() == 1; }, 10000));
  poster.join();

  std::thread waker([] {
    std::this_thread::sleep_for(20ms);
    WakeEventLoop();
  });
  EXPECT_TRUE(WaitForEvents(10000));
  waker.join();

  int ended = 0;
  CreateHiddenOwner([&](int code) { ended = code; });
  std::thread ender([] { EXPECT_TRUE(SendEndRequest(5)); });
  ender.join();
  EXPECT_TRUE(WaitHandlingEvents([&] { return ended == 5; }, 10000));
  DestroyHiddenOwner();
  EXPECT_FALSE(SendEndRequest(6));  // no owner on the GUI thread

  // The idle routine runs when the loop is about to wait; a task it posts ends the loop.
  int idleRuns = 0;
  EXPECT_EQ(RunEventLoop([&] {
              if (++idleRuns == 1) PostToGuiThread([] { PostQuit(3); });
            }),
            3);
  EXPECT_GE(idleRuns, 1);
  EXPECT_FALSE(QuitPending());
}

TEST(EventLoopTest, MsgWaitForMultipleObjectsKeepsThePlatformCallsRules) {
  ProcessPendingEvents();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, 0, 30, 0), kWaitTimeout);
  const void* handle = &handle;
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &handle, 0, 0, 0), kWaitFailed);
  uint32_t offThread = 0;
  bool canWait = true;
  std::thread([&] {
    offThread = MsgWaitForMultipleObjects(0, nullptr, 0, 0, 0);
    canWait = CanWaitHandlingEvents();
  }).join();
  EXPECT_EQ(offThread, kWaitFailed);
  EXPECT_FALSE(canWait);
  EXPECT_TRUE(PostToGuiThread([] {}));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, 0, kInfinite, 0), kWaitObject0);
}

// The toolkit's nested loops and timers.
#if !defined(_WIN32)

TEST(EventLoopTest, IdleRunsOnlyWhenTheLoopItselfWaits) {
  // 0: the loop itself; then loops and waits opened by what the loop runs.
  int phase = 0;
  int idleRuns = 0;
  std::string inside;
  QTimer::singleShot(0, [&] {
    phase = 1;
    {
      QEventLoop nested;
      QTimer::singleShot(20, &nested, &QEventLoop::quit);
      nested.exec();
    }
    phase = 2;
    {
      QDialog dialog;  // a modal dialog's own loop
      QTimer::singleShot(20, &dialog, &QDialog::accept);
      dialog.exec();
    }
    phase = 3;
    WaitHandlingEvents([] { return false; }, 20);
    phase = 4;
    WaitForEvents(20);
    phase = 0;
    QTimer::singleShot(20, [] { PostQuit(7); });
  });
  EXPECT_EQ(RunEventLoop([&] {
              if (phase != 0) inside += std::to_string(phase);
              ++idleRuns;
            }),
            7);
  EXPECT_EQ(inside, "");
  EXPECT_GT(idleRuns, 0);
}

TEST(EventLoopTest, WaitsReturnAtOnceWhenAQuitIsPending) {
  bool waitReturned = false, beforeItsTimeOut = false;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(10, [] { PostQuit(2); });
    // Ends at the quit, long before its own time-out: a timer of half that time is still running.
    QTimer half;
    half.setSingleShot(true);
    half.start(5000);
    EXPECT_FALSE(WaitHandlingEvents([] { return false; }, 10000));
    waitReturned = true;
    beforeItsTimeOut = half.isActive();
    EXPECT_FALSE(WaitForEvents(10000));  // the quit is still pending
  });
  EXPECT_EQ(RunEventLoop(nullptr), 2);
  EXPECT_TRUE(waitReturned);
  EXPECT_TRUE(beforeItsTimeOut);
}
#endif  // !defined(_WIN32)

}  // namespace
}  // namespace platform
