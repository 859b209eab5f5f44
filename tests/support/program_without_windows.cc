// The program's description for the Windows build's tests that run without the application's
// windows: they need only its declared DLL commands, in the runtime's slots, and the library
// table (where the window system's two slots stay without commands unless it is installed).
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
    {"user32.dll", "MsgWaitForMultipleObjects"},
};
static_assert(sizeof kDllCommands / sizeof kDllCommands[0] == rt::kDllMsgWaitForMultipleObjects + 1);

}  // namespace

const rt::ProgramHeader& ProgramDescription() {
  static const rt::ProgramHeader header = {
      nullptr,
      0,
      nullptr,
      0,
      nullptr,
      0,
      rt::AllSupportLibraries(),
      kDllCommands,
      static_cast<int32_t>(sizeof kDllCommands / sizeof kDllCommands[0]),
      /*prepare=*/nullptr,
      /*exitRoutine=*/nullptr,
      /*initialise=*/{nullptr, nullptr},
      0,
  };
  return header;
}

}  // namespace app
