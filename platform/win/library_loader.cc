// Declared DLL commands through the system's own LoadLibraryW and GetProcAddress. The few
// system functions whose rules the program keeps its own (code page 936 for the ANSI page, a
// wait that handles what arrives, the COM stand-ins) resolve to the platform's versions, as on
// Linux; every other export is the system's. Ordinals are refused on both platforms.
#include "platform/library_loader.h"

#include <atomic>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com_init.h"
#include "platform/event_loop.h"

// After the platform's headers: Windows' macros (S_OK and others) would rename platform/com's
// names.
#include <windows.h>

namespace platform {
namespace {

std::atomic<int64_t> g_loads{0};

struct StandIn {
  const wchar_t* module;
  const char* name;
  void* address;
};

template <typename F>
void* Address(F* f) {
  return reinterpret_cast<void*>(f);
}

const StandIn kStandIns[] = {
    {L"kernel32.dll", "MultiByteToWideChar", Address(&MultiByteToWideChar)},
    {L"kernel32.dll", "WideCharToMultiByte", Address(&WideCharToMultiByte)},
    {L"kernel32.dll", "lstrlenW", Address(&lstrlenW)},
    {L"user32.dll", "MsgWaitForMultipleObjects", Address(&MsgWaitForMultipleObjects)},
    {L"ole32.dll", "CoInitialize", Address(&com::CoInitialize)},
    {L"ole32.dll", "CoUninitialize", Address(&com::CoUninitialize)},
};

HMODULE ToHandle(Module* module) { return reinterpret_cast<HMODULE>(module); }

}  // namespace

Module* LoadLibraryA(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return nullptr;
  std::u16string wide = ToUtf16(kCodePageUtf8, fileName);  // the runtime passes UTF-8 file names
  HMODULE handle = ::LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  if (handle == nullptr) return nullptr;
  ++g_loads;
  return reinterpret_cast<Module*>(handle);
}

void* GetProcAddress(Module* module, const char* functionName) {
  if (module == nullptr || functionName == nullptr || functionName[0] == '#') return nullptr;
  for (const StandIn& s : kStandIns) {
    if (std::strcmp(s.name, functionName) == 0 && ::GetModuleHandleW(s.module) == ToHandle(module)) {
      return s.address;
    }
  }
  return reinterpret_cast<void*>(::GetProcAddress(ToHandle(module), functionName));
}

void FreeLibrary(Module* module) {
  if (module != nullptr) ::FreeLibrary(ToHandle(module));
}

int64_t LoadedLibraryCountForTesting() { return g_loads.load(); }

}  // namespace platform
