// The downloads window: one line per download of the manager's list with its file name, size,
// a progress bar, speed, time left and state (a failure with its reason), and per line the
// buttons pause/resume, cancel, retry, open the file and open its folder.
//
// The window only shows the list and passes the buttons on; closing it hides it, and the list
// stays with the manager. While downloads run, the lines are refreshed every kRefreshMs from
// the downloads' counters (read without waiting), so the window costs the event loop little.
//
// Ownership: a top-level window; its owner (the main window's WindowDownloads) deletes it.
// It keeps a guarded pointer to the manager and never outlives it in use.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOADS_WINDOW_H_
#define DOWNLOAD_DOWNLOADS_WINDOW_H_

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QProgressBar;
class QToolButton;
class QTreeWidget;

namespace download {

class DownloadManager;

class DownloadsWindow : public QWidget {
 public:
  enum Column {
    kNameColumn,
    kSizeColumn,
    kProgressColumn,
    kSpeedColumn,
    kTimeLeftColumn,
    kStateColumn,
    kActionColumn
  };
  enum class Action { kPauseResume, kCancel, kRetry, kOpenFile, kOpenFolder };
  static constexpr int kRefreshMs = 250;

  // `open` hands a local file or folder to the desktop's default application.
  DownloadsWindow(DownloadManager* manager, std::function<void(const QUrl&)> open, QWidget* parent = nullptr);
  ~DownloadsWindow() override;

  // For tests and the screenshot: the list, a line's button, bar and cell text.
  QTreeWidget* list() const { return list_; }
  QToolButton* button(int line, Action action) const;
  QProgressBar* progressBar(int line) const;
  QString cellText(int line, Column column) const;
  // Refreshes every line now (the timer does it while downloads run).
  void Refresh();

  // "1.5 MB", "812 KB", "17 B": sizes in units of 1024.
  static QString FormatSize(int64_t bytes);
  // "0:07", "12:30", "1:02:03"; "--" for a negative time.
  static QString FormatDuration(int64_t seconds);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  struct Line {
    QToolButton* buttons[5] = {};
    QProgressBar* bar = nullptr;
    // Recent (milliseconds since the window opened, bytes) samples of a running download.
    std::deque<std::pair<int64_t, int64_t>> samples;
  };
  void AddLine(int index);
  void RefreshLine(int index);
  void RunAction(int index, Action action);
  void UpdateTimer();

  QPointer<DownloadManager> manager_;
  std::function<void(const QUrl&)> open_;
  QTreeWidget* list_ = nullptr;
  std::vector<Line> lines_;
  QBasicTimer timer_;
  QElapsedTimer clock_;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOADS_WINDOW_H_
