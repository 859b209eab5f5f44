#include "runtime/dll_commands.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/library_loader.h"
#include "runtime/application.h"
#include "runtime/errors.h"

namespace rt {
namespace {

struct Entry {
  std::string library;
  std::string function;
  void* address = nullptr;
  platform::Module* module = nullptr;
};

std::vector<Entry>& Table() {
  static std::vector<Entry> table;
  return table;
}

// The system libraries searched, in order, for a command that names no library.
const char* const kSystemLibraries[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                        "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

// Loads library `name` and looks the entry's function up in it. Found: the entry keeps the
// address and the module. *loaded tells whether the library itself could be loaded.
void* LoadFromLibrary(Entry& e, const char* name, bool* loaded) {
  platform::Module* m = platform::LoadLibraryA(name);
  *loaded = m != nullptr;
  if (m == nullptr) return nullptr;
  void* a = platform::GetProcAddress(m, e.function.c_str());
  if (a == nullptr) {
    platform::FreeLibrary(m);
    return nullptr;
  }
  e.address = a;
  e.module = m;
  return a;
}

}  // namespace

void InitDllCommands(const DllCommand* commands, int32_t count) {
  Table().clear();
  for (int32_t i = 0; i < count; ++i) {
    Table().push_back(Entry{commands[i].libraryFile ? commands[i].libraryFile : "",
                            commands[i].function ? commands[i].function : ""});
  }
}

void* ResolveDllCommand(int32_t index) {
  auto& table = Table();
  if (index < 0 || static_cast<size_t>(index) >= table.size()) {
    ReportRuntimeErrorF("无法找到指定DLL库文件中的输出命令“%d”", index);
  }
  Entry& e = table[static_cast<size_t>(index)];
  if (e.address) return e.address;

  if (e.library.empty()) {
    for (const char* name : kSystemLibraries) {
      bool loaded;
      if (void* a = LoadFromLibrary(e, name, &loaded)) return a;
    }
    ReportRuntimeErrorF("无法找到指定DLL库文件中的输出命令“%s”", e.function.c_str());
  }

  // Candidates are file names for the system: the program directory as the system gave it and
  // the declared name in the system's bytes, not the code-page texts the program keeps.
  const std::string name = platform::GbkToUtf8(e.library);
  std::vector<std::string> candidates;
  if (name.find(':') != std::string::npos) {
    candidates.push_back(name);
  } else {
    // No DLL directories are configured by this program; the program directory, then the
    // system's own search.
    if (!SystemProgramDirectory().empty()) candidates.push_back(SystemProgramDirectory() + "/" + name);
    candidates.push_back(name);
  }
  for (const std::string& candidate : candidates) {
    bool loaded;
    if (void* a = LoadFromLibrary(e, candidate.c_str(), &loaded)) return a;
    if (loaded) break;  // the library was found: its missing entry is final
  }
  ReportRuntimeErrorF("无法找到指定DLL库文件“%s”中的输出命令“%s”", e.library.c_str(), e.function.c_str());
}

void ReleaseDllCommands() {
  for (Entry& e : Table()) platform::FreeLibrary(e.module);
  Table().clear();
}

}  // namespace rt
