// The grid library's commands (library 2) and typed wrappers for application code. Every
// command's first argument is the grid (a control record of type 0x00030001); the number of
// rows is the grid's property 17, read through GetUnitProperty.
//
// Commands in table order: CurrentRow, DeleteRow, InsertRow, SetCell, GetCell, SetRowHeight,
// SetColumnWidth, SetColumnKind, SetPictureMode, SetRowTip, GetRowTip.
//
// Ownership: GetCell's text or byte-set result is a new block the caller owns; the wrapper
// hands it to an owner. Thread contract: GUI thread only.
#ifndef UI_GRID_COMMANDS_H_
#define UI_GRID_COMMANDS_H_

#include <cstdint>
#include <optional>

#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "ui/control_args.h"

namespace ui::grid_commands {

void CurrentRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void DeleteRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void InsertRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetCell(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void GetCell(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetRowHeight(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetColumnWidth(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetColumnKind(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetPictureMode(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
// (grid, row, text) -> bool; (grid, row) -> text: the tip shown over a row.
void SetRowTip(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void GetRowTip(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);

}  // namespace ui::grid_commands

namespace grid {

using ui::ControlRef;

inline constexpr int32_t kPropertyRowCount = 17;
// Cell kinds of SetCell and column kinds of SetColumnKind.
inline constexpr int32_t kKindText = 1;
inline constexpr int32_t kKindCheck = 5;
inline constexpr int32_t kKindPicture = 6;
inline constexpr int32_t kModeStretch = 2;

namespace detail {
inline rt::ArgRecord Grid(ControlRef g) { return ui::ControlArg(g, rt::kTypeGrid); }
inline rt::ArgRecord Call(rt::CommandFn fn, std::initializer_list<rt::ArgRecord> args) {
  return rt::CallLibrary(rt::kLibraryGrid, fn, args);
}
}  // namespace detail

// Number of rows, the title row included.
inline int32_t RowCount(ControlRef g) {
  return static_cast<int32_t>(rt::Helpers().GetUnitProperty(g.windowId, g.unitId, kPropertyRowCount, -1));
}
// Row of the current cell, -1 when there is none.
inline int32_t CurrentRow(ControlRef g) {
  return detail::Call(ui::grid_commands::CurrentRow, {detail::Grid(g)}).i32();
}
inline bool DeleteRow(ControlRef g, int32_t row) {
  return detail::Call(ui::grid_commands::DeleteRow, {detail::Grid(g), rt::IntArg(row)}).boolean();
}
inline bool InsertRow(ControlRef g, const char* text, std::optional<int32_t> position = std::nullopt) {
  return detail::Call(ui::grid_commands::InsertRow,
                      {detail::Grid(g), rt::TextArg(text), position ? rt::IntArg(*position) : rt::Omitted()})
      .boolean();
}
// `data` is the value as the kind takes it: a text or a number for kind 1, a boolean for
// kind 5, a byte set for kind 6.
inline bool SetCell(ControlRef g, int32_t row, int32_t column, int32_t kind, const rt::ArgRecord& data) {
  return detail::Call(ui::grid_commands::SetCell,
                      {detail::Grid(g), rt::IntArg(row), rt::IntArg(column), rt::IntArg(kind), data})
      .boolean();
}
inline bool SetCellText(ControlRef g, int32_t row, int32_t column, const char* text) {
  return SetCell(g, row, column, kKindText, rt::TextArg(text));
}
inline bool SetCellPicture(ControlRef g, int32_t row, int32_t column, const unsigned char* bytes) {
  return SetCell(g, row, column, kKindPicture, rt::BytesArg(bytes));
}

// A cell's value: a text, a check state or picture bytes; a missing cell gives a value that
// is no text (empty bytes in a picture column, else false).
struct CellValue {
  rt::TypeCode type = rt::kTypeNone;
  rt::Text text;
  rt::ByteSet bytes;
  bool check = false;
  bool isText() const { return type == rt::kTypeText; }
};
inline CellValue GetCell(ControlRef g, int32_t row, int32_t column) {
  rt::ArgRecord r =
      detail::Call(ui::grid_commands::GetCell, {detail::Grid(g), rt::IntArg(row), rt::IntArg(column)});
  CellValue v;
  v.type = r.type();
  if (v.type == rt::kTypeText) v.text = rt::TextResult(r);
  if (v.type == rt::kTypeBytes) v.bytes = rt::BytesResult(r);
  if (v.type == rt::kTypeBool) v.check = r.boolean();
  return v;
}

inline bool SetRowHeight(ControlRef g, int32_t row, int32_t height) {
  return detail::Call(ui::grid_commands::SetRowHeight, {detail::Grid(g), rt::IntArg(row), rt::IntArg(height)})
      .boolean();
}
inline bool SetColumnWidth(ControlRef g, int32_t column, int32_t width) {
  return detail::Call(ui::grid_commands::SetColumnWidth,
                      {detail::Grid(g), rt::IntArg(column), rt::IntArg(width)})
      .boolean();
}
inline bool SetColumnKind(ControlRef g, int32_t column, int32_t kind) {
  return detail::Call(ui::grid_commands::SetColumnKind,
                      {detail::Grid(g), rt::IntArg(column), rt::IntArg(kind)})
      .boolean();
}
inline bool SetPictureMode(ControlRef g, int32_t column, int32_t mode) {
  return detail::Call(ui::grid_commands::SetPictureMode,
                      {detail::Grid(g), rt::IntArg(column), rt::IntArg(mode)})
      .boolean();
}

// The tip a row shows on hover; an empty text removes it. False for a missing row.
inline bool SetRowTip(ControlRef g, int32_t row, const char* text) {
  return detail::Call(ui::grid_commands::SetRowTip, {detail::Grid(g), rt::IntArg(row), rt::TextArg(text)})
      .boolean();
}
inline rt::Text GetRowTip(ControlRef g, int32_t row) {
  return rt::TextResult(detail::Call(ui::grid_commands::GetRowTip, {detail::Grid(g), rt::IntArg(row)}));
}

}  // namespace grid

#endif  // UI_GRID_COMMANDS_H_
