// Address space reserved without memory behind it, made usable piece by piece: the block pool's
// arena.
//
// Thread contract: safe from any thread.
#ifndef PLATFORM_ADDRESS_RANGE_H_
#define PLATFORM_ADDRESS_RANGE_H_

#include <cstddef>

namespace platform {

// Reserves `size` bytes of address space, inaccessible until committed; null when the system
// cannot give that much. The range is never handed back.
void* ReserveAddressRange(size_t size);
// Makes `size` bytes at `at`, within a reserved range, readable and writable.
bool CommitAddressRange(void* at, size_t size);

}  // namespace platform

#endif  // PLATFORM_ADDRESS_RANGE_H_
