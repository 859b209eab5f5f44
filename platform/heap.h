// The process heap the runtime allocates every value block from.
//
// Thread contract: safe from any thread (the C library's allocator).
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
