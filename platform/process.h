// Process services: module path, current directory, thread ids, process exit.
//
// Thread contract: safe from any thread.
#ifndef PLATFORM_PROCESS_H_
#define PLATFORM_PROCESS_H_

#include <cstdint>
#include <string>

namespace platform {

// The program's own full path as the system gives it, as UTF-8 bytes.
std::string GetModuleFileName();
// Test hook: GetModuleFileName gives `path` from now on (empty: the real path again), so that a
// test can place the program in a folder of its own. REQUIRES: called before the runtime starts.
void SetModuleFileNameForTesting(std::string path);
// Changes the current directory: the bytes are passed to Linux unchanged, read as UTF-8 on
// Windows (as GetModuleFileName gives them).
bool SetCurrentDirectory(const std::string& path);
uint64_t GetCurrentThreadId();
// Ends the process at once with the code (-1 is status 255); buffered output is flushed.
[[noreturn]] void ExitProcess(int32_t code);
// Keeps the calling thread waiting for good: for a thread that has handed its end to another
// thread, which ends the process.
[[noreturn]] void ParkThread();

}  // namespace platform

#endif  // PLATFORM_PROCESS_H_
