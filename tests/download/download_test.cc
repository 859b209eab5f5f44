// Downloads against a loopback file server: the bytes served under NAME and no part file left,
// the request lines sent, resumes with a Range from where the part file ends (after a reset, a
// pause, a time-out), a server that answers a range with the whole file, failures with their
// reasons, and the rule that an existing NAME is replaced only with consent.
#include "download/download.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "platform/event_loop.h"
#include "tests/support/file_server.h"

namespace download {
namespace {

using testing_support::FileServer;
using State = Download::State;

constexpr int64_t kLength = 3 * 1024 * 1024 + 11;

std::string ReadFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return f.readAll().toStdString();
}

class DownloadTest : public ::testing::Test {
 protected:
  DownloadOrder Order(const std::string& path, int32_t timeoutMs = 15000) {
    DownloadOrder o;
    o.address = server_.url(path);
    o.headers = {{"User-Agent", "Test-Agent/1"}, {"Accept", "*/*"}, {"Referer", o.address}};
    o.phaseTimeoutMs = timeoutMs;
    return o;
  }
  std::string Target(const char* name) const {
    return QDir(dir_.path()).filePath(QString::fromLatin1(name)).toStdString();
  }
  static bool Exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }
  static void RemoveFile(const std::string& path) { QFile::remove(QString::fromStdString(path)); }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  // Waits, handling events, until the download no longer runs and has let go of its file.
  static bool Settle(const Download& d, int ms = 10000) {
    return platform::WaitHandlingEvents([&] { return d.state() != State::kRunning && !d.ending(); }, ms);
  }
  // Progress wakes no one: looked at every 10 ms.
  static bool ReachesBytes(const Download& d, int64_t bytes) {
    for (int i = 0; i < 1000 && d.bytesDone() < bytes; ++i)
      platform::WaitHandlingEvents([] { return false; }, 10);
    return d.bytesDone() >= bytes;
  }
  // Retry or resume, then the attempt the manager would start.
  static void Again(Download& d) {
    if (d.state() == State::kPaused) d.Resume();
    d.Retry();
    ASSERT_EQ(d.state(), State::kWaiting);
    d.Start();
  }

  QTemporaryDir dir_;
  FileServer server_;
};

TEST_F(DownloadTest, TheServedBytesEndUpUnderTheNameWithTheRequestLinesSent) {
  server_.Serve("/v/a.mp4", kLength);
  Download d(Order("/v/a.mp4"), Target("a.mp4"), false);
  d.Start();
  EXPECT_EQ(d.state(), State::kRunning);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/v/a.mp4", 0, kLength));
  EXPECT_FALSE(Exists(d.partPath()));
  EXPECT_EQ(d.bytesDone(), kLength);
  EXPECT_EQ(d.totalBytes(), kLength);
  ASSERT_EQ(server_.Requests().size(), 1u);
  const FileServer::Request r = server_.Requests()[0];
  EXPECT_NE(r.head.find("\r\nUser-Agent: Test-Agent/1\r\n"), std::string::npos);
  EXPECT_NE(r.head.find("\r\nReferer: " + server_.url("/v/a.mp4") + "\r\n"), std::string::npos);
  EXPECT_EQ(r.range, "");
}

TEST_F(DownloadTest, AResetKeepsThePartFileAndTheRetryAsksForTheRestOnly) {
  server_.Serve("/reset.mp4", kLength, FileServer::Fault::kResetAtHalf);
  Download d(Order("/reset.mp4"), Target("reset.mp4"), false);
  d.Start();
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kFailed);
  EXPECT_EQ(d.failure(), Download::Failure::kNetwork);
  EXPECT_FALSE(d.reason().empty());
  EXPECT_FALSE(Exists(d.path()));
  const std::string part = ReadFile(d.partPath());
  EXPECT_EQ(static_cast<int64_t>(part.size()), kLength / 2);
  EXPECT_TRUE(part == server_.Bytes("/reset.mp4", 0, kLength / 2));

  Again(d);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/reset.mp4", 0, kLength));
  const std::vector<FileServer::Request> seen = server_.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].range, "bytes=" + std::to_string(kLength / 2) + "-");
  EXPECT_FALSE(seen[1].ifRange.empty());  // tied to the first answer's entity tag
}

TEST_F(DownloadTest, PauseKeepsThePartFileAndResumeContinuesIt) {
  server_.Serve("/stall.mp4", kLength, FileServer::Fault::kStallAtHalf);
  Download d(Order("/stall.mp4"), Target("stall.mp4"), false);
  d.Start();
  ASSERT_TRUE(ReachesBytes(d, kLength / 2));
  d.Pause();
  EXPECT_EQ(d.state(), State::kPaused);
  ASSERT_TRUE(Settle(d));
  EXPECT_EQ(d.state(), State::kPaused);
  EXPECT_EQ(ReadFile(d.partPath()).size(), static_cast<size_t>(kLength / 2));

  server_.Release();
  Again(d);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/stall.mp4", 0, kLength));
  ASSERT_EQ(server_.Requests().size(), 2u);
  EXPECT_EQ(server_.Requests()[1].range, "bytes=" + std::to_string(kLength / 2) + "-");
}

TEST_F(DownloadTest, AStallEndsInATimeOutAndCancelRemovesThePartFile) {
  server_.Serve("/stall.mp4", kLength, FileServer::Fault::kStallAtHalf);
  Download d(Order("/stall.mp4", 400), Target("stall.mp4"), false);
  d.Start();
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kFailed);
  EXPECT_EQ(d.failure(), Download::Failure::kTimeout);
  EXPECT_TRUE(Exists(d.partPath()));

  d.Cancel();
  EXPECT_EQ(d.state(), State::kCancelled);
  EXPECT_FALSE(Exists(d.partPath()));
  // After a cancel nothing is continued: the next attempt asks for the whole file.
  server_.Release();
  Again(d);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_EQ(server_.Requests().back().range, "");
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/stall.mp4", 0, kLength));

  // Cancelled while running: the part file goes once the transfer has let go of it.
  FileServer other;
  other.Serve("/stall2.mp4", kLength, FileServer::Fault::kStallAtHalf);
  DownloadOrder o = Order("/stall2.mp4");
  o.address = other.url("/stall2.mp4");
  Download running(o, Target("stall2.mp4"), false);
  running.Start();
  ASSERT_TRUE(ReachesBytes(running, kLength / 2));
  running.Cancel();
  ASSERT_TRUE(Settle(running));
  EXPECT_EQ(running.state(), State::kCancelled);
  EXPECT_FALSE(Exists(running.partPath()));
  EXPECT_FALSE(Exists(running.path()));
}

TEST_F(DownloadTest, ARangeAnsweredWithTheWholeFileStartsOver) {
  server_.Serve("/f.mp4", kLength, FileServer::Fault::kResetAtHalf);
  Download d(Order("/f.mp4"), Target("f.mp4"), false);
  d.Start();
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kFailed);
  server_.Serve("/f.mp4", kLength, FileServer::Fault::kNoRanges);
  Again(d);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_FALSE(server_.Requests().back().range.empty());  // asked for the rest, got it all
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/f.mp4", 0, kLength));
}

TEST_F(DownloadTest, FailuresNameTheirReasonAndLeaveNoFile) {
  server_.Serve("/missing.mp4", kLength, FileServer::Fault::kMissing);
  Download missing(Order("/missing.mp4"), Target("missing.mp4"), false);
  missing.Start();
  ASSERT_TRUE(Settle(missing));
  ASSERT_EQ(missing.state(), State::kFailed);
  EXPECT_EQ(missing.failure(), Download::Failure::kStatus);
  EXPECT_TRUE(missing.reason().find("404") != std::string::npos) << missing.reason();
  EXPECT_FALSE(Exists(missing.path()));
  EXPECT_FALSE(Exists(missing.partPath()));  // the error page was not saved

  // Not http or https: refused before any request.
  for (const char* address : {"ftp://127.0.0.1/a.mp4", "file:///etc/hostname", "javascript:alert(1)", ""}) {
    DownloadOrder o = Order("/x");
    o.address = address;
    Download refused(o, Target("refused.mp4"), false);
    refused.Start();
    EXPECT_EQ(refused.state(), State::kFailed) << address;
    EXPECT_EQ(refused.failure(), Download::Failure::kAddress) << address;
  }
  EXPECT_EQ(server_.Requests().size(), 1u);

  // A folder that is not there: nothing can be written.
  server_.Serve("/a.mp4", kLength);
  Download nowhere(Order("/a.mp4"), Target("gone/a.mp4"), false);
  nowhere.Start();
  ASSERT_TRUE(Settle(nowhere));
  ASSERT_EQ(nowhere.state(), State::kFailed);
  EXPECT_EQ(nowhere.failure(), Download::Failure::kWrite);
  EXPECT_FALSE(nowhere.reason().empty());
}

TEST_F(DownloadTest, AnExistingNameIsReplacedOnlyWithConsentAndNothingIsLost) {
  server_.Serve("/a.mp4", kLength);
  WriteFile(Target("a.mp4"), "old");
  Download keep(Order("/a.mp4"), Target("a.mp4"), false);
  keep.Start();
  ASSERT_TRUE(Settle(keep));
  ASSERT_EQ(keep.state(), State::kNotReplaced) << keep.reason();
  EXPECT_EQ(ReadFile(Target("a.mp4")), "old");
  EXPECT_EQ(ReadFile(keep.partPath()).size(), static_cast<size_t>(kLength));
  // An end, not a failure: nothing to retry, and cancel keeps the complete file.
  keep.Retry();
  EXPECT_EQ(keep.state(), State::kNotReplaced);
  keep.Cancel();
  EXPECT_EQ(keep.state(), State::kCancelled);
  EXPECT_TRUE(ReadFile(keep.partPath()) == server_.Bytes("/a.mp4", 0, kLength));
  EXPECT_EQ(server_.Requests().size(), 1u);

  // Replaced after the fact, once the user agrees.
  RemoveFile(keep.partPath());
  Download later(Order("/a.mp4"), Target("a.mp4"), false);
  later.Start();
  ASSERT_TRUE(Settle(later));
  ASSERT_EQ(later.state(), State::kNotReplaced);
  later.ReplaceNow();
  ASSERT_EQ(later.state(), State::kDone) << later.reason();
  EXPECT_TRUE(ReadFile(Target("a.mp4")) == server_.Bytes("/a.mp4", 0, kLength));
  EXPECT_FALSE(Exists(later.partPath()));

  Download replace(Order("/a.mp4"), Target("a.mp4"), true);
  replace.Start();
  ASSERT_TRUE(Settle(replace));
  ASSERT_EQ(replace.state(), State::kDone);
  EXPECT_TRUE(ReadFile(Target("a.mp4")) == server_.Bytes("/a.mp4", 0, kLength));
}

TEST_F(DownloadTest, ABodyLongerThanAnnouncedKeepsOnlyTheAnnouncedBytes) {
  server_.Serve("/long.mp4", kLength, FileServer::Fault::kLonger);
  Download d(Order("/long.mp4"), Target("long.mp4"), false);
  d.Start();
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/long.mp4", 0, kLength));
}

// ---- A file it calls complete holds the server's bytes; nothing the user has is lost. -------

// A first attempt cut at half, then the server's file changed as `fault` and `version` say, and
// a retry.
class ResumeCheckTest : public DownloadTest {
 protected:
  void CutThenRetry(FileServer::Fault first, FileServer::Fault then, int64_t newLength, Download& d) {
    server_.Serve("/v.mp4", kLength, FileServer::kResetAtHalf | first);
    d.Start();
    ASSERT_TRUE(Settle(d));
    ASSERT_EQ(d.state(), State::kFailed);
    server_.Serve("/v.mp4", newLength, then, 1);
    retry_ = server_.Requests().size();
    Again(d);
    ASSERT_TRUE(Settle(d));
  }
  // The retry's request.
  FileServer::Request Retried() const { return server_.Requests().at(retry_); }
  size_t retry_ = 0;
};

TEST_F(ResumeCheckTest, AResumeOfAChangedFileStartsOverInsteadOfSplicing) {
  struct Case {
    const char* what;
    FileServer::Fault first, then;
    int64_t newLength;
  };
  const Case cases[] = {
      {"If-Range ignored, new entity tag", FileServer::kNone, FileServer::kIgnoresIfRange, kLength},
      {"the file grew, no validator", FileServer::kNoValidator, FileServer::kNoValidator, kLength + 4096},
      {"same length, new date, If-Range ignored", FileServer::kDateOnly,
       FileServer::kDateOnly | FileServer::kIgnoresIfRange, kLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Download d(Order("/v.mp4"), Target("v.mp4"), true);
    CutThenRetry(c.first, c.then, c.newLength, d);
    ASSERT_EQ(d.state(), State::kDone) << d.reason();
    EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/v.mp4", 0, c.newLength));
    EXPECT_EQ(d.totalBytes(), c.newLength);
  }
}

TEST_F(ResumeCheckTest, IfRangeCarriesAStrongTagOrADateButNeverADateBesideATag) {
  Download dated(Order("/v.mp4"), Target("dated.mp4"), false);
  CutThenRetry(FileServer::kDateOnly, FileServer::kDateOnly, kLength, dated);
  ASSERT_EQ(dated.state(), State::kDone) << dated.reason();
  EXPECT_EQ(Retried().ifRange.rfind("Thu, 01 Jan 2026", 0), 0u);

  Download weak(Order("/v.mp4"), Target("weak.mp4"), false);
  CutThenRetry(FileServer::kWeakTag, FileServer::kWeakTag, kLength, weak);
  ASSERT_EQ(weak.state(), State::kDone) << weak.reason();
  EXPECT_FALSE(Retried().range.empty());
  EXPECT_EQ(Retried().ifRange, "");
  EXPECT_TRUE(ReadFile(weak.path()) == server_.Bytes("/v.mp4", 0, kLength));
}

TEST_F(ResumeCheckTest, ARestartWithoutALengthIsCompleteAtTheEndOfItsBody) {
  Download d(Order("/v.mp4"), Target("v.mp4"), false);
  CutThenRetry(FileServer::kNone, FileServer::kNoLength, kLength - 5000, d);
  ASSERT_EQ(d.state(), State::kDone) << d.reason();
  EXPECT_TRUE(ReadFile(d.path()) == server_.Bytes("/v.mp4", 0, kLength - 5000));
}

TEST_F(DownloadTest, APartFileFromBeforeIsContinuedOrStartedOverOnlyWhenTheUserSays) {
  server_.Serve("/a.mp4", kLength);
  WriteFile(Target("a.mp4.part"), "earlier bytes");
  Download d(Order("/a.mp4"), Target("a.mp4"), false);
  d.Start();
  EXPECT_EQ(d.state(), State::kPartFound);
  EXPECT_FALSE(d.reason().empty());
  d.Cancel();
  EXPECT_EQ(ReadFile(d.partPath()), "earlier bytes");
  EXPECT_TRUE(server_.Requests().empty());

  Download over(Order("/a.mp4"), Target("a.mp4"), false);
  over.Start();
  ASSERT_EQ(over.state(), State::kPartFound);
  over.StartOverFoundPart();
  over.Start();
  ASSERT_TRUE(Settle(over));
  ASSERT_EQ(over.state(), State::kDone) << over.reason();
  EXPECT_TRUE(ReadFile(Target("a.mp4")) == server_.Bytes("/a.mp4", 0, kLength));

  // Continued from its end: the rest is asked for.
  const std::string head = server_.Bytes("/b.mp4", 0, 1000);
  server_.Serve("/b.mp4", kLength);
  WriteFile(Target("b.mp4.part"), head);
  Download more(Order("/b.mp4"), Target("b.mp4"), false);
  more.Start();
  ASSERT_EQ(more.state(), State::kPartFound);
  more.ContinueFoundPart();
  more.Start();
  ASSERT_TRUE(Settle(more));
  ASSERT_EQ(more.state(), State::kDone) << more.reason();
  EXPECT_EQ(server_.Requests().back().range, "bytes=1000-");
  EXPECT_TRUE(ReadFile(Target("b.mp4")) == server_.Bytes("/b.mp4", 0, kLength));
}

}  // namespace
}  // namespace download
