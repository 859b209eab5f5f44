// Declared DLL commands: lazily resolved entry addresses, cached by command index, and the
// typed thunk through which the application calls them.
//
// Thread contract: GUI thread only.
#ifndef RUNTIME_DLL_COMMANDS_H_
#define RUNTIME_DLL_COMMANDS_H_

#include <cstdint>

#include "runtime/program.h"

namespace rt {

// The program's declared DLL commands by index; the program description declares them in
// this order.
enum DllCommandIndex : int32_t {
  kDllCoInitialize = 0,
  kDllCoUninitialize = 1,
  kDllMultiByteToWideChar = 2,  // declared without a library: found among the system libraries
  kDllLstrlenW = 3,
  kDllWideCharToMultiByte = 4,
  kDllWideCharToMultiByte2 = 5,
  kDllMultiByteToWideChar2 = 6,
  kDllMsgWaitForMultipleObjects = 7,
};

// Declared signatures, for CallDll.
using CoInitializeFn = int32_t(void*);
using CoUninitializeFn = void();
using MultiByteToWideCharFn = int32_t(uint32_t codePage, uint32_t flags, const char* src, int32_t srcLength,
                                      char16_t* dst, int32_t dstLength);
using LstrlenWFn = int32_t(const char16_t*);
// MsgWaitForMultipleObjects' wake mask for any input (QS_ALLINPUT).
inline constexpr uint32_t kQsAllInput = 0x04FF;
using MsgWaitForMultipleObjectsFn = uint32_t(uint32_t count, const void* const* handles, int32_t waitAll,
                                             uint32_t milliseconds, uint32_t wakeMask);
using WideCharToMultiByteFn = int32_t(uint32_t codePage, uint32_t flags, const char16_t* src,
                                      int32_t srcLength, char* dst, int32_t dstLength,
                                      const char* defaultChar, int32_t* usedDefault);

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
