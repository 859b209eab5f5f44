// The main window's template: its units with ids, places, sizes, initial contents and event
// bindings, described here and serialised into the program's window data.
//
// Ownership: the window data is static and lives for the whole run.
// Thread contract: build it on one thread (the first call); afterwards immutable.
#ifndef APP_MAIN_WINDOW_H_
#define APP_MAIN_WINDOW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ui/control_args.h"
#include "ui/window_template.h"

namespace app {

inline constexpr int32_t kMainWindowId = 0x52010001;
inline constexpr int32_t k标签1 = 0x16012704;
inline constexpr int32_t k超级列表框1 = 0x160126FA;
inline constexpr int32_t k编辑框2 = 0x160126E0;
inline constexpr int32_t k编辑框1 = 0x160126DF;
inline constexpr int32_t k高级表格1 = 0x160125DB;
inline constexpr int32_t k按钮1 = 0x16010002;

// The grid and the list as the grid and list operations name them.
inline constexpr ui::ControlRef kResultGrid{kMainWindowId, k高级表格1};
inline constexpr ui::ControlRef kAddressList{kMainWindowId, k超级列表框1};

// The result grid's columns (row 0 holds their titles; a video per row from row 1).
inline constexpr int32_t kNumberColumn = 0;
inline constexpr int32_t kPictureColumn = 1;
inline constexpr int32_t kAddressColumn = 2;  // the play addresses, joined
inline constexpr int32_t kTitleColumn = 3;
// The address list's columns: a line per quality of the clicked row.
inline constexpr int32_t kListNumberColumn = 0;
inline constexpr int32_t kListQualityColumn = 1;
inline constexpr int32_t kListAddressColumn = 2;

// The unit property that holds the window's and a button's caption and an edit box's content.
inline constexpr int32_t kTextProperty = 8;

// The routine slots the window's bindings name (indexes into the program's routine table).
enum RoutineSlot : int32_t {
  kInitResultGridSlot = 0,
  kLookUpVideosSlot = 1,
  kShowRowAddressesSlot = 2,
  kCopySelectedAddressSlot = 3,
  kRoutineSlotCount = 4,
};

// Events the window binds.
inline constexpr int32_t kWindowCreatedEvent = 0;
inline constexpr int32_t kButtonClickedEvent = 0;
inline constexpr int32_t kGridLeftButtonUpEvent = 5;
inline constexpr int32_t kListClickedEvent = 4;

// The address 编辑框2 holds when the window opens.
std::string SampleAddress();

// The readable description of the main window.
ui::WindowData MainWindowDescription();
// The serialised window data of the program.
const std::vector<unsigned char>& MainWindowData();

}  // namespace app

#endif  // APP_MAIN_WINDOW_H_
