#include "runtime/libraries.h"

#include <string_view>

namespace rt {
namespace {
RuntimeNotifyFn g_callback = nullptr;
}  // namespace

RuntimeNotifyFn RuntimeCallback() { return g_callback; }

intptr_t StandardLibraryNotify(int32_t code, intptr_t a, intptr_t /*b*/) {
  if (code == kLibraryNotifyStart) g_callback = reinterpret_cast<RuntimeNotifyFn>(a);
  if (code == kLibraryNotifyEnd) g_callback = nullptr;
  return 0;
}

SupportLibrary MakeLibrary(const char* name, const std::vector<CommandFn>& commands) {
  return SupportLibrary{name, commands.data(), static_cast<int32_t>(commands.size()), StandardLibraryNotify};
}

const SupportLibrary& KernelLibrary() {
  static const std::vector<CommandFn> table = [] {
    std::vector<CommandFn> t;
    AppendKernelCommands(&t);
    AppendComBridgeCommands(&t);
    return t;
  }();
  static const SupportLibrary lib = MakeLibrary("kernel", table);
  return lib;
}

namespace {

// A slot the window system has not filled: the library's name, no commands.
const SupportLibrary& Unfilled(const char* name) {
  static const std::vector<CommandFn> none;
  static const SupportLibrary grid = MakeLibrary("grid", none);
  static const SupportLibrary extended = MakeLibrary("extended controls", none);
  return std::string_view(name) == "grid" ? grid : extended;
}

const SupportLibrary** Table() {
  static const SupportLibrary* all[kSupportLibraryCount] = {
      &KernelLibrary(),         &SpecialFunctionsLibrary(), &Unfilled("grid"), &Unfilled("extended controls"),
      &GeneralObjectsLibrary(), &AppInterfaceLibrary(),
  };
  return all;
}

}  // namespace

const SupportLibrary* const* AllSupportLibraries() { return Table(); }

void RegisterSupportLibrary(int32_t index, const SupportLibrary& library) {
  if (index >= 0 && index < kSupportLibraryCount) Table()[index] = &library;
}

}  // namespace rt
