// The part file sink fed directly: which answers it takes and where their bytes go, ranges it
// refuses, the 416 that says the file was complete, bytes past the announced length, and the
// errno of a part file that cannot be made.
#include "download/part_file_sink.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>

namespace download {
namespace {

using Outcome = PartFileSink::Outcome;

// The download's own part file, continued from `offset` (a new one when 0).
PartFileSink::Resume Continuing(int64_t offset) {
  PartFileSink::Resume r;
  r.offset = offset;
  r.ownPart = offset > 0;
  return r;
}

class PartFileSinkTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const {
    return QDir(dir_.path()).filePath(QString::fromLatin1(name)).toStdString();
  }
  static std::string Read(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
  }
  static void Write(const std::string& path, const std::string& bytes) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  QTemporaryDir dir_;
};

TEST_F(PartFileSinkTest, AContinuationGoesAfterThePartFileAndAWholeAnswerStartsOver) {
  const std::string part = Path("v.part");
  Write(part, "0123456789");
  {
    PartFileSink sink(part, Continuing(10));
    ASSERT_TRUE(sink.OnResponse(206, {"Content-Range: bytes 10-14/15", "Content-Length: 5", "ETag: \"e1\""}));
    EXPECT_EQ(sink.totalBytes(), 15);
    ASSERT_TRUE(sink.OnBody("abcde"));
    EXPECT_EQ(sink.bytesInFile(), 15);
    sink.Finish();
    EXPECT_EQ(sink.result().outcome, Outcome::kWritten);
    EXPECT_EQ(sink.result().validator, "\"e1\"");
    EXPECT_EQ(sink.result().ifRange, "\"e1\"");
    EXPECT_FALSE(sink.result().startedOver);
  }
  EXPECT_EQ(Read(part), "0123456789abcde");
  {
    PartFileSink sink(part, Continuing(15));
    ASSERT_TRUE(
        sink.OnResponse(200, {"Content-Length: 3", "ETag: W/\"weak\"", "Last-Modified: Tue, 01 Dec 2026"}));
    ASSERT_TRUE(sink.OnBody("xyz"));
    sink.Finish();
    EXPECT_TRUE(sink.result().startedOver);
    // A weak tag names the version but cannot tie a range, nor can a date beside it.
    EXPECT_EQ(sink.result().validator, "W/\"weak\"");
    EXPECT_EQ(sink.result().ifRange, "");
  }
  EXPECT_EQ(Read(part), "xyz");
}

TEST_F(PartFileSinkTest, RefusedAnswersTakeNoByteAndTouchNoFile) {
  const std::string part = Path("r.part");
  struct Case {
    int32_t status;
    std::vector<std::string> headers;
    int64_t offset;
    Outcome outcome;
  } cases[] = {
      {404, {"Content-Length: 9"}, 0, Outcome::kRefusedStatus},
      {500, {}, 0, Outcome::kRefusedStatus},
      {204, {}, 0, Outcome::kRefusedStatus},
      {302, {"Location: /x"}, 0, Outcome::kRefusedStatus},
      {206, {"Content-Range: bytes 5-9/10"}, 0, Outcome::kBadRange},  // not where the file ends
      {206, {"Content-Length: 5"}, 0, Outcome::kBadRange},            // no range at all
  };
  for (const Case& c : cases) {
    PartFileSink sink(part, Continuing(c.offset));
    EXPECT_FALSE(sink.OnResponse(c.status, c.headers)) << c.status;
    EXPECT_FALSE(sink.OnBody("error page")) << c.status;
    sink.Finish();
    EXPECT_EQ(sink.result().outcome, c.outcome) << c.status;
    EXPECT_EQ(sink.result().status, c.status);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(part))) << c.status;
  }
  // 416 to a range that starts at the end: complete already. To another range: not.
  Write(part, "0123456789");
  PartFileSink complete(part, Continuing(10));
  EXPECT_FALSE(complete.OnResponse(416, {"Content-Range: bytes */10"}));
  EXPECT_EQ(complete.result().outcome, Outcome::kAlreadyComplete);
  PartFileSink beyond(part, Continuing(10));
  EXPECT_FALSE(beyond.OnResponse(416, {"Content-Range: bytes */8"}));
  EXPECT_EQ(beyond.result().outcome, Outcome::kBadRange);
  // A continuation of another version: a new tag, another whole length, a date that moved.
  const struct {
    PartFileSink::Resume resume;
    std::vector<std::string> headers;
  } changed[] = {
      {{10, true, "\"e1\"", 15}, {"Content-Range: bytes 10-14/15", "ETag: \"e2\""}},
      {{10, true, "", 15}, {"Content-Range: bytes 10-19/20"}},
      {{10, true, "", 15}, {"Content-Range: bytes 10-19/*", "Content-Length: 10"}},
      {{10, true, "Mon, 30 Nov 2026", -1},
       {"Content-Range: bytes 10-14/15", "Last-Modified: Tue, 01 Dec 2026"}},
      {{10, true, "\"e1\"", 12}, {"Content-Range: bytes */10"}},
  };
  for (const auto& c : changed) {
    PartFileSink sink(part, c.resume);
    EXPECT_FALSE(sink.OnResponse(c.headers[0].find("*/") != std::string::npos ? 416 : 206, c.headers))
        << c.headers[0];
    EXPECT_EQ(sink.result().outcome, Outcome::kChanged) << c.headers[0];
  }
  EXPECT_EQ(Read(part), "0123456789");
}

TEST_F(PartFileSinkTest, BytesPastTheAnnouncedLengthAreRefusedAndLargeBodiesAreBuffered) {
  const std::string part = Path("l.part");
  PartFileSink sink(part, {});
  ASSERT_TRUE(sink.OnResponse(200, {"content-length: 8"}));
  EXPECT_TRUE(sink.OnBody("12345"));
  EXPECT_FALSE(sink.OnBody("6789"));
  sink.Finish();
  EXPECT_EQ(sink.result().outcome, Outcome::kTooLong);
  EXPECT_EQ(Read(part), "12345678");

  // Pieces are gathered into large writes; what is buffered counts as in hand and reaches the
  // file by Finish.
  const std::string big = Path("b.part");
  PartFileSink many(big, {});
  ASSERT_TRUE(many.OnResponse(200, {}));
  std::string piece(16 * 1024 - 3, 'q');
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(many.OnBody(piece));
  EXPECT_EQ(many.bytesInFile(), 40 * static_cast<int64_t>(piece.size()));
  struct stat st;
  ASSERT_EQ(stat(big.c_str(), &st), 0);
  EXPECT_LT(st.st_size, many.bytesInFile());
  many.Finish();
  ASSERT_EQ(stat(big.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, many.bytesInFile());
}

TEST_F(PartFileSinkTest, APartFileThatCannotBeMadeGivesItsErrno) {
  // A folder nobody may write to. The file access check of this thread runs as an ordinary
  // user (the privileged one would pass it).
  const QString locked = QDir(dir_.path()).filePath(QStringLiteral("locked"));
  ASSERT_TRUE(QDir().mkdir(locked));
  ASSERT_EQ(chmod(dir_.path().toLocal8Bit().constData(), 0755), 0);
  ASSERT_EQ(chmod(locked.toLocal8Bit().constData(), 0555), 0);
  const uid_t before = static_cast<uid_t>(setfsuid(65534));
  PartFileSink sink(QDir(locked).filePath(QStringLiteral("a.part")).toStdString(), {});
  const bool taken = sink.OnResponse(200, {"Content-Length: 3"});
  setfsuid(before);
  EXPECT_FALSE(taken);
  EXPECT_EQ(sink.result().outcome, Outcome::kWriteFailed);
  EXPECT_EQ(sink.result().errorNumber, EACCES);

  PartFileSink missing(Path("no/such/folder/a.part"), {});
  EXPECT_FALSE(missing.OnResponse(200, {}));
  EXPECT_EQ(missing.result().errorNumber, ENOENT);
}

// Writes 4 MiB into a part file under a 1 MiB limit on the process's files (a write past it
// fails as one on a full disk does): true when the sink refused the rest with EFBIG and kept
// exactly what was written before.
bool WriteUntilTheLimit(const std::string& part) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1024 * 1024, 1024 * 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
  PartFileSink sink(part, {});
  const bool taken = sink.OnResponse(200, {"Content-Length: 4194304"});
  const std::string piece(64 * 1024, 'w');
  bool refused = false;
  for (int i = 0; i < 64 && !refused; ++i) refused = !sink.OnBody(piece);
  sink.Finish();
  struct stat st {};
  stat(part.c_str(), &st);
  return taken && refused && sink.result().outcome == Outcome::kWriteFailed &&
         sink.result().errorNumber == EFBIG && st.st_size == 1024 * 1024 && sink.bytesInFile() == 1024 * 1024;
}

// In a child process, so that the limit stays there.
TEST_F(PartFileSinkTest, AWriteThatFailsMidwayKeepsWhatWasWritten) {
  const std::string part = Path("w.part");
  EXPECT_EXIT(_exit(WriteUntilTheLimit(part) ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(PartFileSinkTest, TwoWritersNeverShareAPartFile) {
  const std::string part = Path("w.part");
  PartFileSink first(part, {});
  ASSERT_TRUE(first.OnResponse(200, {"Content-Length: 6"}));
  ASSERT_TRUE(first.OnBody("first!"));
  first.Finish();
  // A second writer (another download, another copy of the program) of a new part file.
  PartFileSink second(part, {});
  EXPECT_FALSE(second.OnResponse(200, {"Content-Length: 6"}));
  EXPECT_EQ(second.result().outcome, Outcome::kWriteFailed);
  EXPECT_EQ(second.result().errorNumber, EEXIST);
  // Two continuing the same part file: the second finds it held.
  PartFileSink holder(part, Continuing(6));
  ASSERT_TRUE(holder.OnResponse(206, {"Content-Range: bytes 6-7/8"}));
  PartFileSink other(part, Continuing(6));
  EXPECT_FALSE(other.OnResponse(206, {"Content-Range: bytes 6-7/8"}));
  EXPECT_EQ(other.result().errorNumber, EWOULDBLOCK);
  ASSERT_TRUE(holder.OnBody("!!"));
  holder.Finish();
  EXPECT_EQ(Read(part), "first!!!");
}

}  // namespace
}  // namespace download
