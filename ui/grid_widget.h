// The grid control's widget: rows and columns from 0, the first rows and columns fixed (they
// stay in view and never become the current cell), cells holding a text, a check mark or a
// picture, a kind per column (1 to 8; 5 check marks, 6 pictures) and a picture mode per
// picture column, a current cell or none, and a context menu whose entries its owner gives. The
// operations answer exactly as the grid library's commands report them.
//
// Texts are code page 936 bytes; picture cells keep the bytes they were given, and decode
// them when the picture is first needed (drawn or asked for): a grid of many rows decodes
// only the pictures that are shown, and filling it is not held up by decoding.
// Ownership: a toolkit widget, owned by its parent. Thread contract: GUI thread only.
#ifndef UI_GRID_WIDGET_H_
#define UI_GRID_WIDGET_H_

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>
#include <QRegion>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/context_menu.h"

namespace ui {

class GridWidget : public QAbstractScrollArea {
 public:
  // Cell kinds as SetCell names them.
  static constexpr int kKindText = 1;
  static constexpr int kKindCheck = 5;
  static constexpr int kKindPicture = 6;
  // Picture modes.
  static constexpr int kModeTile = 1;
  static constexpr int kModeStretch = 2;
  static constexpr int kModeCentre = 3;
  static constexpr int kModeTopLeft = 4;
  static constexpr int kModeFit = 5;
  static constexpr int kDefaultRowHeight = 24;
  static constexpr int kDefaultColumnWidth = 60;

  // What a cell reads as.
  struct CellValue {
    enum class Type { kText, kCheck, kPicture, kMissing } type = Type::kMissing;
    std::string text;             // kText
    bool check = false;           // kCheck
    std::string bytes;            // kPicture: the bytes the cell was given
    bool missingIsBytes = false;  // kMissing: in a picture column (a byte set), else a boolean
  };

  explicit GridWidget(QWidget* parent = nullptr);
  ~GridWidget() override;

  // Replaces the whole grid: rows and columns of the default sizes, every cell empty, every
  // column of kind 1, no current cell. Counts below zero count as 0; fixed counts are
  // limited to the counts.
  void Reset(int rows, int columns, int fixedRows, int fixedColumns, int rowHeight, int columnWidth);

  int rowCount() const { return static_cast<int>(rows_.size()); }
  int columnCount() const { return static_cast<int>(columns_.size()); }
  int fixedRowCount() const { return fixedRows_; }
  int fixedColumnCount() const { return fixedColumns_; }
  int currentRow() const { return currentRow_; }
  int currentColumn() const { return currentColumn_; }
  bool cellExists(int row, int column) const;
  bool isFixed(int row, int column) const { return row < fixedRows_ || column < fixedColumns_; }

  // Makes a non-fixed cell current; false (nothing changes) for a fixed or missing cell.
  bool setCurrentCell(int row, int column);
  // False when the row does not exist. When the current cell was in the last row it moves up
  // one row; when it then lies in the fixed rows the grid has no current cell.
  bool deleteRow(int row);
  // A grid without rows and without fixed rows and columns first gets one fixed row and one
  // fixed column. An omitted position, one in the fixed rows or at or past the end appends.
  // The row takes row 0's height (the default when there is none); its cell 0 the text. The
  // current cell keeps its row and column numbers.
  bool insertRow(std::string_view text, std::optional<int> position);
  // Refused (false): a missing cell; text into a non-fixed cell of a picture or check column;
  // a check mark outside a check column; a picture outside a picture column. Empty picture
  // bytes leave the cell without picture; bytes that are no picture are kept but show none.
  bool setCellText(int row, int column, std::string_view text);
  bool setCellCheck(int row, int column, bool checked);
  bool setCellPicture(int row, int column, std::string_view bytes);
  CellValue cellValue(int row, int column) const;
  // The decoded picture of a cell (null when none); decodes it if that has not happened yet.
  QImage cellPicture(int row, int column) const;
  // Pictures being decoded for drawing on the toolkit's thread pool (tests wait for them).
  int picturesDecoding() const { return picturesDecoding_; }

  // The tip shown while the pointer rests on the row (code page 936; empty: none). False for a
  // missing row. The tip moves with its row when rows are inserted or deleted above it.
  bool setRowToolTip(int row, std::string_view text);
  std::string rowToolTip(int row) const;

  // False for a missing row or column or a negative size.
  bool setRowHeight(int row, int height);
  bool setColumnWidth(int column, int width);
  int rowHeight(int row) const;
  int columnWidth(int column) const;
  // Kinds 1 to 8; false for another kind or a missing column.
  bool setColumnKind(int column, int kind);
  int columnKind(int column) const;
  // Modes 1 to 5, picture columns only.
  bool setPictureMode(int column, int mode);
  int pictureMode(int column) const;

  // The cell's rectangle in the viewport's (client) coordinates, grid lines excluded; empty
  // for a missing cell. Scrolled cells may lie outside the viewport.
  QRect cellRect(int row, int column) const;
  // The cell under a client point, or {-1, -1}.
  std::pair<int, int> cellAt(QPoint point) const;

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

 private:
  // A picture cell's bytes and their decoding, shared with a decoding task while one runs: a
  // row that moves or goes meanwhile takes its slot along or drops it, and the task's result
  // finds the slot or nothing.
  struct PictureSlot {
    std::shared_ptr<const std::string> bytes;
    QImage picture;
    bool decoded = true;    // false until decoded (bytes of no known format never are)
    bool decoding = false;  // a task on another thread decodes the bytes
    // The picture as last drawn, scaled to the rectangle of a stretching or fitting mode, so that
    // a repaint does not scale it again.
    QImage scaled;
    QSize scaledFor;
    int scaledMode = 0;
  };
  struct Cell {
    std::string text;
    bool check = false;
    std::shared_ptr<PictureSlot> picture;  // null: no bytes were set
  };
  struct Column {
    int width = kDefaultColumnWidth;
    int kind = kKindText;
    int mode = kModeStretch;
  };
  struct Row {
    int height = kDefaultRowHeight;
    std::vector<Cell> cells;
    std::string toolTip;
  };

  // Left edge of the column / top edge of the row in client coordinates.
  int columnLeft(int column) const;
  int rowTop(int row) const;
  // The rectangle of an existing cell whose column starts at `left` and row at `top`.
  QRect cellRectAt(int left, int top, int row, int column) const;
  void updateScrollBars();
  // Changes of the data are painted at most once per kRepaintIntervalMs: a lookup that fills
  // rows faster than a screen refreshes would otherwise lay out and paint every visible cell
  // once per row. What the user does (the current cell, scrolling) is painted at once.
  void ScheduleRepaint(const QRect& rect);
  void timerEvent(QTimerEvent* event) override;
  void drawCell(QPainter& painter, int row, int column, const QRect& rect) const;
  // Decodes now, on this thread, unless done already.
  static const QImage& decodedPicture(PictureSlot& slot);
  // Pictures are decoded on a thread of the toolkit's pool the first time they are to be drawn,
  // so that a paint never waits for a decoder; the cell is drawn once its picture is in.
  void StartDecoding(const std::shared_ptr<PictureSlot>& slot) const;
  static void drawPicture(QPainter& painter, PictureSlot& slot, int mode, const QRect& rect);

  std::vector<Row> rows_;
  std::vector<Column> columns_;
  int fixedRows_ = 0;
  int fixedColumns_ = 0;
  int currentRow_ = -1;
  int currentColumn_ = -1;
  std::function<void(int, int)> onRelease_;
  MenuProvider menuProvider_;
  static constexpr int kRepaintIntervalMs = 16;
  QBasicTimer repaintTimer_;
  QRegion pendingRepaint_;
  mutable int picturesDecoding_ = 0;
};

}  // namespace ui

#endif  // UI_GRID_WIDGET_H_
