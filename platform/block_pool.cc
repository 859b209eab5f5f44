#include "platform/block_pool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#if defined(_WIN32)
#include <pthread.h>
#endif

#include "platform/address_range.h"

namespace platform::pool {
namespace {

// The shared pool's lock must work before and after every other static object, so it is
// constant-initialised. MinGW's std::mutex cannot be: there a yielding spin lock takes its place
// (the lock guards only refills, new chunks and thread ends).
#if defined(_WIN32)
class PoolMutex {
 public:
  constexpr PoolMutex() = default;
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_;
};
#else
using PoolMutex = std::mutex;
#endif

constexpr size_t kGranule = 8;
// Class c serves blocks of c * kGranule bytes; class 0 is unused (a zero-byte request takes
// class 1).
constexpr size_t kClasses = kPoolLargestBlock / kGranule + 1;
// Chunks are aligned to their size and serve one class each; the class is kept in the chunk's
// first word, so that a block needs no header of its own.
constexpr size_t kChunkSize = 64 * 1024;
constexpr size_t kChunkHeader = 8;
// The address range reserved for chunks (less where the address space is limited). Only what
// is carved is ever made accessible.
constexpr size_t kArenaSize = size_t{16} << 30;
// Blocks carved at once when a thread's stack and the reserve are both empty: enough that the
// slow path is rare, few enough that a class used once wastes little.
constexpr uint32_t kCarveBatch = 32;

// The free blocks of one size class: their addresses in a dense array, so that taking a block
// reads nothing of the block itself (a block freed a while ago has usually left the cache; a
// list linked through the blocks would stall on every one).
struct BlockStack {
  void** items;
  uint32_t count;
  uint32_t capacity;
};

// Makes room for `extra` more entries; false when the C library has no memory for it.
bool Reserve(BlockStack* s, uint32_t extra) {
  uint64_t need = static_cast<uint64_t>(s->count) + extra;
  if (need <= s->capacity) return true;
  uint64_t capacity = s->capacity < 64 ? 64 : static_cast<uint64_t>(s->capacity) * 2;
  while (capacity < need) capacity *= 2;
  if (capacity > UINT32_MAX) return false;
  auto* items = static_cast<void**>(std::realloc(s->items, capacity * sizeof(void*)));
  if (items == nullptr) return false;
  s->items = items;
  s->capacity = static_cast<uint32_t>(capacity);
  return true;
}

// Plain data, so that the per-thread instance needs no construction guard on the fast paths.
struct ThreadStacks {
  BlockStack stacks[kClasses];
  char* carve[kClasses];  // the uncarved rest of the thread's current chunk of each class
  char* carveEnd[kClasses];
  bool hooked;   // the thread-end hook is installed
  bool retired;  // the thread is ending: blocks go to and come from the reserve
};

// The chunk arena, and what ended threads left for the others to take.
struct SharedPool {
  PoolMutex mu;
  std::atomic<uintptr_t> arenaBase;  // 0 until reserved
  std::atomic<size_t> arenaSize;
  std::atomic<bool> noMoreChunks;  // the arena could not be had, or is used up
  size_t arenaUsed;
  BlockStack stacks[kClasses];
  std::atomic<uint32_t> stocked[kClasses];  // non-zero when stacks[c] is not empty
};

#if defined(_WIN32)
// MinGW emulates thread-local storage and releases a thread's copies before the thread's
// destructors run: there the stacks live in a block of their own, which a thread-specific key
// hands over and frees when the thread ends.
constinit thread_local ThreadStacks* t_poolBlock = nullptr;
ThreadStacks& ThreadPool() {
  if (t_poolBlock == nullptr) {
    t_poolBlock = static_cast<ThreadStacks*>(std::calloc(1, sizeof(ThreadStacks)));
    if (t_poolBlock == nullptr) std::abort();  // a few hundred bytes: nothing else would run either
  }
  return *t_poolBlock;
}
#else
constinit thread_local ThreadStacks t_pool{};
inline ThreadStacks& ThreadPool() { return t_pool; }
#endif
constinit SharedPool g_pool{};

char* ChunkOf(const void* block) {
  return reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(block) & ~(uintptr_t{kChunkSize} - 1));
}

uint32_t ClassOf(const void* block) {
  uint32_t c;
  std::memcpy(&c, ChunkOf(block), sizeof c);
  return c;
}

// REQUIRES: g_pool.mu held.
void PushToReserve(size_t c, void* block) {
  BlockStack& r = g_pool.stacks[c];
  if (!Reserve(&r, 1)) return;  // no memory for the entry: the block stays unused
  r.items[r.count++] = block;
  g_pool.stocked[c].store(1, std::memory_order_relaxed);
}

// Hands the ending thread's blocks to the reserve and releases its stacks.
void HandOver(ThreadStacks* own) {
  std::lock_guard<PoolMutex> lock(g_pool.mu);
  for (size_t c = 1; c < kClasses; ++c) {
    BlockStack& mine = own->stacks[c];
    BlockStack& shared = g_pool.stacks[c];
    if (shared.count == 0) std::swap(mine, shared);
    for (uint32_t i = 0; i < mine.count; ++i) PushToReserve(c, mine.items[i]);
    if (shared.count > 0) g_pool.stocked[c].store(1, std::memory_order_relaxed);
    std::free(mine.items);
    mine = BlockStack{};
  }
  own->retired = true;
}

#if defined(_WIN32)
// A thread-specific key's destructor gets the thread's block as its value, whatever the
// emulation has released by then.
void ThreadEnded(void* block) {
  HandOver(static_cast<ThreadStacks*>(block));
  std::free(block);
  t_poolBlock = nullptr;  // an allocation after this takes a block of its own again
}

[[gnu::noinline]] void HookThreadEnd() {
  static const pthread_key_t key = [] {
    pthread_key_t k;
    if (pthread_key_create(&k, ThreadEnded) != 0) std::abort();
    return k;
  }();
  ThreadStacks& own = ThreadPool();
  pthread_setspecific(key, &own);
  own.hooked = true;
}
#else
struct ThreadEndHook {
  ~ThreadEndHook() { HandOver(&ThreadPool()); }
};

[[gnu::noinline]] void HookThreadEnd() {
  static thread_local ThreadEndHook hook;
  (void)hook;
  ThreadPool().hooked = true;
}
#endif

// Swaps the thread's empty stack of class c for the reserve's, when that has blocks.
bool TakeFromReserve(size_t c) {
  if (g_pool.stocked[c].load(std::memory_order_relaxed) == 0) return false;
  std::lock_guard<PoolMutex> lock(g_pool.mu);
  if (g_pool.stacks[c].count == 0) return false;
  std::swap(ThreadPool().stacks[c], g_pool.stacks[c]);
  g_pool.stacks[c].count = 0;
  g_pool.stocked[c].store(0, std::memory_order_relaxed);
  return true;
}

// Reserves the arena: the full size, or less where the address space is limited.
// REQUIRES: g_pool.mu held.
bool ReserveArena() {
  for (size_t size : {kArenaSize, size_t{1} << 30, size_t{256} << 20}) {
    // With room to align it to the chunk size.
    void* p = ReserveAddressRange(size + kChunkSize);
    if (p == nullptr) continue;
    uintptr_t base = (reinterpret_cast<uintptr_t>(p) + kChunkSize - 1) & ~(uintptr_t{kChunkSize} - 1);
    g_pool.arenaSize.store(size, std::memory_order_relaxed);
    g_pool.arenaBase.store(base, std::memory_order_release);
    return true;
  }
  return false;
}

// A new chunk of class c, made accessible; null when the arena is used up or cannot be had,
// after which every small block comes from the C library.
char* NewChunk(size_t c) {
  if (g_pool.noMoreChunks.load(std::memory_order_relaxed)) return nullptr;
  std::lock_guard<PoolMutex> lock(g_pool.mu);
  char* chunk = nullptr;
  if (g_pool.arenaBase.load(std::memory_order_relaxed) != 0 || ReserveArena()) {
    if (g_pool.arenaUsed + kChunkSize <= g_pool.arenaSize.load(std::memory_order_relaxed)) {
      chunk = reinterpret_cast<char*>(g_pool.arenaBase.load(std::memory_order_relaxed) + g_pool.arenaUsed);
      if (!CommitAddressRange(chunk, kChunkSize)) chunk = nullptr;
    }
  }
  if (chunk == nullptr) {
    g_pool.noMoreChunks.store(true, std::memory_order_relaxed);
    return nullptr;
  }
  g_pool.arenaUsed += kChunkSize;
  uint32_t sizeClass = static_cast<uint32_t>(c);
  std::memcpy(chunk, &sizeClass, sizeof sizeClass);
  return chunk;
}

// One new block of class c from the thread's chunk of that class; null when no chunk can be had.
void* CarveOne(size_t c) {
  size_t size = c * kGranule;
  if (static_cast<size_t>(ThreadPool().carveEnd[c] - ThreadPool().carve[c]) < size) {
    char* chunk = NewChunk(c);
    if (chunk == nullptr) return nullptr;
    ThreadPool().carve[c] = chunk + kChunkHeader;
    ThreadPool().carveEnd[c] = chunk + kChunkSize;
  }
  void* block = ThreadPool().carve[c];
  ThreadPool().carve[c] += size;
  return block;
}

// Carves up to kCarveBatch blocks of class c onto the thread's stack, so that they are taken
// in address order; false when not even one could be had.
bool Carve(size_t c) {
  BlockStack& s = ThreadPool().stacks[c];
  if (!Reserve(&s, kCarveBatch)) return false;
  void* batch[kCarveBatch];
  uint32_t n = 0;
  while (n < kCarveBatch) {
    void* b = CarveOne(c);
    if (b == nullptr) break;
    batch[n++] = b;
  }
  for (uint32_t i = n; i-- > 0;) s.items[s.count++] = batch[i];
  return n > 0;
}

[[gnu::noinline]] void* AllocSlow(size_t c) {
  if (ThreadPool().retired) {
    // Thread-end work: no stacks of its own any more.
    {
      std::lock_guard<PoolMutex> lock(g_pool.mu);
      BlockStack& r = g_pool.stacks[c];
      if (r.count > 0) {
        void* b = r.items[--r.count];
        if (r.count == 0) g_pool.stocked[c].store(0, std::memory_order_relaxed);
        return b;
      }
    }
    return CarveOne(c);
  }
  if (!ThreadPool().hooked) HookThreadEnd();
  if (!TakeFromReserve(c) && !Carve(c)) return nullptr;
  BlockStack& s = ThreadPool().stacks[c];
  return s.items[--s.count];
}

[[gnu::noinline]] void FreeSlow(size_t c, void* block) {
  if (ThreadPool().retired) {
    std::lock_guard<PoolMutex> lock(g_pool.mu);
    PushToReserve(c, block);
    return;
  }
  if (!ThreadPool().hooked) HookThreadEnd();  // a thread that only frees
  BlockStack& s = ThreadPool().stacks[c];
  if (!Reserve(&s, 1)) return;  // no memory for the entry: the block stays unused
  s.items[s.count++] = block;
}

}  // namespace

void* Alloc(size_t size) {
  size_t c = size == 0 ? 1 : (size + kGranule - 1) / kGranule;
  BlockStack& s = ThreadPool().stacks[c];
  if (s.count == 0) return AllocSlow(c);
  void* b = s.items[--s.count];
  // The caller writes the block at once; the next one of this size is likely wanted soon.
  if (s.count > 0) __builtin_prefetch(s.items[s.count - 1], 1);
  return b;
}

void Free(void* block) {
  size_t c = ClassOf(block);
  BlockStack& s = ThreadPool().stacks[c];
  if (s.count == s.capacity) {
    FreeSlow(c, block);
    return;
  }
  s.items[s.count++] = block;
}

bool Owns(const void* block) {
  uintptr_t base = g_pool.arenaBase.load(std::memory_order_acquire);
  return base != 0 &&
         reinterpret_cast<uintptr_t>(block) - base < g_pool.arenaSize.load(std::memory_order_relaxed);
}

size_t Capacity(const void* block) { return ClassOf(block) * kGranule; }

}  // namespace platform::pool
