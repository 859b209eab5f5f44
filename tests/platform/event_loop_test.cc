#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <string>

namespace platform {
namespace {

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

}  // namespace
}  // namespace platform
