// The downloads window: one line per download of the manager's list with its file name, size,
// a progress bar, speed, time left and state (a failure with its reason), and per line the
// buttons its state allows: pause/resume, cancel, retry, open the file, open its folder; for a
// part file found from before, continue it or start over; for a complete file that was not
// put over an existing one, replace it (after a question) or open the folder.
//
// The lines are a model over the manager's list and a delegate that paints the bar and the
// buttons: no widget per line, so adding hundreds of lines costs little. The window only shows
// the list and passes the buttons on; closing it hides it, and the list stays with the manager.
// While downloads run, their lines (only theirs) are refreshed every kRefreshMs from the
// downloads' counters (read without waiting), so the window costs the event loop little.
//
// Ownership: a top-level window; its owner (the main window's WindowDownloads) deletes it.
// It listens to the manager while it lives. REQUIRES: the manager outlives it.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOADS_WINDOW_H_
#define DOWNLOAD_DOWNLOADS_WINDOW_H_

#include <QBasicTimer>
#include <QRect>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTreeView;

namespace download {

class DownloadManager;
class DownloadListModel;

class DownloadsWindow : public QWidget {
 public:
  enum Column {
    kNameColumn,
    kSizeColumn,
    kProgressColumn,
    kSpeedColumn,
    kTimeLeftColumn,
    kStateColumn,
    kActionColumn,
    kColumnCount
  };
  enum class Action {
    kPauseResume,
    kCancel,
    kRetry,
    kOpenFile,
    kOpenFolder,
    kContinuePart,
    kStartOver,
    kReplace
  };
  static constexpr int kRefreshMs = 250;

  // `open` hands a local file or folder to the desktop's default application; `confirm` asks
  // the user a question (program text) and says whether they agreed (null: they did not).
  DownloadsWindow(DownloadManager* manager, std::function<void(const QUrl&)> open,
                  std::function<bool(const QString&)> confirm = {}, QWidget* parent = nullptr);
  ~DownloadsWindow() override;

  // For tests, the benchmark and the screenshot: the list, a line's cells, bar and buttons.
  QTreeView* list() const { return list_; }
  int lineCount() const;
  QString cellText(int line, Column column) const;
  // The bar's value, 0 to 1000.
  int progress(int line) const;
  // The buttons the line shows now, their captions and whether they can be pressed.
  std::vector<Action> actions(int line) const;
  QString actionCaption(int line, Action action) const;
  bool actionEnabled(int line, Action action) const;
  // Where the button is drawn, in the list's viewport; empty when the line does not show it.
  QRect actionRect(int line, Action action) const;
  // Refreshes every line now (the timer refreshes the running ones).
  void Refresh();
  // One refresh tick: the running lines' counters, speeds and times.
  void Tick();

  // "1.5 MB", "812 KB", "17 B": sizes in units of 1024.
  static QString FormatSize(int64_t bytes);
  // "0:07", "12:30", "1:02:03"; "--" for a negative time.
  static QString FormatDuration(int64_t seconds);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  friend class ActionDelegate;
  void RunAction(int line, Action action);
  void UpdateTimer();

  DownloadManager* manager_;
  std::function<void(const QUrl&)> open_;
  std::function<bool(const QString&)> confirm_;
  std::unique_ptr<DownloadListModel> model_;
  QTreeView* list_ = nullptr;
  int listener_ = -1;
  QBasicTimer timer_;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOADS_WINDOW_H_
