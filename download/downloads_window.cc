#include "download/downloads_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimerEvent>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <deque>
#include <set>

#include "download/download_manager.h"
#include "ui/qt/qt_text.h"

namespace download {

using ui::ToQString;
using Action = DownloadsWindow::Action;
using State = Download::State;

namespace {

// Speed is measured over the last few seconds, so that it neither jumps with each piece nor
// lags far behind a change.
constexpr int64_t kSpeedWindowMs = 3000;
constexpr int kButtonGap = 2;

QString Text(const char* gbk) { return ToQString(gbk); }
QString FromNative(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString StateText(const Download& d) {
  switch (d.state()) {
    case State::kWaiting:
      return Text("等待中");
    case State::kRunning:
      return Text("下载中");
    case State::kPaused:
      return Text("已暂停");
    case State::kDone:
      return Text("已完成");
    case State::kFailed:
      return Text("失败：") + ToQString(d.reason());
    case State::kCancelled:
      return Text("已取消");
    case State::kNotReplaced:
      return Text("未覆盖：") + ToQString(d.reason());
    case State::kPartFound:
      return Text("待确认：") + ToQString(d.reason());
  }
  return QString();
}

// The buttons a state shows, in order.
std::vector<Action> ActionsOf(State s) {
  switch (s) {
    case State::kPartFound:
      return {Action::kContinuePart, Action::kStartOver, Action::kCancel, Action::kOpenFolder};
    case State::kNotReplaced:
      return {Action::kReplace, Action::kOpenFolder};
    default:
      return {Action::kPauseResume, Action::kCancel, Action::kRetry, Action::kOpenFile, Action::kOpenFolder};
  }
}

QString CaptionOf(Action a, State s) {
  switch (a) {
    case Action::kPauseResume:
      return s == State::kPaused ? Text("继续") : Text("暂停");
    case Action::kCancel:
      return Text("取消");
    case Action::kRetry:
      return Text("重试");
    case Action::kOpenFile:
      return Text("打开文件");
    case Action::kOpenFolder:
      return Text("打开文件夹");
    case Action::kContinuePart:
      return Text("继续下载");
    case Action::kStartOver:
      return Text("重新下载");
    case Action::kReplace:
      return Text("替换");
  }
  return QString();
}

bool EnabledIn(Action a, State s) {
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

// The buttons of a state laid out from the left of `cell`, each as wide as its caption.
std::vector<std::pair<Action, QRect>> LayOut(State s, const QRect& cell, const QFontMetrics& metrics) {
  std::vector<std::pair<Action, QRect>> out;
  int x = cell.left() + kButtonGap;
  for (Action a : ActionsOf(s)) {
    const int w = metrics.horizontalAdvance(CaptionOf(a, s)) + 16;
    out.emplace_back(a, QRect(x, cell.top() + 1, w, cell.height() - 2));
    x += w + kButtonGap;
  }
  return out;
}

}  // namespace

// The manager's list as rows; the speed and time left of running lines are kept per line.
class DownloadListModel : public QAbstractTableModel {
 public:
  explicit DownloadListModel(DownloadManager* manager) : manager_(manager) {
    lines_.resize(static_cast<size_t>(manager_->count()));
    for (int i = 0; i < manager_->count(); ++i) Track(i);
    clock_.start();
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : DownloadsWindow::kColumnCount;
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kTitles[] = {"文件名", "大小", "进度", "速度", "剩余时间", "状态", "操作"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= DownloadsWindow::kColumnCount)
      return QVariant();
    return Text(kTitles[section]);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= static_cast<int>(lines_.size())) return QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
    return Cell(index.row(), index.column(), role == Qt::ToolTipRole);
  }

  QString Cell(int row, int column, bool toolTip = false) const {
    const Download& d = *manager_->at(row);
    const Line& line = lines_[static_cast<size_t>(row)];
    switch (column) {
      case DownloadsWindow::kNameColumn:
        return FromNative(toolTip ? d.path() : d.fileName());
      case DownloadsWindow::kSizeColumn: {
        const int64_t total = d.totalBytes();
        const QString done = DownloadsWindow::FormatSize(d.bytesDone());
        return total >= 0 ? done + QStringLiteral(" / ") + DownloadsWindow::FormatSize(total) : done;
      }
      case DownloadsWindow::kProgressColumn:
        return toolTip ? QString() : QString::number(Progress(row) / 10) + QChar('%');
      case DownloadsWindow::kSpeedColumn:
        return line.speed;
      case DownloadsWindow::kTimeLeftColumn:
        return line.left;
      case DownloadsWindow::kStateColumn:
        return StateText(d);
      default:
        return QString();
    }
  }
  int Progress(int row) const {
    const Download& d = *manager_->at(row);
    const int64_t done = d.bytesDone(), total = d.totalBytes();
    if (total > 0) return static_cast<int>(std::min<int64_t>(1000, done * 1000 / total));
    return d.state() == State::kDone ? 1000 : 0;  // an empty file, or one without a length
  }
  State StateOf(int row) const { return manager_->at(row)->state(); }

  void Added(int index) {
    beginInsertRows(QModelIndex(), index, index);
    lines_.resize(static_cast<size_t>(index) + 1);
    endInsertRows();
    Track(index);
  }
  // A line's state changed: all of it is shown anew.
  void Changed(int index) {
    Track(index);
    Measure(index);
    emit dataChanged(this->index(index, 0), this->index(index, DownloadsWindow::kColumnCount - 1));
  }
  // The running lines' counters moved.
  void Tick() {
    for (int index : running_) {
      Measure(index);
      emit dataChanged(this->index(index, DownloadsWindow::kSizeColumn),
                       this->index(index, DownloadsWindow::kTimeLeftColumn));
    }
  }
  bool anyRunning() const { return !running_.empty(); }

 private:
  struct Line {
    // Recent (milliseconds since the window opened, bytes) samples of a running download.
    std::deque<std::pair<int64_t, int64_t>> samples;
    QString speed, left;
  };
  void Track(int index) {
    if (manager_->at(index)->state() == State::kRunning) {
      running_.insert(index);
    } else {
      running_.erase(index);
    }
  }
  // Speed over the recent samples; only a running download has one.
  void Measure(int index) {
    const Download& d = *manager_->at(index);
    Line& line = lines_[static_cast<size_t>(index)];
    if (d.state() != State::kRunning) {
      line.samples.clear();
      line.speed.clear();
      line.left.clear();
      return;
    }
    const int64_t now = clock_.elapsed(), done = d.bytesDone(), total = d.totalBytes();
    line.samples.emplace_back(now, done);
    while (line.samples.size() > 2 && now - line.samples.front().first > kSpeedWindowMs)
      line.samples.pop_front();
    const auto& [t0, b0] = line.samples.front();
    if (now - t0 >= 200 && done >= b0) {
      const double bytesPerSecond = static_cast<double>(done - b0) * 1000.0 / static_cast<double>(now - t0);
      line.speed = DownloadsWindow::FormatSize(static_cast<int64_t>(bytesPerSecond)) + QStringLiteral("/s");
      line.left = total >= 0 && bytesPerSecond > 0
                      ? DownloadsWindow::FormatDuration(
                            static_cast<int64_t>(static_cast<double>(total - done) / bytesPerSecond + 0.5))
                      : DownloadsWindow::FormatDuration(-1);
    }
  }

  DownloadManager* manager_;
  std::vector<Line> lines_;
  std::set<int> running_;
  QElapsedTimer clock_;
};

// Paints the bar and the buttons, and turns a click on a button into its action.
class ActionDelegate : public QStyledItemDelegate {
 public:
  ActionDelegate(DownloadsWindow* window, DownloadListModel* model)
      : QStyledItemDelegate(window), window_(window), model_(model) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    if (index.column() == DownloadsWindow::kProgressColumn) {
      QStyleOptionProgressBar bar;
      bar.rect = option.rect.adjusted(2, 2, -2, -2);
      bar.minimum = 0;
      bar.maximum = 1000;
      bar.progress = model_->Progress(index.row());
      bar.text = model_->Cell(index.row(), index.column());
      bar.textVisible = true;
      bar.state = option.state | QStyle::State_Horizontal;
      style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
      return;
    }
    if (index.column() == DownloadsWindow::kActionColumn) {
      const State s = model_->StateOf(index.row());
      for (const auto& [action, rect] : LayOut(s, option.rect, option.fontMetrics)) {
        QStyleOptionButton button;
        const bool enabled = EnabledIn(action, s);
        // The styles draw a caption in the palette's current group, as a disabled widget's
        // palette would be set: an action that does not apply is greyed like a disabled button.
        button.palette = option.palette;
        button.palette.setCurrentColorGroup(enabled ? QPalette::Active : QPalette::Disabled);
        button.direction = option.direction;
        button.fontMetrics = option.fontMetrics;
        button.rect = rect;
        button.text = CaptionOf(action, s);
        button.state = enabled ? QStyle::State_Enabled | QStyle::State_Raised : QStyle::State_None;
        style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
      }
      return;
    }
    QStyledItemDelegate::paint(painter, option, index);
  }

  bool editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    if (index.column() != DownloadsWindow::kActionColumn || event->type() != QEvent::MouseButtonRelease)
      return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const State s = model_->StateOf(index.row());
    for (const auto& [action, rect] : LayOut(s, option.rect, option.fontMetrics)) {
      if (rect.contains(mouse->position().toPoint()) && EnabledIn(action, s)) {
        window_->RunAction(index.row(), action);
        return true;
      }
    }
    return false;
  }

 private:
  DownloadsWindow* window_;
  DownloadListModel* model_;
};

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
                                 std::function<bool(const QString&)> confirm, QWidget* parent)
    : QWidget(parent, Qt::Window),
      manager_(manager),
      open_(std::move(open)),
      confirm_(std::move(confirm)),
      model_(std::make_unique<DownloadListModel>(manager)) {
  setWindowTitle(Text("下载列表"));
  resize(1280, 320);
  list_ = new QTreeView(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setModel(model_.get());
  list_->setItemDelegate(new ActionDelegate(this, model_.get()));  // owned by the window
  list_->setColumnWidth(kNameColumn, 280);
  list_->setColumnWidth(kSizeColumn, 140);
  list_->setColumnWidth(kProgressColumn, 110);
  list_->setColumnWidth(kSpeedColumn, 80);
  list_->setColumnWidth(kTimeLeftColumn, 70);
  list_->setColumnWidth(kStateColumn, 300);
  // The widest row of buttons keeps its captions whole.
  const QFontMetrics metrics(list_->font());
  int widest = 0;
  for (State s : {State::kRunning, State::kPartFound, State::kNotReplaced}) {
    const auto buttons = LayOut(s, QRect(0, 0, 0, 20), metrics);
    widest = std::max(widest, buttons.back().second.right() + kButtonGap);
  }
  list_->setColumnWidth(kActionColumn, widest);
  list_->header()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(list_);
  listener_ = manager_->AddListener({[this](int index) {
                                       model_->Added(index);
                                       UpdateTimer();
                                     },
                                     [this](int index) {
                                       model_->Changed(index);
                                       UpdateTimer();
                                     }});
  UpdateTimer();
}

DownloadsWindow::~DownloadsWindow() { manager_->RemoveListener(listener_); }

int DownloadsWindow::lineCount() const { return model_->rowCount(QModelIndex()); }

QString DownloadsWindow::cellText(int line, Column column) const {
  if (line < 0 || line >= lineCount()) return QString();
  return model_->Cell(line, column);
}

int DownloadsWindow::progress(int line) const {
  return line < 0 || line >= lineCount() ? 0 : model_->Progress(line);
}

std::vector<Action> DownloadsWindow::actions(int line) const {
  return line < 0 || line >= lineCount() ? std::vector<Action>() : ActionsOf(model_->StateOf(line));
}

QString DownloadsWindow::actionCaption(int line, Action action) const {
  const std::vector<Action> shown = actions(line);
  if (std::find(shown.begin(), shown.end(), action) == shown.end()) return QString();
  return CaptionOf(action, model_->StateOf(line));
}

bool DownloadsWindow::actionEnabled(int line, Action action) const {
  const std::vector<Action> shown = actions(line);
  return std::find(shown.begin(), shown.end(), action) != shown.end() &&
         EnabledIn(action, model_->StateOf(line));
}

QRect DownloadsWindow::actionRect(int line, Action action) const {
  if (line < 0 || line >= lineCount()) return QRect();
  const QRect cell = list_->visualRect(model_->index(line, kActionColumn));
  for (const auto& [a, rect] : LayOut(model_->StateOf(line), cell, QFontMetrics(list_->font()))) {
    if (a == action) return rect;
  }
  return QRect();
}

void DownloadsWindow::RunAction(int line, Action action) {
  if (line < 0 || line >= manager_->count()) return;
  Download* d = manager_->at(line);
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
      if (open_) open_(QUrl::fromLocalFile(FromNative(d->path())));
      break;
    case Action::kOpenFolder:
      if (open_) open_(QUrl::fromLocalFile(FromNative(d->folder())));
      break;
    case Action::kContinuePart:
      d->ContinueFoundPart();
      break;
    case Action::kStartOver:
      d->StartOverFoundPart();
      break;
    case Action::kReplace: {
      const QString question = Text("用下载的文件替换已有的“") + FromNative(d->fileName()) + Text("”吗？");
      if (confirm_ && confirm_(question)) d->ReplaceNow();
      break;
    }
  }
}

void DownloadsWindow::Refresh() {
  for (int i = 0; i < lineCount(); ++i) model_->Changed(i);
}

void DownloadsWindow::Tick() { model_->Tick(); }

void DownloadsWindow::UpdateTimer() {
  const bool anyRunning = model_->anyRunning();
  if (anyRunning && !timer_.isActive()) timer_.start(kRefreshMs, this);
  if (!anyRunning) timer_.stop();
}

void DownloadsWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  Tick();
  UpdateTimer();
}

}  // namespace download
