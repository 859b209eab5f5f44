// The grid control's view on Windows: a window of its own class that draws a grid model
// (ui/grid_model.h) with GDI into a back buffer, and takes the user's input. A left press makes
// the clicked cell current (never a fixed one), a left release calls the owner's handler with
// client coordinates, the right button or the menu key shows the context menu whose entries the
// owner gives, and a row's tip shows while the pointer rests on it (a tooltip control). The
// scroll bars and the wheel move the rows and columns that are not fixed. Data changes are
// painted at most once per 16 ms (the invalidated parts are gathered and handed over by a
// timer); what the user does is painted at once. Pictures are decoded on the system's thread
// pool the first time they are drawn, so that a paint never waits for a decoder.
//
// The window answers WM_PRINTCLIENT with the same drawing, which is how its pixels are read
// back without a screen, and takes its texts' font with WM_SETFONT (the system's GUI font
// until then; the sender keeps the font alive).
//
// Ownership: the view owns its window (destroyed with the view, or by its parent first, after
// which the view only answers its model) and its model.
// Thread contract: GUI thread only; the window belongs to the thread that made the view.
#ifndef UI_WIN_GRID_VIEW_H_
#define UI_WIN_GRID_VIEW_H_

#include <functional>
#include <memory>
#include <utility>

#include "ui/context_menu.h"
#include "ui/grid_model.h"

struct HWND__;

namespace ui {

class GridView {
 public:
  // Makes the window, hidden: a child of `parent` at the given place in its client area, or
  // without a parent a top-level window of that size.
  GridView(HWND__* parent, int x, int y, int width, int height);
  ~GridView();
  GridView(const GridView&) = delete;
  GridView& operator=(const GridView&) = delete;

  // Null once the window is gone.
  HWND__* hwnd() const;
  // The data and its rules; every change repaints what it touches.
  GridModel& model();

  // How far the scrolled rows and columns have moved.
  GridScroll scroll() const;
  // The cell's rectangle in client coordinates (grid lines excluded), empty for a missing cell;
  // the cell under a client point, or {-1, -1}.
  GridRect cellRect(int row, int column) const;
  std::pair<int, int> cellAt(int x, int y) const;

  // Called when the left button is released over the grid, after the press has made the
  // clicked cell current; receives the client coordinates.
  void setLeftButtonReleasedHandler(std::function<void(int x, int y)> handler);
  // The entries of the context menu for the row under the pointer (-1 where there is none), or
  // with the menu key the current row. Neither changes the current cell.
  void setContextMenuProvider(MenuProvider provider);

  // Paints as often as data changed, at most once per this many milliseconds.
  static constexpr int kRepaintIntervalMs = 16;

  class Impl;  // the window's state, reached from its window procedure

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui

#endif  // UI_WIN_GRID_VIEW_H_
