// Process services: module path, current directory, thread ids, process exit.
//
// Thread contract: safe from any thread.
#ifndef PLATFORM_PROCESS_H_
#define PLATFORM_PROCESS_H_

#include <cstdint>
#include <string>

namespace platform {

// The program's own full path as the system gives it (UTF-8 bytes on Linux).
std::string GetModuleFileName();
// Changes the current directory; the bytes are passed to the system unchanged.
bool SetCurrentDirectory(const std::string& path);
uint64_t GetCurrentThreadId();
// Ends the process at once with the code (-1 is status 255); buffered output is flushed.
[[noreturn]] void ExitProcess(int32_t code);

}  // namespace platform

#endif  // PLATFORM_PROCESS_H_
