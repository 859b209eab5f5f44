#include "platform/process.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
namespace {
std::string& ModulePathOverride() {
  static std::string path;
  return path;
}
}  // namespace

void SetModuleFileNameForTesting(std::string path) { ModulePathOverride() = std::move(path); }

std::string GetModuleFileName() {
  if (!ModulePathOverride().empty()) return ModulePathOverride();
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return std::string();
  return std::string(buf.data(), static_cast<size_t>(n));
}

bool SetCurrentDirectory(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

uint64_t GetCurrentThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

void ExitProcess(int32_t code) {
  std::fflush(nullptr);
  _exit(code);
}

void ParkThread() {
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace platform
