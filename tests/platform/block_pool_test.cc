#include "platform/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/heap.h"

namespace {

using platform::pool::Alloc;
using platform::pool::Capacity;
using platform::pool::Free;
using platform::pool::kPoolLargestBlock;

// Blocks of every size are distinct, aligned, hold their whole capacity without touching their
// neighbours, and are taken again after they are freed.
TEST(BlockPoolTest, BlocksOfEverySizeAreDisjointAndReused) {
  struct Taken {
    unsigned char* p;
    size_t capacity;
    unsigned char fill;
  };
  std::vector<Taken> taken;
  for (int round = 0; round < 40; ++round) {
    for (size_t size = 0; size <= kPoolLargestBlock; size += 7) {
      auto* p = static_cast<unsigned char*>(Alloc(size));
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
      size_t capacity = Capacity(p);
      EXPECT_GE(capacity, std::max<size_t>(size, 1));
      EXPECT_LT(capacity, std::max<size_t>(size, 1) + 8);
      auto fill = static_cast<unsigned char>(taken.size());
      std::memset(p, fill, capacity);
      taken.push_back({p, capacity, fill});
    }
  }
  for (const Taken& t : taken) {
    for (size_t i = 0; i < t.capacity; ++i) ASSERT_EQ(t.p[i], t.fill);
  }
  // Frees in reverse; blocks of a size class come back from the freed ones (size 35 was taken
  // once a round).
  std::vector<unsigned char*> freed;
  for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
    Free(it->p);
    freed.push_back(it->p);
  }
  std::sort(freed.begin(), freed.end());
  for (int i = 0; i < 40; ++i) {
    auto* p = static_cast<unsigned char*>(Alloc(40));
    EXPECT_TRUE(std::binary_search(freed.begin(), freed.end(), p));
  }
}

// A block freed on another thread is usable again, and a thread that ends hands its freed
// blocks on: a later thread reuses them instead of carving new ones.
TEST(BlockPoolTest, BlocksCrossThreadsAndOutliveTheirThread) {
  constexpr int kBlocks = 5000;
  constexpr size_t kSize = 200;  // a class no other test here uses much
  std::vector<void*> blocks(kBlocks);
  std::thread([&] {
    for (void*& b : blocks) {
      b = Alloc(kSize);
      std::memset(b, 0xAB, kSize);
    }
  }).join();
  // Taken by a thread that has ended: still valid, freed here.
  for (void* b : blocks) {
    ASSERT_EQ(static_cast<unsigned char*>(b)[kSize - 1], 0xAB);
  }
  std::vector<void*> sorted = blocks;
  std::sort(sorted.begin(), sorted.end());
  std::thread([&] {
    for (void* b : blocks) Free(b);
  }).join();
  int reused = 0;
  std::vector<void*> again;
  std::thread([&] {
    for (int i = 0; i < kBlocks; ++i) {
      void* b = Alloc(kSize);
      if (std::binary_search(sorted.begin(), sorted.end(), b)) ++reused;
      again.push_back(b);
    }
    for (void* b : again) Free(b);
  }).join();
  EXPECT_EQ(reused, kBlocks);
}

// Several threads taking and freeing at once, some blocks passed between them.
TEST(BlockPoolTest, ConcurrentThreadsKeepBlocksApart) {
  constexpr int kThreads = 4;
  std::vector<std::vector<void*>> handed(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &handed] {
      std::vector<unsigned char*> mine;
      for (int i = 0; i < 20000; ++i) {
        size_t size = static_cast<size_t>((i * 37 + t) % (kPoolLargestBlock + 1));
        auto* p = static_cast<unsigned char*>(Alloc(size));
        std::memset(p, t + 1, Capacity(p));
        mine.push_back(p);
        if (i % 3 == 0) {
          Free(mine.front());
          mine.erase(mine.begin());
        }
      }
      for (unsigned char* p : mine) {
        for (size_t i = 0; i < Capacity(p); ++i) {
          if (p[i] != t + 1) {
            ADD_FAILURE() << "block of thread " << t << " overwritten";
            return;
          }
        }
      }
      handed[t].assign(mine.begin(), mine.end());
    });
  }
  for (std::thread& th : threads) th.join();
  for (auto& list : handed) {
    for (void* p : list) Free(p);
  }
}

// The heap keeps contents across every move between the pool and the C library.
TEST(HeapTest, ReAllocKeepsContentsAcrossBothAllocators) {
  std::vector<size_t> steps = {0, 1, 8, 9, 100, 256, 257, 4096, 300, 255, 16, 3, 100000, 2};
  auto* p = static_cast<unsigned char*>(platform::HeapAlloc(steps[0]));
  ASSERT_NE(p, nullptr);
  size_t held = 0;
  for (size_t k = 1; k < steps.size(); ++k) {
    size_t size = steps[k];
    p = static_cast<unsigned char*>(platform::HeapReAlloc(p, size));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    size_t kept = std::min(held, size);
    for (size_t i = 0; i < kept; ++i) ASSERT_EQ(p[i], static_cast<unsigned char>(i * 13)) << size;
    for (size_t i = 0; i < size; ++i) p[i] = static_cast<unsigned char>(i * 13);
    held = size;
  }
  platform::HeapFree(p);
  platform::HeapFree(nullptr);
}

}  // namespace
