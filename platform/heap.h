// The process heap the runtime allocates every value block from.
//
// Blocks of up to 256 bytes come from the block pool (block_pool.h), larger ones from the C
// library; every block is aligned to 8 bytes at least, and any block may be resized or freed
// whichever allocator it came from. Under a memory checker (AddressSanitizer,
// valgrind) every block is a plain C library block, so that the checker sees each one.
// Thread contract: safe from any thread; a block may be freed on another thread than the one
// that took it.
#ifndef PLATFORM_HEAP_H_
#define PLATFORM_HEAP_H_

#include <cstddef>

namespace platform {

// A block of `size` bytes (at least one byte is always taken), or null when the heap cannot
// meet the request.
void* HeapAlloc(size_t size);
// Keeps the contents up to the smaller size; may move the block; null on failure, in which
// case the old block is untouched.
void* HeapReAlloc(void* block, size_t size);
void HeapFree(void* block);

}  // namespace platform

#endif  // PLATFORM_HEAP_H_
