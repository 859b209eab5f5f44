// Declared DLL commands: lazily resolved entry addresses, cached by command index, and the
// typed thunk through which the application calls them.
//
// Thread contract: GUI thread only.
#ifndef RUNTIME_DLL_COMMANDS_H_
#define RUNTIME_DLL_COMMANDS_H_

#include <cstdint>

#include "runtime/program.h"

namespace rt {

// Fills the tables from the program's declarations (addresses unresolved).
void InitDllCommands(const DllCommand* commands, int32_t count);
// The entry address of DLL command `index`, resolved once; a missing entry is a runtime
// error naming the library as declared.
void* ResolveDllCommand(int32_t index);
// Releases the modules loaded for DLL commands and clears the tables.
void ReleaseDllCommands();

// Calls DLL command `index` with the declared signature Fn.
template <typename Fn, typename... Args>
auto CallDll(int32_t index, Args... args) {
  auto* fn = reinterpret_cast<Fn*>(ResolveDllCommand(index));
  return fn(args...);
}

}  // namespace rt

#endif  // RUNTIME_DLL_COMMANDS_H_
