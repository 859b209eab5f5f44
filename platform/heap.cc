#include "platform/heap.h"

#include <cstdlib>

namespace platform {

void* HeapAlloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }

void* HeapReAlloc(void* block, size_t size) { return std::realloc(block, size == 0 ? 1 : size); }

void HeapFree(void* block) { std::free(block); }

}  // namespace platform
