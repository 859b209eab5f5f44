// Reading the plain arguments of the grid and list commands: numbers by their record's type,
// omitted arguments by their defaults.
//
// Thread contract: plain functions without state.
#ifndef UI_LIBRARY_ARGS_H_
#define UI_LIBRARY_ARGS_H_

#include <cstdint>
#include <string_view>

#include "runtime/values.h"

namespace ui::args {

// The record at `index`, or an omitted record when the caller passed fewer.
inline rt::ArgRecord At(int32_t count, const rt::ArgRecord* args, int32_t index) {
  return index < count ? args[index] : rt::ArgRecord::Omitted();
}

inline bool IsIntegral(rt::TypeCode t) {
  return t == rt::kTypeInt || t == rt::kTypeLong || t == rt::kTypeShort || t == rt::kTypeByte ||
         t == rt::kTypeBool;
}

// A 32-bit integer of any numeric record (floating values truncate toward zero, wider ones
// keep their low 32 bits); omitted or non-numeric records read as `fallback`.
inline int32_t Int(const rt::ArgRecord& r, int32_t fallback = 0) {
  switch (r.type()) {
    case rt::kTypeInt:
    case rt::kTypeBool:
      return r.i32();
    case rt::kTypeLong:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r.i64())));
    case rt::kTypeShort:
      return r.i16();
    case rt::kTypeByte:
      return r.u8();
    case rt::kTypeDouble:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(rt::TruncToInteger(r.f64()))));
    case rt::kTypeFloat:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(rt::TruncToInteger(r.f32()))));
    default:
      return fallback;
  }
}

// The text of a text record; empty for anything else.
inline std::string_view Text(const rt::ArgRecord& r) {
  return r.type() == rt::kTypeText && r.text() != nullptr ? std::string_view(r.text()) : std::string_view();
}

}  // namespace ui::args

#endif  // UI_LIBRARY_ARGS_H_
