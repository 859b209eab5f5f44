#include "platform/heap.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/block_pool.h"

#if defined(__has_include)
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define WL_HAVE_VALGRIND_H 1
#endif
#endif

#if defined(__SANITIZE_ADDRESS__)
#define WL_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define WL_SANITIZED_HEAP 1
#endif
#endif

namespace platform {
namespace {

// Small blocks come from the block pool, larger ones (and small ones when the pool has no room)
// from the C library; the pool tells its own blocks by their address. Under a memory checker
// every block is a C library block, so that the checker sees each one.
enum class Mode : int { kUndecided = 0, kPooled, kPlain };
// Decided on the first allocation, which may come from any thread; every thread decides the
// same, so a relaxed store is enough (and a relaxed load costs what a plain one does).
constinit std::atomic<Mode> g_mode{Mode::kUndecided};

// Out of line: asking whether a memory checker runs needs a stack frame of its own, which the
// allocation fast paths would otherwise set up on every call.
[[gnu::noinline, gnu::cold]] Mode DecideMode() {
#if defined(WL_SANITIZED_HEAP)
  return Mode::kPlain;
#elif defined(WL_HAVE_VALGRIND_H)
  return RUNNING_ON_VALGRIND ? Mode::kPlain : Mode::kPooled;
#else
  return Mode::kPooled;
#endif
}

bool Pooled() {
  Mode mode = g_mode.load(std::memory_order_relaxed);
  if (mode == Mode::kUndecided) {
    mode = DecideMode();
    g_mode.store(mode, std::memory_order_relaxed);
  }
  return mode == Mode::kPooled;
}

}  // namespace

void* HeapAlloc(size_t size) {
  if (size <= pool::kPoolLargestBlock && Pooled()) {
    if (void* p = pool::Alloc(size)) return p;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* HeapReAlloc(void* block, size_t size) {
  if (block == nullptr) return HeapAlloc(size);
  if (!pool::Owns(block)) return std::realloc(block, size == 0 ? 1 : size);
  size_t capacity = pool::Capacity(block);
  // A block that still fits, and is not mostly unused after shrinking, stays where it is.
  if (size <= capacity && size + 64 > capacity) return block;
  void* moved = HeapAlloc(size);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, block, capacity < size ? capacity : size);
  pool::Free(block);
  return moved;
}

void HeapFree(void* block) {
  if (pool::Owns(block)) {
    pool::Free(block);
  } else {
    std::free(block);
  }
}

}  // namespace platform
