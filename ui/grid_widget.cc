#include "ui/grid_widget.h"

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
#include "platform/picture/picture_loader.h"
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
}

GridWidget::~GridWidget() = default;

void GridWidget::Reset(int rows, int columns, int fixedRows, int fixedColumns, int rowHeight,
                       int columnWidth) {
  rows = std::max(rows, 0);
  columns = std::max(columns, 0);
  columns_.assign(static_cast<size_t>(columns), Column{std::max(columnWidth, 0), kKindText, kModeStretch});
  rows_.assign(static_cast<size_t>(rows),
               Row{std::max(rowHeight, 0), std::vector<Cell>(columns_.size()), {}});
  fixedRows_ = std::clamp(fixedRows, 0, rows);
  fixedColumns_ = std::clamp(fixedColumns, 0, columns);
  currentRow_ = currentColumn_ = -1;
  updateScrollBars();
  ScheduleRepaint(viewport()->rect());
}

bool GridWidget::cellExists(int row, int column) const {
  return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
}

bool GridWidget::setCurrentCell(int row, int column) {
  if (!cellExists(row, column) || isFixed(row, column)) return false;
  currentRow_ = row;
  currentColumn_ = column;
  viewport()->update();
  return true;
}

bool GridWidget::deleteRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  const bool wasLast = currentRow_ == rowCount() - 1;
  rows_.erase(rows_.begin() + row);
  if (row < fixedRows_) --fixedRows_;
  if (wasLast && currentRow_ >= 0) --currentRow_;
  if (currentRow_ >= 0 && currentRow_ < fixedRows_) currentRow_ = currentColumn_ = -1;
  updateScrollBars();
  ScheduleRepaint(viewport()->rect());
  return true;
}

bool GridWidget::insertRow(std::string_view text, std::optional<int> position) {
  if (rows_.empty() && fixedRows_ == 0 && fixedColumns_ == 0) {
    if (columns_.empty()) columns_.push_back(Column{});
    fixedRows_ = 1;  // the first row to come is the title row
    fixedColumns_ = 1;
  }
  const int height = rows_.empty() ? kDefaultRowHeight : rows_[0].height;
  int at = rowCount();
  if (position && *position >= fixedRows_ && *position < rowCount()) at = *position;
  Row r{height, std::vector<Cell>(columns_.size()), {}};
  if (!r.cells.empty()) r.cells[0].text.assign(text);
  rows_.insert(rows_.begin() + at, std::move(r));
  // The current cell keeps its numbers; it never becomes a fixed cell.
  if (currentRow_ >= 0 && isFixed(currentRow_, currentColumn_)) currentRow_ = currentColumn_ = -1;
  updateScrollBars();
  ScheduleRepaint(viewport()->rect());
  return true;
}

bool GridWidget::setCellText(int row, int column, std::string_view text) {
  if (!cellExists(row, column)) return false;
  const int kind = columns_[column].kind;
  if (!isFixed(row, column) && (kind == kKindPicture || kind == kKindCheck)) return false;
  rows_[row].cells[column].text.assign(text);
  ScheduleRepaint(cellRect(row, column));
  return true;
}

bool GridWidget::setCellCheck(int row, int column, bool checked) {
  if (!cellExists(row, column) || columns_[column].kind != kKindCheck) return false;
  rows_[row].cells[column].check = checked;
  ScheduleRepaint(cellRect(row, column));
  return true;
}

bool GridWidget::setCellPicture(int row, int column, std::string_view bytes) {
  if (!cellExists(row, column) || columns_[column].kind != kKindPicture) return false;
  Cell& cell = rows_[row].cells[column];
  auto slot = std::make_shared<PictureSlot>();
  slot->bytes = std::make_shared<const std::string>(bytes);
  // Bytes of no known format never become a picture; anything else waits to be decoded.
  slot->decoded = platform::DetectPictureFormat(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                bytes.size()) == platform::PictureFormat::kNone;
  cell.picture = std::move(slot);
  ScheduleRepaint(cellRect(row, column));
  return true;
}

GridWidget::CellValue GridWidget::cellValue(int row, int column) const {
  CellValue v;
  if (!cellExists(row, column)) {
    v.type = CellValue::Type::kMissing;
    v.missingIsBytes = column >= 0 && column < columnCount() && columns_[column].kind == kKindPicture;
    return v;
  }
  const Cell& cell = rows_[row].cells[column];
  const int kind = columns_[column].kind;
  if (!isFixed(row, column) && kind == kKindCheck) {
    v.type = CellValue::Type::kCheck;
    v.check = cell.check;
  } else if (!isFixed(row, column) && kind == kKindPicture) {
    v.type = CellValue::Type::kPicture;
    if (cell.picture) v.bytes = *cell.picture->bytes;
  } else {
    v.type = CellValue::Type::kText;
    v.text = cell.text;
  }
  return v;
}

QImage GridWidget::cellPicture(int row, int column) const {
  if (!cellExists(row, column)) return QImage();
  const std::shared_ptr<PictureSlot>& slot = rows_[row].cells[column].picture;
  return slot ? decodedPicture(*slot) : QImage();
}

const QImage& GridWidget::decodedPicture(PictureSlot& slot) {
  if (!slot.decoded) {
    slot.picture = ToImage(platform::LoadPicture(reinterpret_cast<const unsigned char*>(slot.bytes->data()),
                                                 slot.bytes->size()));
    slot.decoded = true;  // a decoding task still running finds the work done
  }
  return slot.picture;
}

void GridWidget::StartDecoding(const std::shared_ptr<PictureSlot>& slot) const {
  slot->decoding = true;
  ++picturesDecoding_;
  std::weak_ptr<PictureSlot> weak = slot;
  std::shared_ptr<const std::string> bytes = slot->bytes;
  QPointer<GridWidget> grid(const_cast<GridWidget*>(this));
  // The task only decodes; the result is handed back to the GUI thread, where the slot and the
  // widget live (the application object outlives the pool's tasks: it waits for them).
  QThreadPool::globalInstance()->start([weak, bytes, grid] {
    QImage image =
        ToImage(platform::LoadPicture(reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size()));
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weak, grid, image = std::move(image)]() mutable {
          if (grid) --grid->picturesDecoding_;
          std::shared_ptr<PictureSlot> slot = weak.lock();
          if (!slot) return;  // the cell is gone
          slot->decoding = false;
          if (!slot->decoded) {
            slot->picture = std::move(image);
            slot->decoded = true;
          }
          if (grid) grid->viewport()->update();
        },
        Qt::QueuedConnection);
  });
}

bool GridWidget::setRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount() || height < 0) return false;
  rows_[row].height = height;
  updateScrollBars();
  ScheduleRepaint(viewport()->rect());
  return true;
}

bool GridWidget::setColumnWidth(int column, int width) {
  if (column < 0 || column >= columnCount() || width < 0) return false;
  columns_[column].width = width;
  updateScrollBars();
  ScheduleRepaint(viewport()->rect());
  return true;
}

int GridWidget::rowHeight(int row) const { return row >= 0 && row < rowCount() ? rows_[row].height : -1; }
int GridWidget::columnWidth(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].width : -1;
}

bool GridWidget::setColumnKind(int column, int kind) {
  if (column < 0 || column >= columnCount() || kind < 1 || kind > 8) return false;
  columns_[column].kind = kind;
  ScheduleRepaint(viewport()->rect());
  return true;
}

int GridWidget::columnKind(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].kind : 0;
}

bool GridWidget::setPictureMode(int column, int mode) {
  if (column < 0 || column >= columnCount() || columns_[column].kind != kKindPicture) return false;
  if (mode < kModeTile || mode > kModeFit) return false;
  columns_[column].mode = mode;
  ScheduleRepaint(viewport()->rect());
  return true;
}

int GridWidget::pictureMode(int column) const {
  return column >= 0 && column < columnCount() && columns_[column].kind == kKindPicture
             ? columns_[column].mode
             : 0;
}

// ---- Geometry ----------------------------------------------------------------------------
// Fixed rows and columns stand still; the others move with the scroll bars.

int GridWidget::columnLeft(int column) const {
  int x = 0;
  for (int c = 0; c < column; ++c) x += columns_[c].width;
  if (column >= fixedColumns_) x -= horizontalScrollBar()->value();
  return x;
}

int GridWidget::rowTop(int row) const {
  int y = 0;
  for (int r = 0; r < row; ++r) y += rows_[r].height;
  if (row >= fixedRows_) y -= verticalScrollBar()->value();
  return y;
}

QRect GridWidget::cellRect(int row, int column) const {
  if (!cellExists(row, column)) return QRect();
  return cellRectAt(columnLeft(column), rowTop(row), row, column);
}

QRect GridWidget::cellRectAt(int left, int top, int row, int column) const {
  // The cell's right and bottom pixel lines are its grid lines.
  return QRect(left, top, std::max(columns_[column].width - 1, 0), std::max(rows_[row].height - 1, 0));
}

std::pair<int, int> GridWidget::cellAt(QPoint point) const {
  int fixedWidth = 0;
  for (int c = 0; c < fixedColumns_; ++c) fixedWidth += columns_[c].width;
  int fixedHeight = 0;
  for (int r = 0; r < fixedRows_; ++r) fixedHeight += rows_[r].height;
  int row = -1;
  int column = -1;
  for (int c = 0; c < columnCount(); ++c) {
    const int left = columnLeft(c);
    if (c >= fixedColumns_ && point.x() < fixedWidth) break;  // covered by the fixed columns
    if (point.x() >= left && point.x() < left + columns_[c].width) {
      column = c;
      break;
    }
  }
  for (int r = 0; r < rowCount(); ++r) {
    const int top = rowTop(r);
    if (r >= fixedRows_ && point.y() < fixedHeight) break;
    if (point.y() >= top && point.y() < top + rows_[r].height) {
      row = r;
      break;
    }
  }
  if (row < 0 || column < 0) return {-1, -1};
  return {row, column};
}

void GridWidget::updateScrollBars() {
  int width = 0;
  int fixedWidth = 0;
  for (int c = 0; c < columnCount(); ++c) {
    width += columns_[c].width;
    if (c < fixedColumns_) fixedWidth += columns_[c].width;
  }
  int height = 0;
  int fixedHeight = 0;
  for (int r = 0; r < rowCount(); ++r) {
    height += rows_[r].height;
    if (r < fixedRows_) fixedHeight += rows_[r].height;
  }
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, width - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width() - fixedWidth));
  horizontalScrollBar()->setSingleStep(20);
  verticalScrollBar()->setRange(0, std::max(0, height - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height() - fixedHeight));
  verticalScrollBar()->setSingleStep(20);
}

// ---- Drawing ----------------------------------------------------------------------------

void GridWidget::drawPicture(QPainter& painter, PictureSlot& slot, int mode, const QRect& rect) {
  const QImage& picture = slot.picture;
  if (picture.isNull() || rect.isEmpty()) return;
  // Stretching and fitting scale the picture once per size, not at every repaint.
  auto scaled = [&slot, mode](const QSize& size) -> const QImage& {
    if (slot.scaledFor != size || slot.scaledMode != mode) {
      slot.scaled = slot.picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      slot.scaledFor = size;
      slot.scaledMode = mode;
    }
    return slot.scaled;
  };
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  switch (mode) {
    case kModeTile:
      painter.drawTiledPixmap(rect, QPixmap::fromImage(picture), QPoint(0, 0));
      break;
    case kModeStretch:
      painter.drawImage(rect.topLeft(), scaled(rect.size()));
      break;
    case kModeCentre:
      painter.drawImage(QPoint(rect.left() + (rect.width() - picture.width()) / 2,
                               rect.top() + (rect.height() - picture.height()) / 2),
                        picture);
      break;
    case kModeTopLeft:
      painter.drawImage(rect.topLeft(), picture);
      break;
    case kModeFit: {
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

void GridWidget::drawCell(QPainter& painter, int row, int column, const QRect& rect) const {
  const Cell& cell = rows_[row].cells[column];
  const Column& col = columns_[column];
  const bool fixed = isFixed(row, column);
  painter.fillRect(rect, fixed ? kFixedBackground : QColor(Qt::white));
  if (col.kind == kKindPicture && cell.picture) {
    if (cell.picture->decoded) {
      drawPicture(painter, *cell.picture, col.mode, rect);
    } else if (!cell.picture->decoding) {
      StartDecoding(cell.picture);
    }
  }
  if (!fixed && col.kind == kKindCheck) {
    const int side = std::min({13, rect.width() - 2, rect.height() - 2});
    if (side > 2) {
      const QRect box(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side,
                      side);
      painter.setPen(Qt::black);
      painter.drawRect(box.adjusted(0, 0, -1, -1));
      if (cell.check) {
        painter.drawLine(box.left() + 2, box.center().y(), box.center().x(), box.bottom() - 2);
        painter.drawLine(box.center().x(), box.bottom() - 2, box.right() - 2, box.top() + 2);
      }
    }
  }
  const bool showsText = fixed || (col.kind != kKindPicture && col.kind != kKindCheck);
  if (showsText && !cell.text.empty()) {
    painter.setPen(palette().color(QPalette::Text));
    const int flags = fixed ? (Qt::AlignCenter | Qt::TextSingleLine)
                            : (Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere);
    painter.drawText(rect.adjusted(3, 1, -3, -1), flags, ToDisplay(cell.text));
  }
  if (row == currentRow_ && column == currentColumn_) {
    painter.setPen(QPen(kCurrentFrame, 2));
    painter.drawRect(rect.adjusted(1, 1, -1, -1));
  }
}

void GridWidget::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  int fixedWidth = 0;
  for (int c = 0; c < fixedColumns_; ++c) fixedWidth += columns_[c].width;
  int fixedHeight = 0;
  for (int r = 0; r < fixedRows_; ++r) fixedHeight += rows_[r].height;
  const QRect view = viewport()->rect();
  // Scrolled cells first, clipped so that they never cover the fixed ones; then the fixed.
  for (int pass = 0; pass < 4; ++pass) {
    const bool fixedRowPass = pass >= 2;
    const bool fixedColumnPass = pass % 2 == 1;
    QRect clip = view;
    if (!fixedRowPass) clip.setTop(fixedHeight);
    if (!fixedColumnPass) clip.setLeft(fixedWidth);
    painter.setClipRect(clip);
    // Edges are added up along the pass, not measured from the grid's start for every cell,
    // which would make a paint cost the square of the row count. Sizes are never negative, so
    // the first row or column past the view ends the walk.
    const int firstRow = fixedRowPass ? 0 : fixedRows_;
    const int endRow = fixedRowPass ? fixedRows_ : rowCount();
    const int firstColumn = fixedColumnPass ? 0 : fixedColumns_;
    const int endColumn = fixedColumnPass ? fixedColumns_ : columnCount();
    int top = firstRow < endRow ? rowTop(firstRow) : 0;
    for (int r = firstRow; r < endRow; top += rows_[r].height, ++r) {
      if (top > view.bottom()) break;
      if (top + rows_[r].height < 0) continue;
      int left = firstColumn < endColumn ? columnLeft(firstColumn) : 0;
      for (int c = firstColumn; c < endColumn; left += columns_[c].width, ++c) {
        const QRect rect = cellRectAt(left, top, r, c);
        if (rect.left() > view.right()) break;
        if (rect.right() + 1 < 0) continue;
        drawCell(painter, r, c, rect);
        painter.setPen(kGridLine);
        painter.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
        painter.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
      }
    }
  }
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

void GridWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const auto [row, column] = cellAt(event->position().toPoint());
    setCurrentCell(row, column);  // fixed cells and empty areas leave the current cell
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

bool GridWidget::setRowToolTip(int row, std::string_view text) {
  if (row < 0 || row >= rowCount()) return false;
  rows_[static_cast<size_t>(row)].toolTip = std::string(text);
  return true;
}

std::string GridWidget::rowToolTip(int row) const {
  if (row < 0 || row >= rowCount()) return std::string();
  return rows_[static_cast<size_t>(row)].toolTip;
}

bool GridWidget::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int row = cellAt(help->pos()).first;
    const std::string tip = rowToolTip(row);
    if (tip.empty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), ToQString(tip), viewport(),
                         cellRect(row, 0).united(cellRect(row, columnCount() - 1)));
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
    row = currentRow_;
    at = viewport()->mapToGlobal(row >= 0 ? cellRect(row, currentColumn_).center() : QPoint(0, 0));
  }
  const std::vector<MenuEntry> entries = menuProvider_(row);
  if (!entries.empty()) PopUpMenu(this, entries, at);
}

}  // namespace ui
