#include "platform/address_range.h"

#include <sys/mman.h>

namespace platform {

void* ReserveAddressRange(size_t size) {
  void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool CommitAddressRange(void* at, size_t size) { return mprotect(at, size, PROT_READ | PROT_WRITE) == 0; }

}  // namespace platform
