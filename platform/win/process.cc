// Process services over kernel32. The module path is given as UTF-8 bytes, as on Linux, so that
// a path outside the ANSI code page survives.
#include <windows.h>
// The platform's names, not the Unicode-switching macros of the same names.
#undef GetModuleFileName
#undef SetCurrentDirectory

#include <cstdio>
#include <string>
#include <utility>

#include "platform/codepage.h"
#include "platform/process.h"

namespace platform {
namespace {
std::string& ModulePathOverride() {
  static std::string path;
  return path;
}
}  // namespace

void SetModuleFileNameForTesting(std::string path) { ModulePathOverride() = std::move(path); }

std::string GetModuleFileName() {
  if (!ModulePathOverride().empty()) return ModulePathOverride();
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                   static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return FromUtf16(kCodePageUtf8, path);
    }
    path.resize(path.size() * 2);  // cut short: a longer path than MAX_PATH
  }
}

bool SetCurrentDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::u16string wide = ToUtf16(kCodePageUtf8, path);
  return ::SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(wide.c_str())) != 0;
}

uint64_t GetCurrentThreadId() { return ::GetCurrentThreadId(); }

void ExitProcess(int32_t code) {
  std::fflush(nullptr);
  ::ExitProcess(static_cast<UINT>(code));
}

void ParkThread() {
  for (;;) ::Sleep(INFINITE);
}

}  // namespace platform
