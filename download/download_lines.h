// What the downloads window shows of each download and what its actions do, whatever system
// draws it: the cells' texts, the bar's value, the actions a state offers with their captions,
// and the speed and time left of the running lines, measured over the last few seconds.
//
// Texts are the program's code page (file names converted from the path bytes).
// Ownership: a DownloadLines belongs to one downloads window and reads the manager's list.
// REQUIRES: the manager outlives it; Added and Changed are passed on from the manager's
// listener. Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOAD_LINES_H_
#define DOWNLOAD_DOWNLOAD_LINES_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "download/download.h"
#include "download/downloads_window.h"

namespace download {

class DownloadManager;

class DownloadLines {
 public:
  using Action = DownloadsWindow::Action;
  using Column = DownloadsWindow::Column;

  explicit DownloadLines(DownloadManager* manager);

  int count() const { return static_cast<int>(lines_.size()); }
  // A new line at `index`; the line at `index` changed state (its speed is measured anew).
  void Added(int index);
  void Changed(int index);
  // Measures every running line; the lines that run, for their refresh.
  void Tick();
  const std::set<int>& running() const { return running_; }

  // The cell's text; the name's tool tip is the whole path. REQUIRES: 0 <= line < count().
  std::string Cell(int line, Column column, bool toolTip = false) const;
  int Progress(int line) const;
  Download::State StateOf(int line) const;

  // The actions a state offers, in order, their captions and whether they can be taken.
  static std::vector<Action> ActionsOf(Download::State state);
  static std::string CaptionOf(Action action, Download::State state);
  static bool EnabledIn(Action action, Download::State state);
  // Takes the action on the line's download: `open` for the file or folder, `confirm` for the
  // question before replacing (no question, no replacing).
  void Run(int line, Action action, const DownloadsWindow::OpenPath& open,
           const DownloadsWindow::Confirm& confirm) const;

 private:
  struct Line {
    // Recent (milliseconds since the lines were made, bytes) samples of a running download.
    std::deque<std::pair<int64_t, int64_t>> samples;
    std::string speed, left;
  };
  void Track(int index);
  void Measure(int index);

  DownloadManager* manager_;
  std::vector<Line> lines_;
  std::set<int> running_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_LINES_H_
