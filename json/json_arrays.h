// Growth of the runtime array blocks 类_JSON keeps: one dimension, the header's count is the
// number of elements in use, and a separate capacity lets the block grow geometrically.
//
// Ownership: the helpers never free elements; callers free owned records first.
// REQUIRES: `block` is a one-dimensional runtime array block of elements of type T.
#ifndef JSON_JSON_ARRAYS_H_
#define JSON_JSON_ARRAYS_H_

#include <cstdint>
#include <cstring>

#include "runtime/values.h"

namespace json::internal {

inline int32_t Count(const void* block) {
  int32_t n;
  std::memcpy(&n, static_cast<const unsigned char*>(block) + 4, sizeof n);
  return n < 0 ? 0 : n;
}

inline void SetCount(void* block, int32_t n) {
  std::memcpy(static_cast<unsigned char*>(block) + 4, &n, sizeof n);
}

// The blocks kept here always have one dimension: the elements follow the two header words.
template <typename T>
T* Elements(void* block) {
  return reinterpret_cast<T*>(static_cast<unsigned char*>(block) + 8);
}
template <typename T>
const T* Elements(const void* block) {
  return reinterpret_cast<const T*>(static_cast<const unsigned char*>(block) + 8);
}

template <typename T>
void* NewBlock() {
  return rt::NewArrayBlock(0, sizeof(T));
}

// Makes room for n elements.
template <typename T>
void Reserve(void** block, int32_t* capacity, int64_t n) {
  if (n <= *capacity) return;
  int64_t grown = static_cast<int64_t>(*capacity) * 2;
  if (grown < n) grown = n;
  if (grown < 8) grown = 8;
  if (grown > 0x7FFFFFF0 / static_cast<int64_t>(sizeof(T))) grown = n;
  *block = rt::MemRealloc(*block, 8 + static_cast<uint64_t>(grown) * sizeof(T));
  *capacity = static_cast<int32_t>(grown);
}

template <typename T>
void Push(void** block, int32_t* capacity, T value) {
  int32_t n = Count(*block);
  Reserve<T>(block, capacity, static_cast<int64_t>(n) + 1);
  std::memcpy(Elements<T>(*block) + n, &value, sizeof value);
  SetCount(*block, n + 1);
}

// Grows to n elements, the new ones zero.
template <typename T>
void GrowTo(void** block, int32_t* capacity, int32_t n) {
  int32_t old = Count(*block);
  if (n <= old) return;
  Reserve<T>(block, capacity, n);
  std::memset(Elements<T>(*block) + old, 0, static_cast<size_t>(n - old) * sizeof(T));
  SetCount(*block, n);
}

}  // namespace json::internal

#endif  // JSON_JSON_ARRAYS_H_
