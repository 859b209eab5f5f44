#include "platform/library_loader.h"

#include <dlfcn.h>
#include <strings.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com_init.h"
#include "platform/event_loop.h"

namespace platform {

struct Export {
  const char* name;
  void* address;
};

struct Module {
  const char* builtinName = nullptr;  // set for built-in modules
  const Export* exports = nullptr;
  int exportCount = 0;
  void* shared = nullptr;  // dlopen handle otherwise
};

namespace {

std::atomic<int64_t> g_loads{0};

template <typename F>
void* Address(F* f) {
  return reinterpret_cast<void*>(f);
}

const Export kKernel32[] = {
    {"MultiByteToWideChar", Address(&MultiByteToWideChar)},
    {"WideCharToMultiByte", Address(&WideCharToMultiByte)},
    {"lstrlenW", Address(&lstrlenW)},
};
const Export kUser32[] = {
    {"MsgWaitForMultipleObjects", Address(&MsgWaitForMultipleObjects)},
};
const Export kOle32[] = {
    {"CoInitialize", Address(&com::CoInitialize)},
    {"CoUninitialize", Address(&com::CoUninitialize)},
};

Module g_builtins[] = {
    {"kernel32.dll", kKernel32, 3, nullptr}, {"gdi32.dll", nullptr, 0, nullptr},
    {"user32.dll", kUser32, 1, nullptr},     {"advapi32.dll", nullptr, 0, nullptr},
    {"mpr.dll", nullptr, 0, nullptr},        {"shell32.dll", nullptr, 0, nullptr},
    {"ole32.dll", kOle32, 2, nullptr},
};

// The file part of a name, with ".dll" added when it has no extension.
std::string BuiltinKey(const char* fileName) {
  const char* base = fileName;
  for (const char* p = fileName; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  std::string key(base);
  if (key.find('.') == std::string::npos) key += ".dll";
  return key;
}

}  // namespace

Module* LoadLibraryA(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return nullptr;
  std::string key = BuiltinKey(fileName);
  for (Module& m : g_builtins) {
    if (strcasecmp(m.builtinName, key.c_str()) == 0) {
      ++g_loads;
      return &m;
    }
  }
  void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  ++g_loads;
  auto* m = new Module;  // released by FreeLibrary
  m->shared = handle;
  return m;
}

void* GetProcAddress(Module* module, const char* functionName) {
  if (module == nullptr || functionName == nullptr || functionName[0] == '#') return nullptr;
  if (module->shared) return dlsym(module->shared, functionName);
  for (int i = 0; i < module->exportCount; ++i) {
    if (std::strcmp(module->exports[i].name, functionName) == 0) return module->exports[i].address;
  }
  return nullptr;
}

void FreeLibrary(Module* module) {
  if (module == nullptr || module->shared == nullptr) return;  // built-ins live for ever
  dlclose(module->shared);
  delete module;
}

int64_t LoadedLibraryCountForTesting() { return g_loads.load(); }

}  // namespace platform
