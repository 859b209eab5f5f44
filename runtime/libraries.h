// The six support libraries, by index, each with its command table and notification entry. The
// runtime fills four slots with its own libraries (kernel, special functions, general objects,
// app interface); the window system registers its two (grid, extended controls), which until
// then are named libraries without commands.
//
// Thread contract: the descriptors are immutable after first use; the table changes only by
// RegisterSupportLibrary, before the runtime starts; GUI thread only.
#ifndef RUNTIME_LIBRARIES_H_
#define RUNTIME_LIBRARIES_H_

#include <vector>

#include "runtime/program.h"

namespace rt {

inline constexpr int32_t kLibraryKernel = 0;
inline constexpr int32_t kLibrarySpecial = 1;
inline constexpr int32_t kLibraryGrid = 2;
inline constexpr int32_t kLibraryExtended = 3;
inline constexpr int32_t kLibraryGeneralObjects = 4;
inline constexpr int32_t kLibraryAppInterface = 5;

const SupportLibrary& KernelLibrary();
const SupportLibrary& SpecialFunctionsLibrary();
const SupportLibrary& GeneralObjectsLibrary();
const SupportLibrary& AppInterfaceLibrary();
// The window system's two, defined by it (ui/grid_library.cc, ui/extended_library.cc): the
// runtime names them only here and never calls them.
const SupportLibrary& GridLibrary();
const SupportLibrary& ExtendedControlsLibrary();

// The six descriptors by library index: the same table for the whole process, so that a program
// description taken before a registration sees it.
const SupportLibrary* const* AllSupportLibraries();

// Puts `library` into slot `index` of the table.
// REQUIRES: 0 <= index < kSupportLibraryCount; called before the runtime starts; `library`
// lives until the process ends.
void RegisterSupportLibrary(int32_t index, const SupportLibrary& library);

// The runtime's callback as a library received it at start (null before).
RuntimeNotifyFn RuntimeCallback();
// The notification entry every library uses: keeps the callback on code 1, drops it on 6.
intptr_t StandardLibraryNotify(int32_t code, intptr_t a, intptr_t b);

// Builds a descriptor whose command table is `commands` (kept alive by the caller).
SupportLibrary MakeLibrary(const char* name, const std::vector<CommandFn>& commands);

// Command tables of the kernel library's two families, filled by their modules.
void AppendKernelCommands(std::vector<CommandFn>* table);
void AppendComBridgeCommands(std::vector<CommandFn>* table);

}  // namespace rt

#endif  // RUNTIME_LIBRARIES_H_
