#include "ui/qt/grid_widget.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimerEvent>
#include <QToolTip>
#include <algorithm>

#include "platform/codepage.h"
#include "ui/qt/picture_image.h"
#include "ui/qt/popup_menu.h"
#include "ui/qt/qt_text.h"

namespace ui {
namespace {

const QColor kGridLine(0xC0, 0xC0, 0xC0);
const QColor kFixedBackground(0xF0, 0xF0, 0xF0);
const QColor kCurrentFrame(0x33, 0x66, 0xCC);

QString ToDisplay(std::string_view gbk) {
  return QString::fromStdU16String(platform::ToUtf16(platform::kCodePageGbk, gbk));
}

QRect ToQRect(const GridRect& r) { return QRect(r.left, r.top, r.width, r.height); }

// The toolkit's image of a decoded picture, over the picture's own pixels (its 0xAARRGGBB
// words are the toolkit's 32-bit formats' pixels), and the copy last scaled for a stretching or
// fitting cell, so that a repaint does not scale it again.
struct QtPictureDrawing : GridModel::PictureDrawing {
  explicit QtPictureDrawing(std::shared_ptr<const platform::Picture> p)
      : picture(std::move(p)),
        image(reinterpret_cast<const uchar*>(picture->pixels.data()), picture->width, picture->height,
              static_cast<qsizetype>(picture->width) * 4,
              picture->hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32) {}
  std::shared_ptr<const platform::Picture> picture;  // keeps the pixels the image reads
  QImage image;
  QImage scaled;
  QSize scaledFor;
  int scaledMode = 0;
};

void DrawPicture(QPainter& painter, QtPictureDrawing& d, int mode, const QRect& rect) {
  const QImage& picture = d.image;
  if (picture.isNull() || rect.isEmpty()) return;
  auto scaled = [&d, mode](const QSize& size) -> const QImage& {
    if (d.scaledFor != size || d.scaledMode != mode) {
      d.scaled = d.image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      d.scaledFor = size;
      d.scaledMode = mode;
    }
    return d.scaled;
  };
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  switch (mode) {
    case GridModel::kModeTile:
      painter.drawTiledPixmap(rect, QPixmap::fromImage(picture), QPoint(0, 0));
      break;
    case GridModel::kModeStretch:
      painter.drawImage(rect.topLeft(), scaled(rect.size()));
      break;
    case GridModel::kModeCentre:
      painter.drawImage(QPoint(rect.left() + (rect.width() - picture.width()) / 2,
                               rect.top() + (rect.height() - picture.height()) / 2),
                        picture);
      break;
    case GridModel::kModeTopLeft:
      painter.drawImage(rect.topLeft(), picture);
      break;
    case GridModel::kModeFit: {
      const QSize size = picture.size().scaled(rect.size(), Qt::KeepAspectRatio);
      if (size.isEmpty()) break;
      painter.drawImage(QPoint(rect.left() + (rect.width() - size.width()) / 2,
                               rect.top() + (rect.height() - size.height()) / 2),
                        scaled(size));
      break;
    }
    default:
      break;
  }
  painter.restore();
}

}  // namespace

GridWidget::GridWidget(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::StyledPanel);  // client coordinates are the viewport's, inside the frame
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAutoFillBackground(true);
  QPalette p = viewport()->palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(p);
  viewport()->setBackgroundRole(QPalette::Base);
  model_.setChangeHandler(
      [this](GridModel::Change change, int row, int column) { OnModelChanged(change, row, column); });
}

GridWidget::~GridWidget() = default;

void GridWidget::OnModelChanged(GridModel::Change change, int row, int column) {
  switch (change) {
    case GridModel::Change::kLayout:
      updateScrollBars();
      ScheduleRepaint(viewport()->rect());
      break;
    case GridModel::Change::kContent:
      ScheduleRepaint(viewport()->rect());
      break;
    case GridModel::Change::kCell:
      ScheduleRepaint(cellRect(row, column));
      break;
    case GridModel::Change::kCurrent:
      viewport()->update();
      break;
  }
}

GridScroll GridWidget::scroll() const {
  return GridScroll{horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

QRect GridWidget::cellRect(int row, int column) const {
  return ToQRect(model_.cellRect(row, column, scroll()));
}

std::pair<int, int> GridWidget::cellAt(QPoint point) const {
  return model_.cellAt(point.x(), point.y(), scroll());
}

QImage GridWidget::cellPicture(int row, int column) {
  const std::shared_ptr<const platform::Picture> picture = model_.cellPicture(row, column);
  return picture ? ToImage(*picture) : QImage();
}

void GridWidget::StartDecoding(const std::shared_ptr<GridModel::PictureSlot>& slot) {
  GridModel::DecodeJob job = model_.StartDecoding(slot);
  QPointer<GridWidget> grid(this);
  // The task only decodes; the result is handed back to the GUI thread, where the slot and the
  // widget live (the application object outlives the pool's tasks: it waits for them).
  QThreadPool::globalInstance()->start([job = std::move(job), grid] {
    std::shared_ptr<const platform::Picture> picture = GridModel::Decode(*job.bytes);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [slot = job.slot, grid, picture = std::move(picture)]() mutable {
          if (grid && grid->model_.FinishDecoding(slot, std::move(picture))) grid->viewport()->update();
        },
        Qt::QueuedConnection);
  });
}

void GridWidget::updateScrollBars() {
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, model_.contentWidth() - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width() - model_.fixedWidth()));
  horizontalScrollBar()->setSingleStep(20);
  verticalScrollBar()->setRange(0, std::max(0, model_.contentHeight() - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height() - model_.fixedHeight()));
  verticalScrollBar()->setSingleStep(20);
}

// ---- Drawing ----------------------------------------------------------------------------

void GridWidget::drawCell(QPainter& painter, int row, int column, const QRect& rect) {
  const int kind = model_.columnKind(column);
  const bool fixed = model_.isFixed(row, column);
  painter.fillRect(rect, fixed ? kFixedBackground : QColor(Qt::white));
  const std::shared_ptr<GridModel::PictureSlot>& slot = model_.pictureSlot(row, column);
  if (kind == GridModel::kKindPicture && slot) {
    if (slot->decoded) {
      if (slot->picture) {
        if (!slot->drawing) slot->drawing = std::make_unique<QtPictureDrawing>(slot->picture);
        DrawPicture(painter, static_cast<QtPictureDrawing&>(*slot->drawing), model_.pictureMode(column),
                    rect);
      }
    } else if (!slot->decoding) {
      StartDecoding(slot);
    }
  }
  if (!fixed && kind == GridModel::kKindCheck) {
    const int side = std::min({13, rect.width() - 2, rect.height() - 2});
    if (side > 2) {
      const QRect box(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side,
                      side);
      painter.setPen(Qt::black);
      painter.drawRect(box.adjusted(0, 0, -1, -1));
      if (model_.cellCheck(row, column)) {
        painter.drawLine(box.left() + 2, box.center().y(), box.center().x(), box.bottom() - 2);
        painter.drawLine(box.center().x(), box.bottom() - 2, box.right() - 2, box.top() + 2);
      }
    }
  }
  const bool showsText = fixed || (kind != GridModel::kKindPicture && kind != GridModel::kKindCheck);
  const std::string& text = model_.cellText(row, column);
  if (showsText && !text.empty()) {
    painter.setPen(palette().color(QPalette::Text));
    const int flags = fixed ? (Qt::AlignCenter | Qt::TextSingleLine)
                            : (Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere);
    painter.drawText(rect.adjusted(3, 1, -3, -1), flags, ToDisplay(text));
  }
  if (row == model_.currentRow() && column == model_.currentColumn()) {
    painter.setPen(QPen(kCurrentFrame, 2));
    painter.drawRect(rect.adjusted(1, 1, -1, -1));
  }
}

void GridWidget::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QSize view = viewport()->size();
  model_.ForEachCellInView(
      view.width(), view.height(), scroll(),
      [&painter](const GridRect& clip) { painter.setClipRect(ToQRect(clip)); },
      [this, &painter](int row, int column, const GridRect& cell) {
        const QRect rect = ToQRect(cell);
        drawCell(painter, row, column, rect);
        painter.setPen(kGridLine);
        painter.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
        painter.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
      });
}

void GridWidget::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

void GridWidget::scrollContentsBy(int, int) { viewport()->update(); }

void GridWidget::ScheduleRepaint(const QRect& rect) {
  pendingRepaint_ += rect;
  if (!repaintTimer_.isActive()) repaintTimer_.start(kRepaintIntervalMs, Qt::PreciseTimer, this);
}

void GridWidget::timerEvent(QTimerEvent* event) {
  if (event->timerId() != repaintTimer_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  repaintTimer_.stop();
  viewport()->update(pendingRepaint_);
  pendingRepaint_ = QRegion();
}

// ---- Input ------------------------------------------------------------------------------

void GridWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const auto [row, column] = cellAt(event->position().toPoint());
    model_.setCurrentCell(row, column);  // fixed cells and empty areas leave the current cell
  }
  event->accept();
}

void GridWidget::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (!viewport()->rect().contains(p)) return;  // released away from the grid
  if (onRelease_) onRelease_(p.x(), p.y());
}

bool GridWidget::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int row = cellAt(help->pos()).first;
    const std::string tip = model_.rowToolTip(row);
    if (tip.empty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), ToQString(tip), viewport(),
                         cellRect(row, 0).united(cellRect(row, model_.columnCount() - 1)));
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void GridWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (!menuProvider_) {
    QAbstractScrollArea::contextMenuEvent(event);
    return;
  }
  event->accept();
  QPoint at = event->globalPos();
  int row = -1;
  if (event->reason() == QContextMenuEvent::Mouse) {
    row = cellAt(viewport()->mapFromGlobal(at)).first;
  } else {
    row = model_.currentRow();
    at = viewport()->mapToGlobal(row >= 0 ? cellRect(row, model_.currentColumn()).center() : QPoint(0, 0));
  }
  const std::vector<MenuEntry> entries = menuProvider_(row);
  if (!entries.empty()) PopUpMenu(this, entries, at);
}

}  // namespace ui
