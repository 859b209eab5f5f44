#include "download/downloads_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QTimerEvent>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "download/download_manager.h"
#include "ui/qt_text.h"

namespace download {
using ui::ToQString;

namespace {

// Speed is measured over the last few seconds, so that it neither jumps with each piece nor
// lags far behind a change.
constexpr int64_t kSpeedWindowMs = 3000;

QString Text(const char* gbk) { return ToQString(gbk); }

QString StateText(const Download& d) {
  switch (d.state()) {
    case Download::State::kWaiting:
      return Text("等待中");
    case Download::State::kRunning:
      return Text("下载中");
    case Download::State::kPaused:
      return Text("已暂停");
    case Download::State::kDone:
      return Text("已完成");
    case Download::State::kFailed:
      return Text("失败：") + d.reason();
    case Download::State::kCancelled:
      return Text("已取消");
  }
  return QString();
}

}  // namespace

QString DownloadsWindow::FormatSize(int64_t bytes) {
  if (bytes < 1024) return QString::number(bytes) + QStringLiteral(" B");
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  return QString::number(value, 'f', value < 10 ? 1 : 0) + QChar(' ') + QString::fromLatin1(units[unit]);
}

QString DownloadsWindow::FormatDuration(int64_t seconds) {
  if (seconds < 0) return QStringLiteral("--");
  const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  auto two = [](int64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QChar('0')); };
  if (h > 0) return QString::number(h) + QChar(':') + two(m) + QChar(':') + two(s);
  return QString::number(m) + QChar(':') + two(s);
}

DownloadsWindow::DownloadsWindow(DownloadManager* manager, std::function<void(const QUrl&)> open,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), manager_(manager), open_(std::move(open)) {
  setWindowTitle(Text("下载列表"));
  resize(1280, 320);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setHeaderLabels({Text("文件名"), Text("大小"), Text("进度"), Text("速度"), Text("剩余时间"),
                          Text("状态"), Text("操作")});
  list_->setColumnWidth(kNameColumn, 280);
  list_->setColumnWidth(kSizeColumn, 140);
  list_->setColumnWidth(kProgressColumn, 110);
  list_->setColumnWidth(kSpeedColumn, 80);
  list_->setColumnWidth(kTimeLeftColumn, 70);
  list_->setColumnWidth(kStateColumn, 300);
  list_->header()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(list_);
  clock_.start();
  if (manager_) {
    for (int i = 0; i < manager_->count(); ++i) AddLine(i);
    connect(manager_, &DownloadManager::added, this, [this](int index) {
      AddLine(index);
      UpdateTimer();
    });
    connect(manager_, &DownloadManager::changed, this, [this](int index) {
      RefreshLine(index);
      UpdateTimer();
    });
  }
  UpdateTimer();
}

DownloadsWindow::~DownloadsWindow() = default;

void DownloadsWindow::AddLine(int index) {
  auto* item = new QTreeWidgetItem();  // owned by the list once added
  list_->addTopLevelItem(item);
  Line line;
  line.bar = new QProgressBar();
  line.bar->setRange(0, 1000);
  line.bar->setTextVisible(true);
  list_->setItemWidget(item, kProgressColumn, line.bar);
  auto* actions = new QWidget();
  auto* row = new QHBoxLayout(actions);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  const char* captions[] = {"暂停", "取消", "重试", "打开文件", "打开文件夹"};
  const char* names[] = {"pause", "cancel", "retry", "openFile", "openFolder"};
  for (int a = 0; a < 5; ++a) {
    auto* b = new QToolButton(actions);
    b->setText(Text(captions[a]));
    b->setObjectName(QString::fromLatin1(names[a]));
    b->setAutoRaise(false);
    row->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, index, a] { RunAction(index, static_cast<Action>(a)); });
    line.buttons[a] = b;
  }
  row->addStretch(1);
  list_->setItemWidget(item, kActionColumn, actions);
  // The buttons keep their captions whole.
  list_->setColumnWidth(kActionColumn,
                        std::max(list_->columnWidth(kActionColumn), actions->sizeHint().width()));
  if (static_cast<size_t>(index) >= lines_.size()) lines_.resize(static_cast<size_t>(index) + 1);
  lines_[static_cast<size_t>(index)] = std::move(line);
  RefreshLine(index);
}

void DownloadsWindow::RunAction(int index, Action action) {
  if (!manager_ || index < 0 || index >= manager_->count()) return;
  Download* d = manager_->at(index);
  switch (action) {
    case Action::kPauseResume:
      if (d->state() == Download::State::kPaused) {
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
      if (open_) open_(QUrl::fromLocalFile(d->path()));
      break;
    case Action::kOpenFolder:
      if (open_) open_(QUrl::fromLocalFile(d->folder()));
      break;
  }
}

void DownloadsWindow::RefreshLine(int index) {
  if (!manager_ || index < 0 || index >= manager_->count() || static_cast<size_t>(index) >= lines_.size())
    return;
  const Download& d = *manager_->at(index);
  QTreeWidgetItem* item = list_->topLevelItem(index);
  Line& line = lines_[static_cast<size_t>(index)];
  const int64_t done = d.bytesDone();
  const int64_t total = d.totalBytes();
  const bool running = d.state() == Download::State::kRunning;

  item->setText(kNameColumn, d.fileName());
  item->setToolTip(kNameColumn, d.path());
  item->setText(kSizeColumn,
                total >= 0 ? FormatSize(done) + QStringLiteral(" / ") + FormatSize(total) : FormatSize(done));
  int permille = 0;
  if (total > 0) {
    permille = static_cast<int>(std::min<int64_t>(1000, done * 1000 / total));
  } else if (d.state() == Download::State::kDone) {
    permille = 1000;  // an empty file, or one without a length
  }
  line.bar->setValue(permille);

  // Speed over the recent samples; only a running download has one.
  QString speed, left;
  if (running) {
    const int64_t now = clock_.elapsed();
    line.samples.emplace_back(now, done);
    while (line.samples.size() > 2 && now - line.samples.front().first > kSpeedWindowMs)
      line.samples.pop_front();
    const auto& [t0, b0] = line.samples.front();
    if (now - t0 >= 200 && done >= b0) {
      const double bytesPerSecond = static_cast<double>(done - b0) * 1000.0 / static_cast<double>(now - t0);
      speed = FormatSize(static_cast<int64_t>(bytesPerSecond)) + QStringLiteral("/s");
      left =
          total >= 0 && bytesPerSecond > 0
              ? FormatDuration(static_cast<int64_t>(static_cast<double>(total - done) / bytesPerSecond + 0.5))
              : FormatDuration(-1);
    }
  } else {
    line.samples.clear();
  }
  item->setText(kSpeedColumn, speed);
  item->setText(kTimeLeftColumn, left);
  item->setText(kStateColumn, StateText(d));
  item->setToolTip(kStateColumn, StateText(d));

  const Download::State s = d.state();
  QToolButton* pause = line.buttons[static_cast<int>(Action::kPauseResume)];
  pause->setText(s == Download::State::kPaused ? Text("继续") : Text("暂停"));
  pause->setEnabled(s == Download::State::kRunning || s == Download::State::kWaiting ||
                    s == Download::State::kPaused);
  line.buttons[static_cast<int>(Action::kCancel)]->setEnabled(s != Download::State::kDone &&
                                                              s != Download::State::kCancelled);
  line.buttons[static_cast<int>(Action::kRetry)]->setEnabled(s == Download::State::kFailed ||
                                                             s == Download::State::kCancelled);
  line.buttons[static_cast<int>(Action::kOpenFile)]->setEnabled(s == Download::State::kDone);
}

void DownloadsWindow::Refresh() {
  if (!manager_) return;
  for (int i = 0; i < manager_->count(); ++i) RefreshLine(i);
}

void DownloadsWindow::UpdateTimer() {
  bool anyRunning = false;
  if (manager_) {
    for (int i = 0; i < manager_->count(); ++i)
      anyRunning |= manager_->at(i)->state() == Download::State::kRunning;
  }
  if (anyRunning && !timer_.isActive()) timer_.start(kRefreshMs, this);
  if (!anyRunning) timer_.stop();
}

void DownloadsWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  if (!manager_) return;
  for (int i = 0; i < manager_->count(); ++i) {
    if (manager_->at(i)->state() == Download::State::kRunning) RefreshLine(i);
  }
  UpdateTimer();
}

QToolButton* DownloadsWindow::button(int line, Action action) const {
  if (line < 0 || static_cast<size_t>(line) >= lines_.size()) return nullptr;
  return lines_[static_cast<size_t>(line)].buttons[static_cast<int>(action)];
}

QProgressBar* DownloadsWindow::progressBar(int line) const {
  if (line < 0 || static_cast<size_t>(line) >= lines_.size()) return nullptr;
  return lines_[static_cast<size_t>(line)].bar;
}

QString DownloadsWindow::cellText(int line, Column column) const {
  QTreeWidgetItem* item = list_->topLevelItem(line);
  return item ? item->text(column) : QString();
}

}  // namespace download
