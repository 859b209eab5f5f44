// The routines that prepare the result grid and connect it with the address list:
// InitResultGrid (the main window was created), ShowRowAddresses (the left button was
// released over the grid) and CopySelectedAddress (the list was clicked). Each is an event
// routine of the program's routine table, written on the kernel commands and the grid and
// list operations only.
//
// Thread contract: GUI thread, inside their events.
#ifndef APP_RESULT_GRID_H_
#define APP_RESULT_GRID_H_

#include <cstdint>

namespace app {

// Titles of columns 0 to 3; column 1 becomes a picture column that stretches its pictures. The
// list and the grid get their context menus (app/download_commands.h).
int64_t InitResultGrid(int32_t argCount, const int64_t* args, int32_t* resultGiven);
// Lists the addresses of the current row's column 2 (each followed by "||"): one list line
// per address (number, quality, address) and all of them, one per line, in 编辑框1. Its two
// arguments (the mouse position) are not read. Without a current cell the cell reads as the
// empty text, so the list and 编辑框1 are emptied.
int64_t ShowRowAddresses(int32_t argCount, const int64_t* args, int32_t* resultGiven);
// Puts the address of the first selected list line on the clipboard (an empty text when no
// line is selected).
int64_t CopySelectedAddress(int32_t argCount, const int64_t* args, int32_t* resultGiven);

}  // namespace app

#endif  // APP_RESULT_GRID_H_
