// The list of downloads of a run and its queue: downloads are kept in the order they were
// added, at most kMaxRunning hold a transfer at once, and the first waiting ones start as soon
// as a slot is free. A target belongs to at most one download at a time: targets are compared
// as their folder's file system compares names (without regard to case where it does), and a
// download added for a target takes it from a done or cancelled one, which can then no longer
// be retried.
//
// Ownership: the manager owns its downloads; the list lasts as long as the manager, which lives
// as long as the main window, not the downloads window.
// Thread contract: GUI thread only. Listeners are called on it, after the change.
#ifndef DOWNLOAD_DOWNLOAD_MANAGER_H_
#define DOWNLOAD_DOWNLOAD_MANAGER_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "download/download.h"

namespace download {

class DownloadManager {
 public:
  static constexpr int kMaxRunning = 3;
  // Whether a folder compares names without regard to case (IsCaseBlindFolder unless replaced).
  using FolderProbe = std::function<bool(const std::string& folder)>;
  // What a listener hears: a line added at `index`, or the line at `index` changed.
  struct Listener {
    std::function<void(int index)> added;
    std::function<void(int index)> changed;
  };

  explicit DownloadManager(FolderProbe caseBlind = {});
  ~DownloadManager();
  DownloadManager(const DownloadManager&) = delete;
  DownloadManager& operator=(const DownloadManager&) = delete;

  // Appends a download of `order` to `path` (see Download) and starts it when a slot is free.
  // REQUIRES: !IsTargetInUse(path) (the caller asks first).
  Download* Add(DownloadOrder order, const std::string& path, bool replace);
  int count() const { return static_cast<int>(downloads_.size()); }
  Download* at(int index) const { return downloads_.at(static_cast<size_t>(index)).get(); }
  int indexOf(const Download* download) const;
  // Downloads that hold a transfer slot now.
  int runningCount() const;
  // Whether any download is running or waiting.
  bool HasUnfinished() const;
  // Whether a download of the list holds `path` as its NAME or its part file (see
  // Download::holdsTarget).
  bool IsTargetInUse(const std::string& path) const;
  // A path as its folder's file system tells names apart: the folder as it is and the name
  // folded (FoldNameCase) where the folder compares names without regard to case. Two paths of
  // one key name one file.
  std::string TargetKey(const std::string& path) const;
  // Pauses every running and waiting download; their part files stay for a retry.
  void StopAll();

  // Returns an id for RemoveListener.
  int AddListener(Listener listener);
  void RemoveListener(int id);

 private:
  void Changed(int index);
  // Starts waiting downloads, first come first served, while slots are free.
  void Schedule();

  FolderProbe caseBlind_;
  mutable std::map<std::string, bool> caseBlindFolders_;  // probed once per folder and run
  std::vector<std::unique_ptr<Download>> downloads_;
  std::vector<std::string> keys_;  // each download's TargetKey
  std::map<int, Listener> listeners_;
  int nextListener_ = 0;
  bool scheduling_ = false;
  bool destroying_ = false;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_MANAGER_H_
