// The download queue: at most three hold a transfer, the first waiting ones take the slots that
// pauses, cancels and failures free (a stopped transfer keeps its slot until it has let go),
// and stopping everything pauses what runs and what waits.
#include "download/download_manager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/event_loop.h"
#include "tests/support/file_server.h"

namespace download {
namespace {

using testing_support::FileServer;
using State = Download::State;

constexpr int64_t kLength = 1024 * 1024;

class DownloadManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Serve("/stall.mp4", kLength, FileServer::Fault::kStallAtHalf);
    server_.Serve("/missing.mp4", kLength, FileServer::Fault::kMissing);
  }
  Download* Add(const char* path, int n) {
    DownloadOrder o;
    o.address = server_.url(path);
    return manager_.Add(o, QDir(dir_.path()).filePath(QStringLiteral("f%1.mp4").arg(n)), false);
  }
  std::vector<State> States() const {
    std::vector<State> out;
    for (int i = 0; i < manager_.count(); ++i) out.push_back(manager_.at(i)->state());
    return out;
  }
  static bool Until(const std::function<bool()>& done) { return platform::WaitHandlingEvents(done, 10000); }

  QTemporaryDir dir_;
  FileServer server_;
  DownloadManager manager_;
};

TEST_F(DownloadManagerTest, ThreeRunTheRestWaitAndFreedSlotsGoToTheFirstWaiting) {
  for (int i = 0; i < 5; ++i) Add("/stall.mp4", i);
  constexpr State R = State::kRunning, W = State::kWaiting, P = State::kPaused, C = State::kCancelled;
  EXPECT_EQ(States(), (std::vector<State>{R, R, R, W, W}));
  EXPECT_TRUE(manager_.HasUnfinished());

  // A pause frees its slot once its transfer has let go of the part file.
  manager_.at(1)->Pause();
  EXPECT_EQ(manager_.runningCount(), 3);  // still held by the ending transfer
  ASSERT_TRUE(Until([&] { return manager_.at(3)->state() == R; }));
  EXPECT_EQ(States(), (std::vector<State>{R, P, R, R, W}));

  manager_.at(0)->Cancel();
  ASSERT_TRUE(Until([&] { return manager_.at(4)->state() == R; }));
  EXPECT_EQ(States(), (std::vector<State>{C, P, R, R, R}));

  // Resumed, it waits behind the three running.
  manager_.at(1)->Resume();
  EXPECT_EQ(manager_.at(1)->state(), W);
  EXPECT_TRUE(manager_.IsTargetInUse(manager_.at(1)->path()));
  EXPECT_TRUE(manager_.IsTargetInUse(manager_.at(1)->partPath()));
  EXPECT_FALSE(manager_.IsTargetInUse(manager_.at(0)->path()));  // cancelled

  manager_.StopAll();
  EXPECT_EQ(States(), (std::vector<State>{C, P, P, P, P}));
  EXPECT_FALSE(manager_.HasUnfinished());
  ASSERT_TRUE(Until([&] { return manager_.runningCount() == 0; }));
  EXPECT_EQ(States(), (std::vector<State>{C, P, P, P, P}));  // nothing started as slots freed
}

TEST_F(DownloadManagerTest, AFailureFreesItsSlotAndARetryQueuesAgain) {
  Add("/stall.mp4", 0);
  Add("/stall.mp4", 1);
  Download* missing = Add("/missing.mp4", 2);
  Download* fourth = Add("/stall.mp4", 3);
  EXPECT_EQ(fourth->state(), State::kWaiting);
  ASSERT_TRUE(Until([&] { return missing->state() == State::kFailed; }));
  EXPECT_EQ(fourth->state(), State::kRunning);
  missing->Retry();
  EXPECT_EQ(missing->state(), State::kWaiting);
  EXPECT_EQ(manager_.runningCount(), 3);
}

}  // namespace
}  // namespace download
