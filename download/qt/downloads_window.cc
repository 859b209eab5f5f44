#include "download/qt/downloads_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimerEvent>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "download/download_manager.h"
#include "platform/codepage.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"

namespace download {

using Action = DownloadsWindow::Action;
using State = Download::State;

namespace {

constexpr int kButtonGap = 2;

QString Text(std::string_view gbk) {
  return QString::fromStdU16String(platform::ToUtf16(platform::kCodePageGbk, gbk));
}

// The buttons of a state laid out from the left of `cell`, each as wide as its caption.
std::vector<std::pair<Action, QRect>> LayOut(State s, const QRect& cell, const QFontMetrics& metrics) {
  std::vector<std::pair<Action, QRect>> out;
  int x = cell.left() + kButtonGap;
  for (Action a : DownloadLines::ActionsOf(s)) {
    const int w = metrics.horizontalAdvance(Text(DownloadLines::CaptionOf(a, s))) + 16;
    out.emplace_back(a, QRect(x, cell.top() + 1, w, cell.height() - 2));
    x += w + kButtonGap;
  }
  return out;
}

}  // namespace

// The lines as rows, for the view.
class DownloadListModel : public QAbstractTableModel {
 public:
  explicit DownloadListModel(DownloadLines* lines) : lines_(lines) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : lines_->count(); }
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
    if (!index.isValid() || index.row() >= lines_->count()) return QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
    return Text(lines_->Cell(index.row(), static_cast<DownloadsWindow::Column>(index.column()),
                             role == Qt::ToolTipRole));
  }

  void Added(int index) {
    beginInsertRows(QModelIndex(), index, index);
    lines_->Added(index);
    endInsertRows();
  }
  // A line's state changed: all of it is shown anew.
  void Changed(int index) {
    lines_->Changed(index);
    emit dataChanged(this->index(index, 0), this->index(index, DownloadsWindow::kColumnCount - 1));
  }
  // The running lines' counters moved.
  void Tick() {
    lines_->Tick();
    for (int index : lines_->running()) {
      emit dataChanged(this->index(index, DownloadsWindow::kSizeColumn),
                       this->index(index, DownloadsWindow::kTimeLeftColumn));
    }
  }

 private:
  DownloadLines* lines_;
};

// Paints the bar and the buttons, and turns a click on a button into its action.
class ActionDelegate : public QStyledItemDelegate {
 public:
  ActionDelegate(QtDownloadsWindow* window, DownloadLines* lines)
      : QStyledItemDelegate(window), window_(window), lines_(lines) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    if (index.column() == DownloadsWindow::kProgressColumn) {
      QStyleOptionProgressBar bar;
      bar.rect = option.rect.adjusted(2, 2, -2, -2);
      bar.minimum = 0;
      bar.maximum = 1000;
      bar.progress = lines_->Progress(index.row());
      bar.text = Text(lines_->Cell(index.row(), DownloadsWindow::kProgressColumn));
      bar.textVisible = true;
      bar.state = option.state | QStyle::State_Horizontal;
      style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
      return;
    }
    if (index.column() == DownloadsWindow::kActionColumn) {
      const State s = lines_->StateOf(index.row());
      for (const auto& [action, rect] : LayOut(s, option.rect, option.fontMetrics)) {
        QStyleOptionButton button;
        const bool enabled = DownloadLines::EnabledIn(action, s);
        // The styles draw a caption in the palette's current group, as a disabled widget's
        // palette would be set: an action that does not apply is greyed like a disabled button.
        button.palette = option.palette;
        button.palette.setCurrentColorGroup(enabled ? QPalette::Active : QPalette::Disabled);
        button.direction = option.direction;
        button.fontMetrics = option.fontMetrics;
        button.rect = rect;
        button.text = Text(DownloadLines::CaptionOf(action, s));
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
    const State s = lines_->StateOf(index.row());
    for (const auto& [action, rect] : LayOut(s, option.rect, option.fontMetrics)) {
      if (rect.contains(mouse->position().toPoint()) && DownloadLines::EnabledIn(action, s)) {
        window_->RunAction(index.row(), action);
        return true;
      }
    }
    return false;
  }

 private:
  QtDownloadsWindow* window_;
  DownloadLines* lines_;
};

std::unique_ptr<DownloadsWindow> MakeDownloadsWindow(DownloadManager* manager, DownloadsWindow::OpenPath open,
                                                     DownloadsWindow::Confirm confirm,
                                                     int32_t ownerWindowId) {
  // Owned by the program window's frame as well, so that it stays above it.
  QWidget* owner =
      ownerWindowId != 0 && ui::IsWindowLive(ownerWindowId) ? ui::FrameWidgetOf(ownerWindowId) : nullptr;
  return std::make_unique<QtDownloadsWindow>(manager, std::move(open), std::move(confirm), owner);
}

QtDownloadsWindow::QtDownloadsWindow(DownloadManager* manager, OpenPath open, Confirm confirm,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window),
      manager_(manager),
      open_(std::move(open)),
      confirm_(std::move(confirm)),
      lines_(manager),
      model_(std::make_unique<DownloadListModel>(&lines_)) {
  setWindowTitle(Text("下载列表"));
  resize(1280, 320);
  list_ = new QTreeView(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setModel(model_.get());
  list_->setItemDelegate(new ActionDelegate(this, &lines_));  // owned by the window
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

QtDownloadsWindow::~QtDownloadsWindow() { manager_->RemoveListener(listener_); }

void QtDownloadsWindow::Show() {
  show();
  raise();
  activateWindow();
}

int QtDownloadsWindow::lineCount() const { return lines_.count(); }

std::string QtDownloadsWindow::cellText(int line, Column column) const {
  if (line < 0 || line >= lineCount()) return std::string();
  return lines_.Cell(line, column);
}

int QtDownloadsWindow::progress(int line) const {
  return line < 0 || line >= lineCount() ? 0 : lines_.Progress(line);
}

std::vector<Action> QtDownloadsWindow::actions(int line) const {
  return line < 0 || line >= lineCount() ? std::vector<Action>()
                                         : DownloadLines::ActionsOf(lines_.StateOf(line));
}

std::string QtDownloadsWindow::actionCaption(int line, Action action) const {
  const std::vector<Action> shown = actions(line);
  if (std::find(shown.begin(), shown.end(), action) == shown.end()) return std::string();
  return DownloadLines::CaptionOf(action, lines_.StateOf(line));
}

bool QtDownloadsWindow::actionEnabled(int line, Action action) const {
  const std::vector<Action> shown = actions(line);
  return std::find(shown.begin(), shown.end(), action) != shown.end() &&
         DownloadLines::EnabledIn(action, lines_.StateOf(line));
}

QRect QtDownloadsWindow::actionRect(int line, Action action) const {
  if (line < 0 || line >= lineCount()) return QRect();
  const QRect cell = list_->visualRect(model_->index(line, kActionColumn));
  for (const auto& [a, rect] : LayOut(lines_.StateOf(line), cell, QFontMetrics(list_->font()))) {
    if (a == action) return rect;
  }
  return QRect();
}

void QtDownloadsWindow::RunAction(int line, Action action) { lines_.Run(line, action, open_, confirm_); }

void QtDownloadsWindow::Refresh() {
  for (int i = 0; i < lineCount(); ++i) model_->Changed(i);
}

void QtDownloadsWindow::Tick() { model_->Tick(); }

void QtDownloadsWindow::UpdateTimer() {
  const bool anyRunning = !lines_.running().empty();
  if (anyRunning && !timer_.isActive()) timer_.start(kRefreshMs, this);
  if (!anyRunning) timer_.stop();
}

void QtDownloadsWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) {
    QWidget::timerEvent(event);
    return;
  }
  Tick();
  UpdateTimer();
}

}  // namespace download
