#include "runtime/libraries.h"

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

const SupportLibrary* const* AllSupportLibraries() {
  static const SupportLibrary* const all[kSupportLibraryCount] = {
      &KernelLibrary(),           &SpecialFunctionsLibrary(), &GridLibrary(),
      &ExtendedControlsLibrary(), &GeneralObjectsLibrary(),   &AppInterfaceLibrary(),
  };
  return all;
}

}  // namespace rt
