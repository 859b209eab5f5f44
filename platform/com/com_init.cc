#include "platform/com/com_init.h"

#include <atomic>

namespace platform::com {
namespace {
thread_local int t_initCount = 0;
std::atomic<bool> g_oleStarted{false};
}  // namespace

HRESULT CoInitialize(void* /*reserved*/) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

bool IsComInitialized() { return t_initCount > 0; }

HRESULT OleInitialize(void* reserved) {
  g_oleStarted = true;
  return CoInitialize(reserved);
}

}  // namespace platform::com
