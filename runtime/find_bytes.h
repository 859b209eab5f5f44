// Searching bytes for a sequence of bytes.
#ifndef RUNTIME_FIND_BYTES_H_
#define RUNTIME_FIND_BYTES_H_

#include <string.h>

#include <cstddef>
#include <string_view>

namespace rt {

// The first occurrence of the `s` bytes at `sought` within the `n` bytes at `data`, or null.
// glibc's memmem is a two-way search; elsewhere the standard library's search serves.
// REQUIRES: s > 0.
inline const void* FindBytes(const void* data, size_t n, const void* sought, size_t s) {
#if defined(__GLIBC__)
  return memmem(data, n, sought, s);
#else
  std::string_view hay(static_cast<const char*>(data), n);
  size_t at = hay.find(std::string_view(static_cast<const char*>(sought), s));
  return at == std::string_view::npos ? nullptr : static_cast<const char*>(data) + at;
#endif
}

}  // namespace rt

#endif  // RUNTIME_FIND_BYTES_H_
