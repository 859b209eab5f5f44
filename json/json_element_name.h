// The names of array elements, "[0]", "[1]", ...: the runtime's shared constants for the
// indexes it keeps, a new text for larger ones.
//
// Ownership: the result is owned like any text field of a node record; freeing a constant
// does nothing, so the two kinds need no telling apart.
#ifndef JSON_JSON_ELEMENT_NAME_H_
#define JSON_JSON_ELEMENT_NAME_H_

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "runtime/values.h"

namespace json::internal {

inline char* ElementName(int32_t i) {
  if (const char* shared = rt::IndexNameConstant(i)) return const_cast<char*>(shared);
  char buf[16];
  buf[0] = '[';
  char* end = std::to_chars(buf + 1, buf + sizeof buf - 1, i).ptr;
  *end++ = ']';
  return rt::NewText(buf, static_cast<size_t>(end - buf));
}

}  // namespace json::internal

#endif  // JSON_JSON_ELEMENT_NAME_H_
