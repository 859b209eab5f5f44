// The downloads window: one line per download of the manager's list with its file name, size,
// a progress bar, speed, time left and state (a failure with its reason), and per line the
// actions its state allows: pause/resume, cancel, retry, open the file, open its folder; for a
// part file found from before, continue it or start over; for a complete file that was not
// put over an existing one, replace it (after a question) or open the folder.
//
// The window only shows the list and passes the actions on; closing it hides it, and the list
// stays with the manager. While downloads run, their lines (only theirs) are refreshed every
// kRefreshMs from the downloads' counters (read without waiting), so the window costs the
// event loop little. What a line says and what its actions do is shared by the backends
// (download/download_lines.h); each system draws it its own way (download/qt/, download/win/).
//
// Texts are the program's code page; paths the file system's bytes (download/file_system.h).
// Ownership: made by MakeDownloadsWindow and owned by the caller (a program window's
// WindowDownloads). It listens to the manager while it lives. REQUIRES: the manager outlives it.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOADS_WINDOW_H_
#define DOWNLOAD_DOWNLOADS_WINDOW_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace download {

class DownloadManager;

class DownloadsWindow {
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
  // Hands a local file or folder (path bytes) to the desktop's default application.
  using OpenPath = std::function<void(const std::string& path)>;
  // Asks the user a question (program text); whether they agreed. Null: they did not.
  using Confirm = std::function<bool(const std::string& question)>;

  virtual ~DownloadsWindow() = default;

  // Shows the window and brings it to the front.
  virtual void Show() = 0;
  virtual bool isVisible() const = 0;

  // For tests, the benchmark and the screenshot: the lines, their cells, bars and actions.
  virtual int lineCount() const = 0;
  virtual std::string cellText(int line, Column column) const = 0;
  // The bar's value, 0 to 1000.
  virtual int progress(int line) const = 0;
  // The actions the line offers now, their captions and whether they can be taken.
  virtual std::vector<Action> actions(int line) const = 0;
  virtual std::string actionCaption(int line, Action action) const = 0;
  virtual bool actionEnabled(int line, Action action) const = 0;
  // Refreshes every line now (the timer refreshes the running ones).
  virtual void Refresh() = 0;
  // One refresh tick: the running lines' counters, speeds and times.
  virtual void Tick() = 0;

  // "1.5 MB", "812 KB", "17 B": sizes in units of 1024.
  static std::string FormatSize(int64_t bytes);
  // "0:07", "12:30", "1:02:03"; "--" for a negative time.
  static std::string FormatDuration(int64_t seconds);
};

// The system's downloads window over `manager`, owned by program window `ownerWindowId` (it
// stays above it and ends with it; 0: none), hidden until shown.
std::unique_ptr<DownloadsWindow> MakeDownloadsWindow(DownloadManager* manager, DownloadsWindow::OpenPath open,
                                                     DownloadsWindow::Confirm confirm, int32_t ownerWindowId);

}  // namespace download

#endif  // DOWNLOAD_DOWNLOADS_WINDOW_H_
