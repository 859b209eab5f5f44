// The block pool: size-classed stacks of free blocks that serve the process heap's small blocks.
//
// The runtime allocates texts, byte sets and records of a few bytes by the hundred thousand
// (a parsed JSON document is three small blocks a node) and frees them in bulk; the C
// library's allocator spends most of such a parse in its bookkeeping. The pool keeps the free
// blocks of each size (8-byte steps up to kPoolLargestBlock) and carves new ones from 64 KiB
// chunks of one size each, taken from an address range reserved once and never handed back, as
// the platform's low-fragmentation heap does. A block needs no header: its chunk names its size,
// and the range tells the pool's blocks from all others.
//
// Blocks are aligned to 8 bytes.
// Thread contract: safe from any thread. Each thread keeps its own free blocks, so the common
// paths take no lock; a block may be freed by another thread than the one that took it (it then
// joins that thread's blocks). A thread's free blocks go to a shared reserve when it ends, and
// threads refill from the reserve before carving new ones.
#ifndef PLATFORM_BLOCK_POOL_H_
#define PLATFORM_BLOCK_POOL_H_

#include <cstddef>

namespace platform::pool {

inline constexpr size_t kPoolLargestBlock = 256;

// A block of at least `size` bytes (one byte when `size` is 0), or null when no new chunk can be
// had (the caller then takes the block elsewhere). REQUIRES: size <= kPoolLargestBlock.
void* Alloc(size_t size);
// Whether `block` lies in the pool's range, i.e. came from Alloc. Any pointer may be asked.
bool Owns(const void* block);
// REQUIRES: `block` came from Alloc and is not yet freed.
void Free(void* block);
// The bytes usable in a block from Alloc (its size class).
size_t Capacity(const void* block);

}  // namespace platform::pool

#endif  // PLATFORM_BLOCK_POOL_H_
