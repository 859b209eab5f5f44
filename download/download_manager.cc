#include "download/download_manager.h"

#include <algorithm>

namespace download {

DownloadManager::DownloadManager(QObject* parent) : QObject(parent) {}

DownloadManager::~DownloadManager() {
  // The downloads go first (as children), each aborting its transfer; nothing schedules then.
  scheduling_ = true;
  for (Download* d : downloads_) disconnect(d, nullptr, this, nullptr);
}

Download* DownloadManager::Add(DownloadOrder order, const QString& path, bool replace) {
  auto* download = new Download(std::move(order), path, replace, this);  // a child of the manager
  downloads_.push_back(download);
  connect(download, &Download::changed, this, [this, download] {
    emit changed(indexOf(download));
    Schedule();
  });
  emit added(count() - 1);
  Schedule();
  return download;
}

int DownloadManager::indexOf(const Download* download) const {
  auto it = std::find(downloads_.begin(), downloads_.end(), download);
  return it == downloads_.end() ? -1 : static_cast<int>(it - downloads_.begin());
}

int DownloadManager::runningCount() const {
  return static_cast<int>(std::count_if(downloads_.begin(), downloads_.end(),
                                        [](const Download* d) { return d->occupiesSlot(); }));
}

bool DownloadManager::HasUnfinished() const {
  return std::any_of(downloads_.begin(), downloads_.end(), [](const Download* d) {
    return d->state() == Download::State::kRunning || d->state() == Download::State::kWaiting;
  });
}

bool DownloadManager::IsTargetInUse(const QString& path) const {
  return std::any_of(downloads_.begin(), downloads_.end(), [&](const Download* d) {
    if (d->state() == Download::State::kDone || d->state() == Download::State::kCancelled) return false;
    return d->path() == path || d->partPath() == path;
  });
}

void DownloadManager::StopAll() {
  // Waiting ones first, so that no slot freed by a pause starts them meanwhile.
  for (Download* d : downloads_) {
    if (d->state() == Download::State::kWaiting) d->Pause();
  }
  for (Download* d : downloads_) {
    if (d->state() == Download::State::kRunning) d->Pause();
  }
}

void DownloadManager::Schedule() {
  // A start reports a change, which lands here again: the outer call goes on with the list.
  if (scheduling_) return;
  scheduling_ = true;
  for (Download* d : downloads_) {
    if (runningCount() >= kMaxRunning) break;
    if (d->state() == Download::State::kWaiting && !d->ending()) d->Start();
  }
  scheduling_ = false;
}

}  // namespace download
