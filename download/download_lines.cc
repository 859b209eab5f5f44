#include "download/download_lines.h"

#include <algorithm>
#include <cstdio>

#include "download/download_manager.h"
#include "platform/codepage.h"

namespace download {

using Action = DownloadsWindow::Action;
using State = Download::State;

namespace {

// Speed is measured over the last few seconds, so that it neither jumps with each piece nor
// lags far behind a change.
constexpr int64_t kSpeedWindowMs = 3000;

std::string StateText(const Download& d) {
  switch (d.state()) {
    case State::kWaiting:
      return "等待中";
    case State::kRunning:
      return "下载中";
    case State::kPaused:
      return "已暂停";
    case State::kDone:
      return "已完成";
    case State::kFailed:
      return "失败：" + d.reason();
    case State::kCancelled:
      return "已取消";
    case State::kNotReplaced:
      return "未覆盖：" + d.reason();
    case State::kPartFound:
      return "待确认：" + d.reason();
  }
  return std::string();
}

}  // namespace

std::string DownloadsWindow::FormatSize(int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
  return text;
}

std::string DownloadsWindow::FormatDuration(int64_t seconds) {
  if (seconds < 0) return "--";
  const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  char text[32];
  if (h > 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
  }
  return text;
}

DownloadLines::DownloadLines(DownloadManager* manager) : manager_(manager) {
  lines_.resize(static_cast<size_t>(manager_->count()));
  for (int i = 0; i < manager_->count(); ++i) Track(i);
}

void DownloadLines::Added(int index) {
  lines_.resize(static_cast<size_t>(index) + 1);
  Track(index);
}

void DownloadLines::Changed(int index) {
  Track(index);
  Measure(index);
}

void DownloadLines::Tick() {
  for (int index : running_) Measure(index);
}

std::string DownloadLines::Cell(int line, Column column, bool toolTip) const {
  const Download& d = *manager_->at(line);
  const Line& l = lines_[static_cast<size_t>(line)];
  switch (column) {
    case DownloadsWindow::kNameColumn:
      return platform::Utf8ToGbk(toolTip ? d.path() : d.fileName());
    case DownloadsWindow::kSizeColumn: {
      const int64_t total = d.totalBytes();
      const std::string done = DownloadsWindow::FormatSize(d.bytesDone());
      return total >= 0 ? done + " / " + DownloadsWindow::FormatSize(total) : done;
    }
    case DownloadsWindow::kProgressColumn:
      return toolTip ? std::string() : std::to_string(Progress(line) / 10) + "%";
    case DownloadsWindow::kSpeedColumn:
      return l.speed;
    case DownloadsWindow::kTimeLeftColumn:
      return l.left;
    case DownloadsWindow::kStateColumn:
      return StateText(d);
    default:
      return std::string();
  }
}

int DownloadLines::Progress(int line) const {
  const Download& d = *manager_->at(line);
  const int64_t done = d.bytesDone(), total = d.totalBytes();
  if (total > 0) return static_cast<int>(std::min<int64_t>(1000, done * 1000 / total));
  return d.state() == State::kDone ? 1000 : 0;  // an empty file, or one without a length
}

State DownloadLines::StateOf(int line) const { return manager_->at(line)->state(); }

std::vector<Action> DownloadLines::ActionsOf(State s) {
  switch (s) {
    case State::kPartFound:
      return {Action::kContinuePart, Action::kStartOver, Action::kCancel, Action::kOpenFolder};
    case State::kNotReplaced:
      return {Action::kReplace, Action::kOpenFolder};
    default:
      return {Action::kPauseResume, Action::kCancel, Action::kRetry, Action::kOpenFile, Action::kOpenFolder};
  }
}

std::string DownloadLines::CaptionOf(Action a, State s) {
  switch (a) {
    case Action::kPauseResume:
      return s == State::kPaused ? "继续" : "暂停";
    case Action::kCancel:
      return "取消";
    case Action::kRetry:
      return "重试";
    case Action::kOpenFile:
      return "打开文件";
    case Action::kOpenFolder:
      return "打开文件夹";
    case Action::kContinuePart:
      return "继续下载";
    case Action::kStartOver:
      return "重新下载";
    case Action::kReplace:
      return "替换";
  }
  return std::string();
}

bool DownloadLines::EnabledIn(Action a, State s) {
  switch (a) {
    case Action::kPauseResume:
      return s == State::kRunning || s == State::kWaiting || s == State::kPaused;
    case Action::kCancel:
      return s != State::kDone && s != State::kCancelled && s != State::kNotReplaced;
    case Action::kRetry:
      return s == State::kFailed || s == State::kCancelled;
    case Action::kOpenFile:
      return s == State::kDone;
    case Action::kOpenFolder:
      return true;
    case Action::kContinuePart:
    case Action::kStartOver:
      return s == State::kPartFound;
    case Action::kReplace:
      return s == State::kNotReplaced;
  }
  return false;
}

void DownloadLines::Run(int line, Action action, const DownloadsWindow::OpenPath& open,
                        const DownloadsWindow::Confirm& confirm) const {
  if (line < 0 || line >= manager_->count()) return;
  Download* d = manager_->at(line);
  if (!EnabledIn(action, d->state())) return;
  switch (action) {
    case Action::kPauseResume:
      if (d->state() == State::kPaused) {
        d->Resume();
      } else {
        d->Pause();
      }
      break;
    case Action::kCancel:
      d->Cancel();
      break;
    case Action::kRetry:
      d->Retry();
      break;
    case Action::kOpenFile:
      if (open) open(d->path());
      break;
    case Action::kOpenFolder:
      if (open) open(d->folder());
      break;
    case Action::kContinuePart:
      d->ContinueFoundPart();
      break;
    case Action::kStartOver:
      d->StartOverFoundPart();
      break;
    case Action::kReplace: {
      const std::string question = "用下载的文件替换已有的“" + platform::Utf8ToGbk(d->fileName()) + "”吗？";
      if (confirm && confirm(question)) d->ReplaceNow();
      break;
    }
  }
}

void DownloadLines::Track(int index) {
  if (manager_->at(index)->state() == State::kRunning) {
    running_.insert(index);
  } else {
    running_.erase(index);
  }
}

void DownloadLines::Measure(int index) {
  const Download& d = *manager_->at(index);
  Line& line = lines_[static_cast<size_t>(index)];
  if (d.state() != State::kRunning) {
    line.samples.clear();
    line.speed.clear();
    line.left.clear();
    return;
  }
  const int64_t now =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
          .count();
  const int64_t done = d.bytesDone(), total = d.totalBytes();
  line.samples.emplace_back(now, done);
  while (line.samples.size() > 2 && now - line.samples.front().first > kSpeedWindowMs)
    line.samples.pop_front();
  const auto& [t0, b0] = line.samples.front();
  if (now - t0 >= 200 && done >= b0) {
    const double bytesPerSecond = static_cast<double>(done - b0) * 1000.0 / static_cast<double>(now - t0);
    line.speed = DownloadsWindow::FormatSize(static_cast<int64_t>(bytesPerSecond)) + "/s";
    line.left = total >= 0 && bytesPerSecond > 0
                    ? DownloadsWindow::FormatDuration(
                          static_cast<int64_t>(static_cast<double>(total - done) / bytesPerSecond + 0.5))
                    : DownloadsWindow::FormatDuration(-1);
  }
}

}  // namespace download
