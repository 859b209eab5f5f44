// Library loading for declared DLL commands: built-in modules stand in for the system
// libraries (matched as the platform matches them: case-insensitively, ".dll" implied);
// any other name is a real shared object.
//
// Thread contract: loading and resolving are done on the GUI thread.
#ifndef PLATFORM_LIBRARY_LOADER_H_
#define PLATFORM_LIBRARY_LOADER_H_

#include <cstdint>

namespace platform {

struct Module;  // opaque: a built-in module or a loaded shared object

// Null when no such library exists.
Module* LoadLibraryA(const char* fileName);
// The exported function's address, or null. A name starting with "#" is an ordinal; the
// built-in modules and shared objects export none.
void* GetProcAddress(Module* module, const char* functionName);
void FreeLibrary(Module* module);

// Number of LoadLibraryA calls that found a library, for tests that check caching.
int64_t LoadedLibraryCountForTesting();

}  // namespace platform

#endif  // PLATFORM_LIBRARY_LOADER_H_
