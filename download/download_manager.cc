#include "download/download_manager.h"

#include <algorithm>

#include "download/file_system.h"

namespace download {

DownloadManager::DownloadManager(FolderProbe caseBlind)
    : caseBlind_(caseBlind ? std::move(caseBlind) : FolderProbe(IsCaseBlindFolder)) {}

DownloadManager::~DownloadManager() {
  // The downloads go, each aborting its transfer; nothing schedules or reports then.
  destroying_ = true;
  scheduling_ = true;
  downloads_.clear();
}

std::string DownloadManager::TargetKey(const std::string& path) const {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  auto it = caseBlindFolders_.find(folder);
  if (it == caseBlindFolders_.end()) it = caseBlindFolders_.emplace(folder, caseBlind_(folder)).first;
  return folder + '/' + (it->second ? FoldNameCase(name) : name);
}

Download* DownloadManager::Add(DownloadOrder order, const std::string& path, bool replace) {
  std::string key = TargetKey(path);
  for (size_t i = 0; i < downloads_.size(); ++i) {
    if (keys_[i] == key) downloads_[i]->LoseTarget();
  }
  downloads_.push_back(std::make_unique<Download>(std::move(order), path, replace));
  keys_.push_back(std::move(key));
  Download* download = downloads_.back().get();
  const int index = count() - 1;
  download->SetOnChanged([this, index] { Changed(index); });
  for (auto& [id, l] : listeners_) {
    if (l.added) l.added(index);
  }
  Schedule();
  return download;
}

void DownloadManager::Changed(int index) {
  if (destroying_) return;
  for (auto& [id, l] : listeners_) {
    if (l.changed) l.changed(index);
  }
  Schedule();
}

int DownloadManager::indexOf(const Download* download) const {
  auto it =
      std::find_if(downloads_.begin(), downloads_.end(), [&](const auto& d) { return d.get() == download; });
  return it == downloads_.end() ? -1 : static_cast<int>(it - downloads_.begin());
}

int DownloadManager::runningCount() const {
  return static_cast<int>(
      std::count_if(downloads_.begin(), downloads_.end(), [](const auto& d) { return d->occupiesSlot(); }));
}

bool DownloadManager::HasUnfinished() const {
  return std::any_of(downloads_.begin(), downloads_.end(), [](const auto& d) {
    return d->state() == Download::State::kRunning || d->state() == Download::State::kWaiting;
  });
}

bool DownloadManager::IsTargetInUse(const std::string& path) const {
  const std::string key = TargetKey(path);
  for (size_t i = 0; i < downloads_.size(); ++i) {
    const std::string& k = keys_[i];
    // The suffix in either case: a case-blind folder's key has it folded as the system folds.
    const bool part = key.size() == k.size() + 5 && key.compare(0, k.size(), k) == 0 &&
                      std::equal(key.begin() + static_cast<std::ptrdiff_t>(k.size()), key.end(), ".part",
                                 [](char a, char b) { return (a | 0x20) == b || a == b; });
    if ((k == key || part) && downloads_[i]->holdsTarget()) return true;
  }
  return false;
}

void DownloadManager::StopAll() {
  // Waiting ones first, so that no slot freed by a pause starts them meanwhile.
  for (const auto& d : downloads_) {
    if (d->state() == Download::State::kWaiting) d->Pause();
  }
  for (const auto& d : downloads_) {
    if (d->state() == Download::State::kRunning) d->Pause();
  }
}

int DownloadManager::AddListener(Listener listener) {
  listeners_.emplace(nextListener_, std::move(listener));
  return nextListener_++;
}

void DownloadManager::RemoveListener(int id) { listeners_.erase(id); }

void DownloadManager::Schedule() {
  // A start reports a change, which lands here again: the outer call goes on with the list.
  if (scheduling_) return;
  scheduling_ = true;
  int running = runningCount();
  for (const auto& d : downloads_) {
    if (running >= kMaxRunning) break;
    if (d->state() == Download::State::kWaiting && !d->ending()) {
      d->Start();
      if (d->occupiesSlot()) ++running;
    }
  }
  scheduling_ = false;
}

}  // namespace download
