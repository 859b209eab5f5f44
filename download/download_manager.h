// The list of downloads of a run and its queue: downloads are kept in the order they were
// added, at most kMaxRunning hold a transfer at once, and the first waiting ones start as soon
// as a slot is free.
//
// Ownership: the manager owns its downloads (QObject children); the list lasts as long as the
// manager, which lives as long as the main window, not the downloads window.
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOAD_MANAGER_H_
#define DOWNLOAD_DOWNLOAD_MANAGER_H_

#include <QObject>
#include <QString>
#include <vector>

#include "download/download.h"

namespace download {

class DownloadManager : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxRunning = 3;

  explicit DownloadManager(QObject* parent = nullptr);
  ~DownloadManager() override;

  // Appends a download of `order` to `path` (see Download) and starts it when a slot is free.
  Download* Add(DownloadOrder order, const QString& path, bool replace);
  int count() const { return static_cast<int>(downloads_.size()); }
  Download* at(int index) const { return downloads_.at(static_cast<size_t>(index)); }
  int indexOf(const Download* download) const;
  // Downloads that hold a transfer slot now.
  int runningCount() const;
  // Whether any download is running or waiting.
  bool HasUnfinished() const;
  // Whether a download of the list that is not done or cancelled writes to `path` (its NAME
  // or its part file).
  bool IsTargetInUse(const QString& path) const;
  // Pauses every running and waiting download; their part files stay for a retry.
  void StopAll();

 signals:
  void added(int index);
  void changed(int index);

 private:
  // Starts waiting downloads, first come first served, while slots are free.
  void Schedule();

  std::vector<Download*> downloads_;
  bool scheduling_ = false;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_MANAGER_H_
