// The download queue: at most three hold a transfer, the first waiting ones take the slots that
// pauses, cancels and failures free (a stopped transfer keeps its slot until it has let go),
// and stopping everything pauses what runs and what waits.
#include "download/download_manager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "download/file_system.h"
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
    return manager_.Add(o, Target(n), false);
  }
  std::string Target(int n) const {
    return QDir(dir_.path()).filePath(QStringLiteral("f%1.mp4").arg(n)).toStdString();
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

TEST_F(DownloadManagerTest, ATargetHasOneWriterARetryOfATakenTargetIsRefused) {
  server_.Serve("/a.mp4", kLength);
  Download* a = Add("/stall.mp4", 0);
  ASSERT_TRUE(Until([&] { return a->bytesDone() >= kLength / 2; }));
  a->Cancel();
  ASSERT_TRUE(Until([&] { return !a->ending(); }));
  Download* b = Add("/a.mp4", 0);  // the same target
  a->Retry();
  EXPECT_NE(a->state(), State::kWaiting);
  EXPECT_EQ(a->failure(), Download::Failure::kTaken);
  ASSERT_TRUE(Until([&] { return b->state() != State::kRunning && !b->ending(); }));
  ASSERT_EQ(b->state(), State::kDone) << b->reason();
  QFile f(QString::fromStdString(b->path()));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().toStdString() == server_.Bytes("/a.mp4", 0, kLength));
}

TEST_F(DownloadManagerTest, NamesThatDifferInCaseAreOneTargetWhereTheFolderSaysSo) {
  const std::string folder = dir_.path().toStdString();
  // This machine's temporary folder tells case apart, and the probe leaves nothing behind.
  EXPECT_FALSE(IsCaseBlindFolder(folder));
  EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
  DownloadOrder stall;
  stall.address = server_.url("/stall.mp4");
  Download* upper = manager_.Add(stall, folder + "/Cat-hd.mp4", false);
  EXPECT_TRUE(manager_.IsTargetInUse(folder + "/Cat-hd.mp4.part"));
  EXPECT_FALSE(manager_.IsTargetInUse(folder + "/cat-hd.mp4"));

  // A folder of a case-blind file system (vfat, exFAT, a case-folding folder).
  std::vector<std::string> probed;
  DownloadManager blind([&](const std::string& f) {
    probed.push_back(f);
    return true;
  });
  DownloadOrder order;
  order.address = server_.url("/missing.mp4");
  Download* first = blind.Add(order, folder + "/Cat-hd.mp4", false);
  EXPECT_TRUE(blind.IsTargetInUse(folder + "/cat-HD.mp4"));
  EXPECT_TRUE(blind.IsTargetInUse(folder + "/CAT-hd.MP4.PART"));
  EXPECT_EQ(blind.TargetKey(folder + "/Cat-hd.mp4"), blind.TargetKey(folder + "/cat-hd.mp4"));
  EXPECT_EQ(probed, std::vector<std::string>{folder});  // once per folder
  ASSERT_TRUE(Until([&] { return first->state() == State::kFailed; }));
  first->Cancel();
  blind.Add(order, folder + "/cat-hd.mp4", false);  // takes the target
  first->Retry();
  EXPECT_EQ(first->failure(), Download::Failure::kTaken);
  upper->Cancel();
}

}  // namespace
}  // namespace download
