#include "platform/address_range.h"

#include <windows.h>

namespace platform {

void* ReserveAddressRange(size_t size) { return ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS); }

bool CommitAddressRange(void* at, size_t size) {
  return ::VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

}  // namespace platform
