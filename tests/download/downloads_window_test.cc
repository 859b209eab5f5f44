// The downloads window with real clicks on the painted buttons: a line per download of the list,
// before and after the window was made, its size, bar, speed, time left and state as the
// download moves, the buttons each state allows (a part file found from before, a file not put
// over an existing one), and a list that outlives a closed window.
#include "download/qt/downloads_window.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "download/download_manager.h"
#include "tests/support/file_server.h"

namespace download {
namespace {

using testing_support::FileServer;
using Action = DownloadsWindow::Action;
using Window = QtDownloadsWindow;
using State = Download::State;

constexpr int64_t kLength = 4 * 1024 * 1024;

class DownloadsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Serve("/stall.mp4", kLength, FileServer::Fault::kStallAtHalf);
    server_.Serve("/missing.mp4", kLength, FileServer::Fault::kMissing);
  }
  Download* Add(const char* path, const char* name) {
    DownloadOrder o;
    o.address = server_.url(path);
    return manager_.Add(o, Target(name), false);
  }
  std::string Target(const char* name) const {
    return QDir(dir_.path()).filePath(QString::fromLatin1(name)).toStdString();
  }
  static void Click(Window& w, int line, Action action) {
    const QRect rect = w.actionRect(line, action);
    ASSERT_FALSE(rect.isEmpty()) << static_cast<int>(action);
    ASSERT_TRUE(w.actionEnabled(line, action)) << static_cast<int>(action);
    QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {}, rect.center());
  }
  static bool Until(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) QTest::qWait(10);
    return done();
  }
  static std::vector<bool> Enabled(const Window& w, int line) {
    std::vector<bool> out;
    for (Action a :
         {Action::kPauseResume, Action::kCancel, Action::kRetry, Action::kOpenFile, Action::kOpenFolder})
      out.push_back(w.actionEnabled(line, a));
    return out;
  }

  QTemporaryDir dir_;
  FileServer server_;
  DownloadManager manager_;
  std::vector<std::string> opened_;
};

TEST_F(DownloadsWindowTest, LinesFollowTheirDownloadsAndTheButtonsDriveThem) {
  Download* running = Add("/stall.mp4", "running.mp4");
  auto window = std::make_unique<Window>(&manager_, [this](const std::string& p) { opened_.push_back(p); });
  window->show();
  Download* missing = Add("/missing.mp4", "missing.mp4");  // after the window was made
  ASSERT_EQ(window->lineCount(), 2);
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kNameColumn), "running.mp4");
  EXPECT_EQ(window->cellText(1, DownloadsWindow::kNameColumn), "missing.mp4");

  // While it runs, the timer brings size, bar, speed and time left.
  ASSERT_TRUE(Until([&] { return running->bytesDone() >= kLength / 2; }));
  QTest::qWait(DownloadsWindow::kRefreshMs * 2 + 50);
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kStateColumn), std::string("下载中"));
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kSizeColumn), "2.0 MB / 4.0 MB");
  EXPECT_EQ(window->progress(0), 500);
  EXPECT_TRUE(window->cellText(0, DownloadsWindow::kSpeedColumn).ends_with("/s"));
  EXPECT_FALSE(window->cellText(0, DownloadsWindow::kTimeLeftColumn).empty());
  EXPECT_EQ(Enabled(*window, 0), (std::vector<bool>{true, true, false, false, true}));

  ASSERT_TRUE(Until([&] { return missing->state() == State::kFailed; }));
  EXPECT_TRUE(window->cellText(1, DownloadsWindow::kStateColumn).starts_with(std::string("失败：")));
  EXPECT_TRUE(window->cellText(1, DownloadsWindow::kStateColumn).find("404") != std::string::npos);
  EXPECT_EQ(Enabled(*window, 1), (std::vector<bool>{false, true, true, false, true}));

  Click(*window, 0, Action::kPauseResume);
  EXPECT_EQ(running->state(), State::kPaused);
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kStateColumn), std::string("已暂停"));
  EXPECT_EQ(window->actionCaption(0, Action::kPauseResume), std::string("继续"));
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kSpeedColumn), "");
  ASSERT_TRUE(Until([&] { return !running->ending(); }));

  // Closing the window hides it; the list and the downloads stay.
  window->close();
  server_.Release();
  EXPECT_EQ(manager_.count(), 2);
  window->show();
  Click(*window, 0, Action::kPauseResume);
  EXPECT_EQ(running->state(), State::kRunning);
  ASSERT_TRUE(Until([&] { return running->state() == State::kDone; }));
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kStateColumn), std::string("已完成"));
  EXPECT_EQ(window->cellText(0, DownloadsWindow::kSizeColumn), "4.0 MB / 4.0 MB");
  EXPECT_EQ(Enabled(*window, 0), (std::vector<bool>{false, false, false, true, true}));
  Click(*window, 0, Action::kOpenFile);
  Click(*window, 1, Action::kOpenFolder);
  EXPECT_EQ(opened_, (std::vector<std::string>{running->path(), dir_.path().toStdString()}));

  Click(*window, 1, Action::kCancel);
  EXPECT_EQ(window->cellText(1, DownloadsWindow::kStateColumn), std::string("已取消"));
  Click(*window, 1, Action::kRetry);
  EXPECT_EQ(missing->state(), State::kRunning);

  // A new window over the same list shows every line.
  window.reset();
  Window again(&manager_, nullptr);
  EXPECT_EQ(again.lineCount(), 2);
  EXPECT_EQ(again.cellText(0, DownloadsWindow::kStateColumn), std::string("已完成"));
}

TEST_F(DownloadsWindowTest, AFoundPartFileAndAFileNotReplacedOfferTheirOwnButtons) {
  server_.Serve("/a.mp4", 1000);
  for (const char* name : {"found.mp4.part", "kept.mp4"}) {
    QFile f(QString::fromStdString(Target(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("before");
  }
  std::vector<std::string> asked;
  bool agree = false;
  Window window(&manager_, nullptr, [&](const std::string& q) {
    asked.push_back(q);
    return agree;
  });
  window.show();
  Download* found = Add("/a.mp4", "found.mp4");
  Download* kept = Add("/a.mp4", "kept.mp4");
  ASSERT_TRUE(Until([&] { return kept->state() == State::kNotReplaced; }));
  ASSERT_EQ(found->state(), State::kPartFound);
  EXPECT_EQ(window.actions(0), (std::vector<Action>{Action::kContinuePart, Action::kStartOver,
                                                    Action::kCancel, Action::kOpenFolder}));
  EXPECT_EQ(window.actions(1), (std::vector<Action>{Action::kReplace, Action::kOpenFolder}));
  EXPECT_TRUE(window.cellText(1, DownloadsWindow::kStateColumn).starts_with(std::string("未覆盖：")));

  Click(window, 0, Action::kStartOver);
  ASSERT_TRUE(Until([&] { return found->state() == State::kDone; }));
  // Replace asks first; a no keeps the line as it is.
  Click(window, 1, Action::kReplace);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find("kept.mp4"), std::string::npos);
  EXPECT_EQ(kept->state(), State::kNotReplaced);
  agree = true;
  Click(window, 1, Action::kReplace);
  EXPECT_EQ(kept->state(), State::kDone);
  QFile done(QString::fromStdString(kept->path()));
  ASSERT_TRUE(done.open(QIODevice::ReadOnly));
  EXPECT_TRUE(done.readAll().toStdString() == server_.Bytes("/a.mp4", 0, 1000));
}

}  // namespace
}  // namespace download
