// The download commands of the main window against the demo site, driven as a user drives them:
// a lookup by a click on 按钮1, right clicks (and the menu key) on the list and the grid, clicks
// on the menus' entries and on the downloads window's buttons. The dialogs answer from a script.
#include "app/download_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <deque>
#include <set>

#include "app/constants.h"
#include "app/download_names.h"
#include "demo/demo_files.h"
#include "download/download_dialogs.h"
#include "download/download_manager.h"
#include "download/downloads_window.h"
#include "download/qt/downloads_window.h"
#include "download/window_downloads.h"
#include "platform/codepage.h"
#include "tests/app/demo_lookup_fixture.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace app {
namespace {

using State = download::Download::State;

// Dialogs that answer from a script and remember what they were asked.
class ScriptedDialogs : public download::DownloadDialogs {
 public:
  // The save dialog's answer to its proposal: the proposal itself unless set.
  std::function<QString(const QString& proposed)> save;
  QString folder;
  std::deque<int> answers;  // Ask's, in turn; -1 when the script runs out
  std::vector<QString> proposals, questions, messages;
  std::vector<QUrl> opened;

  std::string SaveFileName(std::string_view, std::string_view proposed) override {
    proposals.push_back(FromPath(proposed));
    return ToPath(save ? save(proposals.back()) : proposals.back());
  }
  std::string ExistingFolder(std::string_view, std::string_view) override { return ToPath(folder); }
  int Ask(std::string_view, std::string_view text, const std::vector<std::string>&) override {
    questions.push_back(ui::ToQString(text));
    if (answers.empty()) return -1;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  void Inform(std::string_view, std::string_view text) override { messages.push_back(ui::ToQString(text)); }
  bool OpenAddress(std::string_view address) override {
    opened.push_back(QUrl::fromEncoded(ui::ToQString(address).toUtf8(), QUrl::TolerantMode));
    return true;
  }
  bool OpenPath(std::string_view path) override {
    opened.push_back(QUrl::fromLocalFile(FromPath(path)));
    return true;
  }

 private:
  // Path bytes (UTF-8) and the toolkit's paths.
  static QString FromPath(std::string_view path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  }
  static std::string ToPath(const QString& path) { return path.toUtf8().toStdString(); }
};

class DownloadCommandsTest : public testing_support::DemoLookupFixture {
 protected:
  void SetUp() override {
    DemoLookupFixture::SetUp();
    env_->SetLatency(0);
    env_->site().ClearRequests();
    downloads_ = download::WindowDownloads::Of(kMainWindowId);
    ASSERT_NE(downloads_, nullptr);
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    downloads_->SetDialogs(std::move(dialogs));
    downloads_->SetSettingsFile(QDir(dir_.path()).filePath(QStringLiteral("settings.ini")).toStdString());
    downloads_->RememberFolder(Native(dir_.path()));
  }
  void TearDown() override {
    env_->SetLatency(0);
    DemoLookupFixture::TearDown();
  }

  static std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }
  void LookUp(const char* path) {
    SetContent(k编辑框2, (std::string(kSiteHost) + path).c_str());
    QTest::mouseClick(WidgetOf(k按钮1), Qt::LeftButton);
  }
  // A right click as the platform delivers it: through the window, which turns it into a
  // context menu request.
  static void RightClick(QWidget* viewport, QPoint at) {
    QWidget* top = viewport->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, {}, viewport->mapTo(top, at));
  }
  static QMenu* Menu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
  // The shown menu's entries: caption and whether it can be chosen ("-" for a separator).
  static std::vector<std::pair<std::string, bool>> Entries() {
    std::vector<std::pair<std::string, bool>> out;
    if (QMenu* m = Menu()) {
      for (QAction* a : m->actions())
        out.emplace_back(a->isSeparator() ? "-" : ui::FromQString(a->text()),
                         !a->isSeparator() && a->isEnabled());
    }
    return out;
  }
  // Clicks the shown menu's entry, then lets its action run.
  static void Choose(const char* caption) {
    QMenu* m = Menu();
    ASSERT_NE(m, nullptr);
    for (QAction* a : m->actions()) {
      if (a->text() == ui::ToQString(caption)) {
        QTest::mouseClick(m, Qt::LeftButton, {}, m->actionGeometry(a).center());
        QTest::qWait(20);
        return;
      }
    }
    FAIL() << "no entry " << caption;
  }
  void RightClickRow(int row) { RightClick(Grid()->viewport(), Grid()->cellRect(row, 3).center()); }
  void ClickRow(int row) {
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Grid()->cellRect(row, 2).center());
  }
  void RightClickLine(int line) {
    RightClick(List()->viewport(), List()->visualItemRect(List()->topLevelItem(line)).center());
  }
  // The first listed address of a row, and its quality.
  static std::string FirstAddressOfRow(int row) {
    const std::string cell = CellText(row, 2);
    for (size_t start = 0; start < cell.size();) {
      size_t end = cell.find(kAddressSeparator, start);
      if (end == std::string::npos) end = cell.size();
      if (end > start) return cell.substr(start, end - start);
      start = end + 2;
    }
    return std::string();
  }
  static std::string QualityOfRow(int row) {
    const std::string a = FirstAddressOfRow(row);
    const size_t base = std::strlen(kCdnBase);
    return a.rfind(kCdnBase, 0) == 0 ? a.substr(base, a.find('/', base) - base) : std::string();
  }
  // The grid row whose first address is `address`.
  int RowOf(const char* address) {
    for (int r = 1; r < Grid()->model().rowCount(); ++r) {
      if (CellText(r, 2).rfind(address, 0) == 0) return r;
    }
    return -1;
  }
  // Downloads the row's first listed quality through the grid's menu, saved as `name`.
  download::Download* DownloadRow(int row, const QString& name) {
    const size_t before = static_cast<size_t>(downloads_->manager().count());
    dialogs_->save = [this, name](const QString&) { return QDir(dir_.path()).filePath(name); };
    RightClickRow(row);
    Choose(kDownloadCaption);
    if (static_cast<size_t>(downloads_->manager().count()) != before + 1) return nullptr;
    return downloads_->manager().at(static_cast<int>(before));
  }
  static bool Settle(const download::Download* d, int ms = 20000) {
    return platform::WaitHandlingEvents(
        [d] { return d->state() != State::kRunning && d->state() != State::kWaiting && !d->ending(); }, ms);
  }
  // Progress wakes no one: looked at every 10 ms.
  static bool Reaches(const download::Download* d, int64_t bytes) {
    for (int i = 0; i < 2000 && d->bytesDone() < bytes; ++i) QTest::qWait(10);
    return d->bytesDone() >= bytes;
  }
  static std::string Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
  }
  static const demo::DemoFile& FileAt(const std::string& address) {
    return *env_->site().content().FindFile(address);
  }
  // The requests the demo site saw for a file's path.
  static std::vector<demo::RecordedRequest> RequestsFor(const std::string& address) {
    std::vector<demo::RecordedRequest> out;
    const std::string path = FileAt(address).path;
    for (const demo::RecordedRequest& r : env_->site().Requests()) {
      if (r.path == path) out.push_back(r);
    }
    return out;
  }
  static std::string HeaderOf(const demo::RecordedRequest& r, const std::string& name) {
    for (const auto& [n, v] : r.headers) {
      if (QString::fromStdString(n).compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0) return v;
    }
    return "<none>";
  }
  void ClickButton(int line, download::DownloadsWindow::Action action) {
    auto* w = dynamic_cast<download::QtDownloadsWindow*>(downloads_->window());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->actionEnabled(line, action));
    QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {}, w->actionRect(line, action).center());
  }

  QTemporaryDir dir_;
  download::WindowDownloads* downloads_ = nullptr;
  ScriptedDialogs* dialogs_ = nullptr;
};

TEST_F(DownloadCommandsTest, TheListsMenuCopiesOpensAndDownloadsBesideTodaysClicks) {
  LookUp(demo::kTwoVideoPagePath);
  ClickRow(1);  // today's click: the row's addresses in the list
  ASSERT_GE(List()->itemCount(), 2);
  const std::string second = List()->itemText(1, 2);

  RightClickLine(1);
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, bool>>{{kCopyAddressCaption, true},
                                                                  {kOpenAddressCaption, true},
                                                                  {kDownloadCaption, true},
                                                                  {"-", false},
                                                                  {kDownloadsWindowCaption, true}}));
  Choose(kCopyAddressCaption);
  EXPECT_EQ(List()->selectedItem(), 1);  // the line under the pointer
  EXPECT_EQ(platform::Utf8ToGbk(QGuiApplication::clipboard()->text().toStdString()), second);

  RightClickLine(0);
  Choose(kOpenAddressCaption);
  ASSERT_EQ(dialogs_->opened.size(), 1u);
  EXPECT_EQ(dialogs_->opened[0].toString().toStdString(), List()->itemText(0, 2));

  // The menu key (the platform turns it into a keyboard request for the focused control) opens
  // the same menu for the current line.
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), List()->mapToGlobal(QPoint(0, 0)));
  QApplication::sendEvent(List(), &key);
  ASSERT_NE(Menu(), nullptr);
  EXPECT_EQ(Entries().size(), 5u);
  Menu()->close();

  // Where no line is, only the downloads window can be asked for.
  RightClick(List()->viewport(), QPoint(5, List()->viewport()->height() - 5));
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, bool>>{{kCopyAddressCaption, false},
                                                                  {kOpenAddressCaption, false},
                                                                  {kDownloadCaption, false},
                                                                  {"-", false},
                                                                  {kDownloadsWindowCaption, true}}));
  Choose(kDownloadsWindowCaption);
  ASSERT_NE(downloads_->window(), nullptr);
  EXPECT_TRUE(downloads_->window()->isVisible());
  EXPECT_EQ(downloads_->manager().count(), 0);

  // The grid: a video row offers its download and all of them; the title row only all. A right
  // click leaves the current cell, and so the list, as they are.
  RightClickRow(2);
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, bool>>{{kDownloadCaption, true},
                                                                  {kDownloadAllCaption, true},
                                                                  {"-", false},
                                                                  {kDownloadsWindowCaption, true},
                                                                  {"-", false},
                                                                  {kLoginCaption, true}}));
  Menu()->close();
  EXPECT_EQ(Grid()->model().currentRow(), 1);
  EXPECT_EQ(List()->itemText(1, 2), second);
  RightClick(Grid()->viewport(), Grid()->cellRect(0, 3).center());
  ASSERT_EQ(Entries().size(), 6u);
  EXPECT_FALSE(Entries()[0].second);
  EXPECT_TRUE(Entries()[1].second);
  Menu()->close();
}

TEST_F(DownloadCommandsTest, ADownloadFromTheListSendsTheLookupsLinesAndSavesTheServedBytes) {
  LookUp(demo::kTwoVideoPagePath);
  ClickRow(1);
  const std::string address = List()->itemText(0, 2);
  const std::string title = CellText(1, 3);
  // The user takes the proposed name into another folder.
  const QString chosenFolder = QDir(dir_.path()).filePath(QStringLiteral("chosen"));
  ASSERT_TRUE(QDir().mkdir(chosenFolder));
  dialogs_->save = [&](const QString& p) { return QDir(chosenFolder).filePath(QFileInfo(p).fileName()); };
  RightClickLine(0);
  Choose(kDownloadCaption);
  ASSERT_EQ(dialogs_->proposals.size(), 1u);
  const QString proposed = dialogs_->proposals[0];
  const QString saved = QDir(chosenFolder).filePath(QFileInfo(proposed).fileName());
  // In the folder used last, named after the title and the quality.
  EXPECT_EQ(QFileInfo(proposed).absolutePath(), QFileInfo(dir_.path()).absoluteFilePath());
  EXPECT_EQ(ui::FromQString(QFileInfo(proposed).fileName()),
            DefaultFileName(title, List()->itemText(0, 1), address));
  ASSERT_EQ(downloads_->manager().count(), 1);
  download::Download* d = downloads_->manager().at(0);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kDone) << d->reason();
  EXPECT_TRUE(Read(saved) == FileAt(address).Expected());
  EXPECT_FALSE(QFile::exists(saved + ".part"));
  // That folder is proposed next, and kept in the settings for the next run.
  QSettings settings(QDir(dir_.path()).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
  EXPECT_EQ(settings.value(QStringLiteral("downloads/lastFolder")).toString(),
            QFileInfo(saved).absolutePath());
  dialogs_->save = [](const QString&) { return QString(); };  // cancelled
  RightClickLine(1);
  Choose(kDownloadCaption);
  ASSERT_EQ(dialogs_->proposals.size(), 2u);
  EXPECT_EQ(QFileInfo(dialogs_->proposals[1]).absolutePath(), QFileInfo(saved).absolutePath());
  EXPECT_EQ(downloads_->manager().count(), 1);

  // The same lines as the lookup's requests: its User-Agent, WebRequest's defaults, the
  // download's own address as Referer; no Range for a first attempt.
  const std::vector<demo::RecordedRequest> seen = RequestsFor(address);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].user_agent, std::string(kRequestHeaderLine).substr(strlen("user-agent: ")));
  EXPECT_EQ(seen[0].referer, address);
  EXPECT_EQ(HeaderOf(seen[0], "Accept"), "*/*");
  EXPECT_EQ(HeaderOf(seen[0], "Accept-Language"), "zh-cn");
  EXPECT_EQ(HeaderOf(seen[0], "Range"), "<none>");

  // The first download opened the downloads window, which shows it done.
  download::DownloadsWindow* w = downloads_->window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  w->Refresh();
  EXPECT_EQ(w->cellText(0, download::DownloadsWindow::kStateColumn), "已完成");
  EXPECT_EQ(w->progress(0), 1000);
  ClickButton(0, download::DownloadsWindow::Action::kOpenFile);
  ClickButton(0, download::DownloadsWindow::Action::kOpenFolder);
  ASSERT_EQ(dialogs_->opened.size(), 2u);
  EXPECT_EQ(dialogs_->opened[0], QUrl::fromLocalFile(saved));
  EXPECT_EQ(dialogs_->opened[1], QUrl::fromLocalFile(QFileInfo(saved).absolutePath()));
}

TEST_F(DownloadCommandsTest, AResetAtHalfThenRetryResumesWithARangeAndGivesTheExactFile) {
  LookUp(demo::kDownloadFaultPagePath);
  download::Download* d = DownloadRow(RowOf(demo::kResetFileAddress), QStringLiteral("reset.mp4"));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kFailed);
  EXPECT_EQ(d->failure(), download::Download::Failure::kNetwork);
  const demo::DemoFile& file = FileAt(demo::kResetFileAddress);
  const std::string part = Read(QFile::decodeName(d->partPath().c_str()));
  ASSERT_GT(part.size(), 0u);
  EXPECT_TRUE(part == file.Bytes(0, part.size()));
  EXPECT_FALSE(QFile::exists(QFile::decodeName(d->path().c_str())));
  downloads_->window()->Refresh();
  EXPECT_TRUE(downloads_->window()->cellText(0, download::DownloadsWindow::kStateColumn).starts_with("失败"));

  ClickButton(0, download::DownloadsWindow::Action::kRetry);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kDone) << d->reason();
  EXPECT_TRUE(Read(QFile::decodeName(d->path().c_str())) == file.Expected());
  const std::vector<demo::RecordedRequest> seen = RequestsFor(demo::kResetFileAddress);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(HeaderOf(seen[1], "Range"), "bytes=" + std::to_string(part.size()) + "-");
  EXPECT_EQ(seen[1].status, 206);
}

TEST_F(DownloadCommandsTest, PauseAndResumeFromTheDownloadsWindow) {
  LookUp(demo::kDownloadFaultPagePath);
  download::Download* d = DownloadRow(RowOf(demo::kStallFileAddress), QStringLiteral("stall.mp4"));
  ASSERT_NE(d, nullptr);
  const demo::DemoFile& file = FileAt(demo::kStallFileAddress);
  ASSERT_TRUE(Reaches(d, static_cast<int64_t>(file.length / 2)));
  ClickButton(0, download::DownloadsWindow::Action::kPauseResume);
  EXPECT_EQ(d->state(), State::kPaused);
  ASSERT_TRUE(Settle(d));
  EXPECT_EQ(downloads_->window()->actionCaption(0, download::DownloadsWindow::Action::kPauseResume), "继续");
  const size_t kept = Read(QFile::decodeName(d->partPath().c_str())).size();
  EXPECT_EQ(kept, file.length / 2);

  ClickButton(0, download::DownloadsWindow::Action::kPauseResume);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kDone) << d->reason();
  EXPECT_TRUE(Read(QFile::decodeName(d->path().c_str())) == file.Expected());
  EXPECT_EQ(HeaderOf(RequestsFor(demo::kStallFileAddress).back(), "Range"),
            "bytes=" + std::to_string(kept) + "-");
}

TEST_F(DownloadCommandsTest, ThreeRunAndTheFourthWaitsUntilASlotIsFree) {
  LookUp(demo::kDownloadFaultPagePath);
  const int row = RowOf(demo::kStallFileAddress);
  std::vector<download::Download*> d;
  for (int i = 0; i < 4; ++i) d.push_back(DownloadRow(row, QStringLiteral("stall-%1.mp4").arg(i)));
  ASSERT_EQ(downloads_->manager().count(), 4);
  const int64_t half = static_cast<int64_t>(FileAt(demo::kStallFileAddress).length / 2);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Reaches(d[i], half)) << i;
  EXPECT_EQ(d[0]->state(), State::kRunning);
  EXPECT_EQ(d[1]->state(), State::kRunning);
  EXPECT_EQ(d[2]->state(), State::kRunning);
  EXPECT_EQ(d[3]->state(), State::kWaiting);
  downloads_->window()->Refresh();
  EXPECT_EQ(downloads_->window()->cellText(3, download::DownloadsWindow::kStateColumn), "等待中");
  EXPECT_EQ(RequestsFor(demo::kStallFileAddress).size(), 3u);

  ClickButton(1, download::DownloadsWindow::Action::kCancel);
  ASSERT_TRUE(Settle(d[1]));
  EXPECT_EQ(d[1]->state(), State::kCancelled);
  EXPECT_FALSE(QFile::exists(QFile::decodeName(d[1]->partPath().c_str())));
  EXPECT_EQ(d[3]->state(), State::kRunning);  // took the slot
  EXPECT_EQ(downloads_->manager().runningCount(), 3);
}

TEST_F(DownloadCommandsTest, A404FailsWithItsReasonAndLeavesNoFile) {
  LookUp(demo::kDownloadFaultPagePath);
  download::Download* d = DownloadRow(RowOf(demo::kMissingFileAddress), QStringLiteral("missing.mp4"));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kFailed);
  EXPECT_EQ(d->failure(), download::Download::Failure::kStatus);
  EXPECT_TRUE(d->reason().find("404") != std::string::npos) << d->reason();
  downloads_->window()->Refresh();
  EXPECT_TRUE(downloads_->window()->cellText(0, download::DownloadsWindow::kStateColumn).find("404") !=
              std::string::npos);
  EXPECT_FALSE(QFile::exists(QFile::decodeName(d->path().c_str())));
  EXPECT_FALSE(QFile::exists(QFile::decodeName(d->partPath().c_str())));
}

// In a child process: the folder is one the process may not write to (a privileged process
// first becomes an ordinary user, for whom the folder's permissions hold).
TEST_F(DownloadCommandsTest, AFolderWithoutWritePermissionFailsWithItsReasonAndLeavesNoFile) {
  LookUp(demo::kTwoVideoPagePath);
  const std::string address = FirstAddressOfRow(1);
  const QString locked = QDir(dir_.path()).filePath(QStringLiteral("locked"));
  ASSERT_TRUE(QDir().mkdir(locked));
  ASSERT_EQ(chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
  ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0555), 0);
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && setresgid(65534, 65534, 65534) == 0) setresuid(65534, 65534, 65534);
        dialogs_->save = [&](const QString&) { return QDir(locked).filePath(QStringLiteral("a.mp4")); };
        RightClickRow(1);
        Choose(kDownloadCaption);
        download::Download* d = downloads_->manager().count() == 1 ? downloads_->manager().at(0) : nullptr;
        bool ok = d && Settle(d) && d->state() == State::kFailed &&
                  d->failure() == download::Download::Failure::kWrite &&
                  d->reason() == "没有写入该文件夹的权限" &&
                  !QFile::exists(QFile::decodeName(d->path().c_str())) &&
                  !QFile::exists(QFile::decodeName(d->partPath().c_str()));
        fprintf(stderr, "%s\n", d ? ui::ToQString(d->reason()).toUtf8().constData() : "no download");
        _exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(QFile::exists(QDir(locked).filePath(QStringLiteral("a.mp4"))));
}

TEST_F(DownloadCommandsTest, ATitleWithSlashesQuotesColonsAndThreeHundredCharactersGivesAValidName) {
  LookUp(demo::kTwoVideoPagePath);
  std::string title = "a/b\"c:d ";
  for (int i = 0; i < 300; ++i) title += "雪";
  grid::SetCellText({kMainWindowId, k高级表格1}, 1, 3, title.c_str());
  dialogs_->save = nullptr;
  RightClickRow(1);
  Choose(kDownloadCaption);
  ASSERT_EQ(dialogs_->proposals.size(), 1u);
  const QString name = QFileInfo(dialogs_->proposals[0]).fileName();
  const QByteArray bytes = QFile::encodeName(name);
  EXPECT_LE(bytes.size(), 250);
  EXPECT_GT(bytes.size(), 240);  // cut only as far as needed
  EXPECT_TRUE(name.startsWith(QStringLiteral("a_b_c_d ")));
  EXPECT_TRUE(
      name.endsWith(ui::ToQString("雪-") + QString::fromStdString(QualityOfRow(1)) + QStringLiteral(".mp4")));
  EXPECT_FALSE(name.contains(QChar(0xFFFD)));  // cut between characters, not inside one
  // The file system takes it, and its part file.
  ASSERT_EQ(downloads_->manager().count(), 1);
  download::Download* d = downloads_->manager().at(0);
  ASSERT_TRUE(Settle(d));
  EXPECT_EQ(d->state(), State::kDone) << d->reason();
  EXPECT_TRUE(QFile::exists(dialogs_->proposals[0]));
}

TEST_F(DownloadCommandsTest, AnExistingFileIsNotReplacedWithoutConsent) {
  LookUp(demo::kTwoVideoPagePath);
  const QString target = QDir(dir_.path()).filePath(QStringLiteral("taken.mp4"));
  QFile f(target);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("mine");
  f.close();

  dialogs_->answers = {1};  // "取消"
  EXPECT_EQ(DownloadRow(1, QStringLiteral("taken.mp4")), nullptr);
  ASSERT_EQ(dialogs_->questions.size(), 1u);
  EXPECT_TRUE(dialogs_->questions[0].contains(QStringLiteral("taken.mp4")));
  EXPECT_EQ(Read(target), "mine");

  dialogs_->answers = {-1};  // the question closed without a button
  EXPECT_EQ(DownloadRow(1, QStringLiteral("taken.mp4")), nullptr);
  EXPECT_EQ(Read(target), "mine");

  dialogs_->answers = {0};  // "替换"
  download::Download* d = DownloadRow(1, QStringLiteral("taken.mp4"));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Settle(d));
  ASSERT_EQ(d->state(), State::kDone);
  EXPECT_TRUE(Read(target) == FileAt(FirstAddressOfRow(1)).Expected());
}

TEST_F(DownloadCommandsTest, DownloadAllTakesEachRowsFirstQualityIntoTheChosenFolder) {
  LookUp(demo::kSamplePagePath);
  const int rows = Grid()->model().rowCount() - 1;
  ASSERT_GE(rows, 2);
  const QString folder = QDir(dir_.path()).filePath(QStringLiteral("all"));
  ASSERT_TRUE(QDir().mkdir(folder));
  dialogs_->folder = folder;
  // One of the names is taken already: the question offers to skip it.
  const std::string firstName = DefaultFileName(CellText(1, 3), QualityOfRow(1), FirstAddressOfRow(1));
  QFile taken(QDir(folder).filePath(ui::ToQString(firstName)));
  ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
  taken.close();
  dialogs_->answers = {1};  // "跳过"
  RightClickRow(2);
  Choose(kDownloadAllCaption);
  ASSERT_EQ(dialogs_->questions.size(), 1u);
  int expected = 0;
  for (int r = 1; r <= rows; ++r) expected += FirstAddressOfRow(r).empty() ? 0 : 1;
  ASSERT_EQ(downloads_->manager().count(), expected - 1);
  std::set<QString> paths;
  for (int i = 0; i < downloads_->manager().count(); ++i) {
    download::Download* d = downloads_->manager().at(i);
    const QString path = QFile::decodeName(d->path().c_str());
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(folder).absoluteFilePath());
    paths.insert(path);
    ASSERT_TRUE(Settle(d));
    EXPECT_EQ(d->state(), State::kDone) << d->reason();
    EXPECT_TRUE(Read(QFile::decodeName(d->path().c_str())) == FileAt(d->order().address).Expected());
  }
  EXPECT_EQ(paths.size(), static_cast<size_t>(downloads_->manager().count()));  // alike names numbered
  EXPECT_EQ(Read(QDir(folder).filePath(ui::ToQString(firstName))), "");         // skipped, not replaced
}

// Every fault of the demo CDN in one "全部下载…": each ends as its fault says, and what runs or
// waits meanwhile is what the downloads window shows (saved as a picture when
// WL_SCREENSHOT_DIR names a folder).
TEST_F(DownloadCommandsTest, TheFaultPagesDownloadsEndAsTheirFaultsSay) {
  LookUp(demo::kDownloadFaultPagePath);
  dialogs_->folder = dir_.path();
  RightClickRow(1);
  Choose(kDownloadAllCaption);
  ASSERT_EQ(downloads_->manager().count(), 5);
  auto of = [&](const char* address) {
    for (int i = 0; i < downloads_->manager().count(); ++i) {
      if (downloads_->manager().at(i)->order().address == address) return downloads_->manager().at(i);
    }
    return static_cast<download::Download*>(nullptr);
  };
  download::Download* stall = of(demo::kStallFileAddress);
  ASSERT_NE(stall, nullptr);
  for (const char* done : {demo::kNoRangesFileAddress, demo::kLongerFileAddress}) {
    download::Download* d = of(done);
    ASSERT_TRUE(Settle(d)) << done;
    ASSERT_EQ(d->state(), State::kDone) << done << " " << d->reason();
    EXPECT_TRUE(Read(QFile::decodeName(d->path().c_str())) == FileAt(done).Expected())
        << done;  // no byte past Content-Length
  }
  ASSERT_TRUE(Settle(of(demo::kResetFileAddress)));
  EXPECT_EQ(of(demo::kResetFileAddress)->failure(), download::Download::Failure::kNetwork);
  ASSERT_TRUE(Settle(of(demo::kMissingFileAddress)));
  EXPECT_EQ(of(demo::kMissingFileAddress)->failure(), download::Download::Failure::kStatus);
  ASSERT_TRUE(Reaches(stall, static_cast<int64_t>(FileAt(demo::kStallFileAddress).length / 2)));
  EXPECT_EQ(stall->state(), State::kRunning);

  auto* w = dynamic_cast<download::QtDownloadsWindow*>(downloads_->window());
  ASSERT_NE(w, nullptr);
  QTest::qWait(download::DownloadsWindow::kRefreshMs + 50);
  const int line = downloads_->manager().indexOf(stall);
  EXPECT_EQ(w->progress(line), 500);
  EXPECT_EQ(w->cellText(line, download::DownloadsWindow::kStateColumn), "下载中");
  const QImage shot = w->grab().toImage();
  EXPECT_EQ(shot.size(), w->size() * w->devicePixelRatio());
  if (const char* folder = std::getenv("WL_SCREENSHOT_DIR")) {
    EXPECT_TRUE(
        shot.save(QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("downloads_window.png"))));
  }
}

TEST_F(DownloadCommandsTest, ClosingWithADownloadRunningAsksAndStoppingKeepsThePartFile) {
  LookUp(demo::kDownloadFaultPagePath);
  download::Download* d = DownloadRow(RowOf(demo::kStallFileAddress), QStringLiteral("stall.mp4"));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Reaches(d, 1));
  dialogs_->answers = {1};  // "继续下载"
  ui::FrameWidgetOf(kMainWindowId)->close();
  QApplication::processEvents();
  ASSERT_EQ(dialogs_->questions.size(), 1u);
  EXPECT_EQ(ui::FromQString(dialogs_->questions[0]), kCloseQuestion);
  EXPECT_TRUE(ui::IsWindowLive(kMainWindowId));
  EXPECT_EQ(d->state(), State::kRunning);

  dialogs_->answers = {0};  // "停止并退出"
  const QString part = QFile::decodeName(d->partPath().c_str());
  ui::FrameWidgetOf(kMainWindowId)->close();
  EXPECT_EQ(d->state(), State::kPaused);
  QApplication::processEvents();
  EXPECT_FALSE(ui::IsWindowLive(kMainWindowId));
  QTest::qWait(50);
  EXPECT_TRUE(QFile::exists(part));
}

}  // namespace
}  // namespace app
