#include "app/program.h"

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
};

static_assert(sizeof kDllCommands / sizeof kDllCommands[0] == rt::kDllMultiByteToWideChar2 + 1);

// The application's constant data block.
alignas(8) const unsigned char kConstantData[] = {1, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

const rt::ProgramHeader& ProgramDescription() {
  static const rt::ProgramHeader header = {
      /*routines=*/nullptr,
      /*routineCount=*/0,
      kConstantData,
      sizeof kConstantData,
      /*windowData=*/nullptr,
      /*windowLength=*/0,
      rt::AllSupportLibraries(),
      kDllCommands,
      static_cast<int32_t>(sizeof kDllCommands / sizeof kDllCommands[0]),
      /*prepare=*/nullptr,
      /*exitRoutine=*/nullptr,
      /*initialise=*/{nullptr, nullptr},
      /*startWindowId=*/0,
  };
  return header;
}

}  // namespace app
