#include "app/program.h"

#include "app/constants.h"
#include "app/look_up_videos.h"
#include "app/main_window.h"
#include "app/result_grid.h"
#include "runtime/dll_commands.h"
#include "runtime/libraries.h"

namespace app {
namespace {

const rt::DllCommand kDllCommands[] = {
    {"ole32.dll", "CoInitialize"},
    {"ole32.dll", "CoUninitialize"},
    {"", "MultiByteToWideChar"},
    {"kernel32", "lstrlenW"},
    {"kernel32.dll", "WideCharToMultiByte"},
    {"kernel32.dll", "WideCharToMultiByte"},
    {"kernel32.dll", "MultiByteToWideChar"},
    {"user32.dll", "MsgWaitForMultipleObjects"},
};

static_assert(sizeof kDllCommands / sizeof kDllCommands[0] == rt::kDllMsgWaitForMultipleObjects + 1);

// The code base: the routines the window's bindings name, by slot.
const rt::AppRoutine kRoutines[kRoutineSlotCount] = {
    /*kInitResultGridSlot=*/InitResultGrid,
    /*kLookUpVideosSlot=*/LookUpVideos,
    /*kShowRowAddressesSlot=*/ShowRowAddresses,
    /*kCopySelectedAddressSlot=*/CopySelectedAddress,
};

}  // namespace

const rt::ProgramHeader& ProgramDescription() {
  static const rt::ProgramHeader header = {
      kRoutines,
      kRoutineSlotCount,
      &kProgramConstants,
      sizeof kProgramConstants,
      MainWindowData().data(),
      MainWindowData().size(),
      rt::AllSupportLibraries(),
      kDllCommands,
      static_cast<int32_t>(sizeof kDllCommands / sizeof kDllCommands[0]),
      /*prepare=*/nullptr,
      /*exitRoutine=*/nullptr,
      /*initialise=*/{nullptr, nullptr},
      kMainWindowId,
  };
  return header;
}

}  // namespace app
