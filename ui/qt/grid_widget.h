// The grid control's view on the toolkit: draws a grid model (ui/grid_model.h) in a scroll area
// and takes the user's input. A left press makes the clicked cell current (never a fixed one),
// a left release calls the owner's handler with client coordinates, the right button or the
// menu key shows the context menu whose entries the owner gives, and a row's tip shows while
// the pointer rests on it. Data changes are painted at most once per 16 ms; what the user does
// is painted at once. Pictures are decoded on the toolkit's thread pool the first time they are
// drawn, so that a paint never waits for a decoder.
//
// Ownership: a toolkit widget, owned by its parent; it owns its model.
// Thread contract: GUI thread only.
#ifndef UI_QT_GRID_WIDGET_H_
#define UI_QT_GRID_WIDGET_H_

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>
#include <QRegion>
#include <functional>
#include <memory>
#include <utility>

#include "ui/context_menu.h"
#include "ui/grid_model.h"

namespace ui {

class GridWidget : public QAbstractScrollArea {
 public:
  using CellValue = GridModel::CellValue;

  explicit GridWidget(QWidget* parent = nullptr);
  ~GridWidget() override;

  // The data and its rules; every change repaints what it touches.
  GridModel& model() { return model_; }
  const GridModel& model() const { return model_; }

  // The cell's rectangle in the viewport's (client) coordinates, grid lines excluded; empty
  // for a missing cell. Scrolled cells may lie outside the viewport.
  QRect cellRect(int row, int column) const;
  // The cell under a client point, or {-1, -1}.
  std::pair<int, int> cellAt(QPoint point) const;
  // The decoded picture of a cell (null when none); decodes it if that has not happened yet.
  QImage cellPicture(int row, int column);

  // Called when the left button is released over the grid, after the press has made the
  // clicked cell current; receives the client coordinates.
  void setLeftButtonReleasedHandler(std::function<void(int x, int y)> handler) {
    onRelease_ = std::move(handler);
  }
  // The entries of the context menu (right button or menu key) for the row under the pointer
  // (-1 where there is none), or with the menu key the current row. Neither changes the
  // current cell.
  void setContextMenuProvider(MenuProvider provider) { menuProvider_ = std::move(provider); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  GridScroll scroll() const;
  void OnModelChanged(GridModel::Change change, int row, int column);
  void updateScrollBars();
  // Changes of the data are painted at most once per kRepaintIntervalMs: a lookup that fills
  // rows faster than a screen refreshes would otherwise lay out and paint every visible cell
  // once per row. What the user does (the current cell, scrolling) is painted at once.
  void ScheduleRepaint(const QRect& rect);
  void drawCell(QPainter& painter, int row, int column, const QRect& rect);
  // Sends the slot's bytes to the toolkit's thread pool; the cell is drawn once its picture is in.
  void StartDecoding(const std::shared_ptr<GridModel::PictureSlot>& slot);

  GridModel model_;
  std::function<void(int, int)> onRelease_;
  MenuProvider menuProvider_;
  static constexpr int kRepaintIntervalMs = 16;
  QBasicTimer repaintTimer_;
  QRegion pendingRepaint_;
};

}  // namespace ui

#endif  // UI_QT_GRID_WIDGET_H_
