#include "ui/grid_model.h"

#include <algorithm>

namespace ui {

void GridModel::Reset(int rows, int columns, int fixedRows, int fixedColumns, int rowHeight,
                      int columnWidth) {
  rows = std::max(rows, 0);
  columns = std::max(columns, 0);
  columns_.assign(static_cast<size_t>(columns), Column{std::max(columnWidth, 0), kKindText, kModeStretch});
  rows_.assign(static_cast<size_t>(rows),
               Row{std::max(rowHeight, 0), std::vector<Cell>(columns_.size()), {}});
  fixedRows_ = std::clamp(fixedRows, 0, rows);
  fixedColumns_ = std::clamp(fixedColumns, 0, columns);
  currentRow_ = currentColumn_ = -1;
  Changed(Change::kLayout);
}

bool GridModel::cellExists(int row, int column) const {
  return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
}

bool GridModel::setCurrentCell(int row, int column) {
  if (!cellExists(row, column) || isFixed(row, column)) return false;
  currentRow_ = row;
  currentColumn_ = column;
  Changed(Change::kCurrent, row, column);
  return true;
}

bool GridModel::deleteRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  const bool wasLast = currentRow_ == rowCount() - 1;
  rows_.erase(rows_.begin() + row);
  if (row < fixedRows_) --fixedRows_;
  if (wasLast && currentRow_ >= 0) --currentRow_;
  if (currentRow_ >= 0 && currentRow_ < fixedRows_) currentRow_ = currentColumn_ = -1;
  Changed(Change::kLayout);
  return true;
}

bool GridModel::insertRow(std::string_view text, std::optional<int> position) {
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
  Changed(Change::kLayout);
  return true;
}

bool GridModel::setCellText(int row, int column, std::string_view text) {
  if (!cellExists(row, column)) return false;
  const int kind = columns_[column].kind;
  if (!isFixed(row, column) && (kind == kKindPicture || kind == kKindCheck)) return false;
  rows_[row].cells[column].text.assign(text);
  Changed(Change::kCell, row, column);
  return true;
}

bool GridModel::setCellCheck(int row, int column, bool checked) {
  if (!cellExists(row, column) || columns_[column].kind != kKindCheck) return false;
  rows_[row].cells[column].check = checked;
  Changed(Change::kCell, row, column);
  return true;
}

bool GridModel::setCellPicture(int row, int column, std::string_view bytes) {
  if (!cellExists(row, column) || columns_[column].kind != kKindPicture) return false;
  auto slot = std::make_shared<PictureSlot>();
  slot->bytes = std::make_shared<const std::string>(bytes);
  // Bytes of no known format never become a picture; anything else waits to be decoded.
  slot->decoded = platform::DetectPictureFormat(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                bytes.size()) == platform::PictureFormat::kNone;
  rows_[row].cells[column].picture = std::move(slot);
  Changed(Change::kCell, row, column);
  return true;
}

GridModel::CellValue GridModel::cellValue(int row, int column) const {
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

bool GridModel::setRowToolTip(int row, std::string_view text) {
  if (row < 0 || row >= rowCount()) return false;
  rows_[static_cast<size_t>(row)].toolTip = std::string(text);
  return true;
}

std::string GridModel::rowToolTip(int row) const {
  if (row < 0 || row >= rowCount()) return std::string();
  return rows_[static_cast<size_t>(row)].toolTip;
}

bool GridModel::setRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount() || height < 0) return false;
  rows_[row].height = height;
  Changed(Change::kLayout);
  return true;
}

bool GridModel::setColumnWidth(int column, int width) {
  if (column < 0 || column >= columnCount() || width < 0) return false;
  columns_[column].width = width;
  Changed(Change::kLayout);
  return true;
}

int GridModel::rowHeight(int row) const { return row >= 0 && row < rowCount() ? rows_[row].height : -1; }
int GridModel::columnWidth(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].width : -1;
}

bool GridModel::setColumnKind(int column, int kind) {
  if (column < 0 || column >= columnCount() || kind < 1 || kind > 8) return false;
  columns_[column].kind = kind;
  Changed(Change::kContent);
  return true;
}

int GridModel::columnKind(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].kind : 0;
}

bool GridModel::setPictureMode(int column, int mode) {
  if (column < 0 || column >= columnCount() || columns_[column].kind != kKindPicture) return false;
  if (mode < kModeTile || mode > kModeFit) return false;
  columns_[column].mode = mode;
  Changed(Change::kContent);
  return true;
}

int GridModel::pictureMode(int column) const {
  return column >= 0 && column < columnCount() && columns_[column].kind == kKindPicture
             ? columns_[column].mode
             : 0;
}

// ---- Pictures ----------------------------------------------------------------------------

std::shared_ptr<const platform::Picture> GridModel::Decode(const std::string& bytes) {
  platform::Picture picture =
      platform::LoadPicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  if (picture.isNull()) return nullptr;
  return std::make_shared<const platform::Picture>(std::move(picture));
}

std::shared_ptr<const platform::Picture> GridModel::cellPicture(int row, int column) {
  if (!cellExists(row, column)) return nullptr;
  PictureSlot* slot = rows_[row].cells[column].picture.get();
  if (slot == nullptr) return nullptr;
  if (!slot->decoded) {
    slot->picture = Decode(*slot->bytes);
    slot->decoded = true;  // a decoding task still running finds the work done
  }
  return slot->picture;
}

GridModel::DecodeJob GridModel::StartDecoding(const std::shared_ptr<PictureSlot>& slot) {
  slot->decoding = true;
  ++picturesDecoding_;
  return DecodeJob{slot, slot->bytes};
}

bool GridModel::FinishDecoding(const std::weak_ptr<PictureSlot>& weak,
                               std::shared_ptr<const platform::Picture> picture) {
  --picturesDecoding_;
  std::shared_ptr<PictureSlot> slot = weak.lock();
  if (!slot) return false;  // the cell is gone
  slot->decoding = false;
  if (!slot->decoded) {
    slot->picture = std::move(picture);
    slot->decoded = true;
  }
  return true;
}

// ---- Geometry ----------------------------------------------------------------------------

int GridModel::fixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedColumns_; ++c) w += columns_[c].width;
  return w;
}

int GridModel::fixedHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRows_; ++r) h += rows_[r].height;
  return h;
}

int GridModel::contentWidth() const {
  int w = 0;
  for (const Column& c : columns_) w += c.width;
  return w;
}

int GridModel::contentHeight() const {
  int h = 0;
  for (const Row& r : rows_) h += r.height;
  return h;
}

int GridModel::columnLeft(int column, GridScroll scroll) const {
  int x = 0;
  for (int c = 0; c < column; ++c) x += columns_[c].width;
  if (column >= fixedColumns_) x -= scroll.x;
  return x;
}

int GridModel::rowTop(int row, GridScroll scroll) const {
  int y = 0;
  for (int r = 0; r < row; ++r) y += rows_[r].height;
  if (row >= fixedRows_) y -= scroll.y;
  return y;
}

GridRect GridModel::cellRect(int row, int column, GridScroll scroll) const {
  if (!cellExists(row, column)) return GridRect();
  return cellRectAt(columnLeft(column, scroll), rowTop(row, scroll), row, column);
}

GridRect GridModel::cellRectAt(int left, int top, int row, int column) const {
  return GridRect{left, top, std::max(columns_[column].width - 1, 0), std::max(rows_[row].height - 1, 0)};
}

std::pair<int, int> GridModel::cellAt(int x, int y, GridScroll scroll) const {
  // A point over the fixed part hits only fixed rows or columns there.
  int column = -1;
  int left = 0;
  for (int c = 0; c < columnCount(); left += columns_[c].width, ++c) {
    if (c == fixedColumns_) {
      if (x < left) break;  // covered by the fixed columns
      left -= scroll.x;
    }
    if (x >= left && x < left + columns_[c].width) {
      column = c;
      break;
    }
  }
  int row = -1;
  int top = 0;
  for (int r = 0; r < rowCount(); top += rows_[r].height, ++r) {
    if (r == fixedRows_) {
      if (y < top) break;
      top -= scroll.y;
    }
    if (y >= top && y < top + rows_[r].height) {
      row = r;
      break;
    }
  }
  if (row < 0 || column < 0) return {-1, -1};
  return {row, column};
}

void GridModel::ForEachCellInView(int width, int height, GridScroll scroll,
                                  const std::function<void(const GridRect&)>& clip,
                                  const std::function<void(int, int, const GridRect&)>& cell) const {
  const int fixedW = fixedWidth();
  const int fixedH = fixedHeight();
  for (int pass = 0; pass < 4; ++pass) {
    const bool fixedRowPass = pass >= 2;
    const bool fixedColumnPass = pass % 2 == 1;
    const int clipLeft = fixedColumnPass ? 0 : fixedW;
    const int clipTop = fixedRowPass ? 0 : fixedH;
    clip(GridRect{clipLeft, clipTop, std::max(width - clipLeft, 0), std::max(height - clipTop, 0)});
    // Sizes are never negative, so the first row or column past the view ends the walk.
    const int firstRow = fixedRowPass ? 0 : fixedRows_;
    const int endRow = fixedRowPass ? fixedRows_ : rowCount();
    const int firstColumn = fixedColumnPass ? 0 : fixedColumns_;
    const int endColumn = fixedColumnPass ? fixedColumns_ : columnCount();
    if (firstRow >= endRow || firstColumn >= endColumn) continue;
    const int startLeft = columnLeft(firstColumn, scroll);
    int top = rowTop(firstRow, scroll);
    for (int r = firstRow; r < endRow; top += rows_[r].height, ++r) {
      if (top >= height) break;
      if (top + rows_[r].height < 0) continue;
      int left = startLeft;
      for (int c = firstColumn; c < endColumn; left += columns_[c].width, ++c) {
        if (left >= width) break;
        if (left + columns_[c].width < 0) continue;
        cell(r, c, cellRectAt(left, top, r, c));
      }
    }
  }
}

}  // namespace ui
