// The grid control's data and rules, without a toolkit: rows and columns from 0, the first rows
// and columns fixed (they stay in view and never become the current cell), cells holding a text,
// a check mark or a picture's bytes, a kind per column (1 to 8; 5 check marks, 6 pictures) and a
// picture mode per picture column, row heights and column widths, a current cell or none, row
// tips, and the geometry of cells in a scrolled view. The operations answer exactly as the grid
// library's commands report them. The grid's two views (ui/qt/grid_widget.h, ui/win/grid_view.h)
// draw it and take the user's input; neither keeps a rule of its own.
//
// Texts are code page 936 bytes; picture cells keep the bytes they were given and are decoded
// when the picture is first needed (drawn or asked for), so that filling a grid of many rows
// is not held up by decoding and only the pictures shown are ever decoded.
//
// Ownership: the view that draws a model owns it. Picture slots are shared with decoding tasks
// while those run (a row that moves or goes meanwhile takes its slot along or drops it).
// Thread contract: GUI thread only, except Decode, which any thread may call.
#ifndef UI_GRID_MODEL_H_
#define UI_GRID_MODEL_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/picture/picture_loader.h"

namespace ui {

// A rectangle in a view's client coordinates: right() and bottom() are the first pixels past it.
struct GridRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  bool contains(int x, int y) const { return x >= left && x < right() && y >= top && y < bottom(); }
  bool operator==(const GridRect&) const = default;
};

// How far the scrolled rows and columns have moved (the scroll bars' values).
struct GridScroll {
  int x = 0;
  int y = 0;
};

class GridModel {
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

  // What a view keeps of a picture for drawing (its own image, a copy scaled to a cell), kept
  // with the picture so that a repaint reuses it and it goes when the picture goes.
  class PictureDrawing {
   public:
    virtual ~PictureDrawing() = default;
  };

  // A picture cell's bytes and their decoding.
  struct PictureSlot {
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const platform::Picture> picture;  // null until decoded, or when none
    bool decoded = true;                      // false until decoded (bytes of no known format never are)
    bool decoding = false;                    // a task on another thread decodes the bytes
    std::unique_ptr<PictureDrawing> drawing;  // the view's; reset when the picture changes
  };

  // What changed, for the view: kLayout (counts or sizes: scroll ranges and every cell),
  // kContent (every cell's drawing), kCell (the cell at row, column), kCurrent (the current cell,
  // which the user sees at once).
  enum class Change { kLayout, kContent, kCell, kCurrent };
  using ChangeHandler = std::function<void(Change change, int row, int column)>;
  void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }

  // Replaces the whole grid: rows and columns of the given sizes, every cell empty, every
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

  // For drawing: a cell's text, check mark and picture slot (null: no bytes were given).
  // REQUIRES: cellExists(row, column).
  const std::string& cellText(int row, int column) const { return rows_[row].cells[column].text; }
  bool cellCheck(int row, int column) const { return rows_[row].cells[column].check; }
  const std::shared_ptr<PictureSlot>& pictureSlot(int row, int column) const {
    return rows_[row].cells[column].picture;
  }

  // ---- Pictures ----
  // The decoded picture of a cell (null when none); decodes it now if that has not happened.
  std::shared_ptr<const platform::Picture> cellPicture(int row, int column);
  // Decodes picture bytes; null when they hold none. Any thread.
  static std::shared_ptr<const platform::Picture> Decode(const std::string& bytes);
  // What a task needs to decode a slot on another thread: the slot is marked as being decoded
  // and counted until FinishDecoding is called for it.
  struct DecodeJob {
    std::weak_ptr<PictureSlot> slot;
    std::shared_ptr<const std::string> bytes;
  };
  DecodeJob StartDecoding(const std::shared_ptr<PictureSlot>& slot);
  // Takes a task's result back on the GUI thread; false when the slot is gone (its row went).
  bool FinishDecoding(const std::weak_ptr<PictureSlot>& slot,
                      std::shared_ptr<const platform::Picture> picture);
  // Pictures being decoded on other threads (tests wait for them).
  int picturesDecoding() const { return picturesDecoding_; }

  // ---- Geometry ----
  // Fixed rows and columns stand still; the others move with the scroll offsets. A cell's
  // right and bottom pixel lines are its grid lines, outside its rectangle.
  int fixedWidth() const;
  int fixedHeight() const;
  int contentWidth() const;
  int contentHeight() const;
  // The cell's rectangle, grid lines excluded; empty for a missing cell. Scrolled cells may
  // lie outside the view.
  GridRect cellRect(int row, int column, GridScroll scroll) const;
  // The cell under a client point, or {-1, -1}. Fixed rows and columns cover the scrolled
  // ones that pass under them.
  std::pair<int, int> cellAt(int x, int y, GridScroll scroll) const;
  // Walks the cells that meet a view of `width` by `height` in the order they are painted:
  // the scrolled cells first, then those of the fixed columns, of the fixed rows and the fixed
  // corner. `clip` is called before each of the four groups with the part of the view its
  // cells may paint (so that no scrolled cell covers a fixed one); `cell` for each cell, with
  // its rectangle. Edges are added up along the walk, so a paint costs the cells in view plus
  // one pass over the rows and columns before them, never the square of the row count.
  void ForEachCellInView(int width, int height, GridScroll scroll,
                         const std::function<void(const GridRect&)>& clip,
                         const std::function<void(int row, int column, const GridRect&)>& cell) const;

 private:
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
  int columnLeft(int column, GridScroll scroll) const;
  int rowTop(int row, GridScroll scroll) const;
  GridRect cellRectAt(int left, int top, int row, int column) const;
  void Changed(Change change, int row = -1, int column = -1) const {
    if (onChange_) onChange_(change, row, column);
  }

  std::vector<Row> rows_;
  std::vector<Column> columns_;
  int fixedRows_ = 0;
  int fixedColumns_ = 0;
  int currentRow_ = -1;
  int currentColumn_ = -1;
  int picturesDecoding_ = 0;
  ChangeHandler onChange_;
};

}  // namespace ui

#endif  // UI_GRID_MODEL_H_
