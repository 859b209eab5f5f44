// The grid library's control WGrid (0x00030001, library 2) and the extended controls
// library's ListView (0x00040004, library 3, report view) as units of window templates: their
// type data, how a live control is built from it, their type properties and events.
//
// WGrid: type data = rows, columns, fixed rows, fixed columns, default row height, default
// column width. Type property 17 (number 9) reads the number of rows. Event 5: the left
// button was released over the grid after the press made the clicked cell current;
// arguments x, y in client coordinates.
// ListView: type data = view style (1: report) and the columns (title, width). Type property
// 35 (number 27) reads the first selected item, -1 when none. Event 4: clicked.
//
// Thread contract: GUI thread only.
#ifndef UI_GRID_CONTROL_H_
#define UI_GRID_CONTROL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

inline constexpr int32_t kGridEventLeftReleased = 5;
inline constexpr int32_t kGridPropertyRowCount = 17;
inline constexpr int32_t kListViewEventClicked = 4;
inline constexpr int32_t kListViewPropertySelectedItem = 35;

struct GridTypeData {
  int32_t rows = 1;
  int32_t columns = 1;
  int32_t fixedRows = 0;
  int32_t fixedColumns = 0;
  int32_t rowHeight = 24;
  int32_t columnWidth = 60;
  std::string Encode() const;
  // False for damaged data, negative values, fixed counts above the counts or counts beyond
  // what a grid of the program can hold.
  static bool Decode(std::string_view bytes, GridTypeData* out);
};

struct ListViewTypeData {
  static constexpr uint32_t kReportView = 1;
  struct Column {
    std::string title;
    int32_t width = 0;
  };
  uint32_t view = kReportView;
  std::vector<Column> columns;
  std::string Encode() const;
  static bool Decode(std::string_view bytes, ListViewTypeData* out);
};

// Registers WGrid (library 2) and ListView (library 3).
void RegisterGridAndListControls();

}  // namespace ui

#endif  // UI_GRID_CONTROL_H_
