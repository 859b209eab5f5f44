// Reading argument records and writing results inside the kernel's commands: numbers are
// read by their record's type, omitted arguments by their defaults; GBK character walking.
//
// Thread contract: plain functions without state.
// REQUIRES: `index` < the command's argument count where an argument is read unconditionally.
#ifndef RUNTIME_COMMAND_ARGS_H_
#define RUNTIME_COMMAND_ARGS_H_

#include <cstdint>
#include <cstring>

#include "runtime/values.h"

namespace rt::cmd {

// The record at `index`, or an omitted record when the caller passed fewer.
inline const ArgRecord& Arg(int32_t count, const ArgRecord* args, int32_t index) {
  static const ArgRecord kOmitted = ArgRecord::Omitted();
  return index < count ? args[index] : kOmitted;
}
inline bool Given(int32_t count, const ArgRecord* args, int32_t index) {
  return Arg(count, args, index).given();
}

// A number of any numeric (or bool) record as a double.
inline double NumberOf(const ArgRecord& r) {
  switch (BaseType(r.type())) {
    case kTypeDouble:
    case kTypeDateTime:
      return r.f64();
    case kTypeFloat:
      return r.f32();
    case kTypeLong:
      return static_cast<double>(r.i64());
    case kTypeShort:
      return r.i16();
    case kTypeByte:
      return r.u8();
    default:
      return r.i32();
  }
}

// A 32-bit integer of any numeric record: floating values truncate toward zero, wider ones
// keep their low 32 bits.
inline int32_t IntOf(const ArgRecord& r) {
  switch (BaseType(r.type())) {
    case kTypeDouble:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(TruncToInteger(r.f64()))));
    case kTypeFloat:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(TruncToInteger(r.f32()))));
    case kTypeLong:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r.i64())));
    case kTypeShort:
      return r.i16();
    case kTypeByte:
      return r.u8();
    default:
      return r.i32();
  }
}
inline int32_t IntOr(int32_t count, const ArgRecord* args, int32_t index, int32_t fallback) {
  const ArgRecord& r = Arg(count, args, index);
  return r.given() ? IntOf(r) : fallback;
}
inline bool BoolOr(int32_t count, const ArgRecord* args, int32_t index, bool fallback) {
  const ArgRecord& r = Arg(count, args, index);
  return r.given() ? r.i32() != 0 : fallback;
}

// A pointer-wide address: long integers carry all 64 bits, narrower integers are widened.
inline uintptr_t AddressOf(const ArgRecord& r) {
  switch (BaseType(r.type())) {
    case kTypeLong:
      return static_cast<uintptr_t>(r.i64());
    case kTypeDouble:
      return static_cast<uintptr_t>(TruncToInteger(r.f64()));
    default:
      return static_cast<uintptr_t>(static_cast<uint32_t>(r.i32()));
  }
}

// The text of a text record (never null: null reads as the empty text).
inline const unsigned char* TextOf(const ArgRecord& r) {
  return reinterpret_cast<const unsigned char*>(OrEmpty(r.text()));
}
// The block of a byte-set record (never null).
inline const unsigned char* BytesOf(const ArgRecord& r) {
  return OrEmptyBytes(static_cast<const unsigned char*>(r.ptr()));
}

// Widths of system values in memory (as ToByteSet and WriteMemory copy them); 0 for types
// that are not plain values.
inline size_t ValueWidth(TypeCode type) {
  switch (type) {
    case kTypeBool:
    case kTypeInt:
    case kTypeFloat:
    case kTypeAddress:
      return 4;
    case kTypeLong:
    case kTypeDouble:
    case kTypeDateTime:
      return 8;
    case kTypeShort:
      return 2;
    case kTypeByte:
      return 1;
    default:
      return 0;
  }
}

inline void SetText(ArgRecord* result, char* block) { result->setPtr(block, kTypeText); }
inline void SetBytes(ArgRecord* result, unsigned char* block) { result->setPtr(block, kTypeBytes); }
inline void SetAddress(ArgRecord* result, uintptr_t address) {
  result->setI64(static_cast<int64_t>(address), kTypeLong);
}

// A byte of 0x80 or more starts a double-byte character.
inline bool IsLead(unsigned char b) { return b >= 0x80; }

// Whether `p` is a character boundary when `known` (<= p) is one. Walking from `known`, every
// byte below 0x80 is followed by a boundary (it is a character or the second byte of one),
// so only the run of bytes of 0x80 or more right before `p` matters: p is a boundary when
// that run has even length. Costs the length of the run, at most p - known.
inline bool IsBoundary(const unsigned char* t, size_t known, size_t p) {
  size_t k = 0;
  while (p - k > known && IsLead(t[p - k - 1])) ++k;
  return (k & 1) == 0;
}

}  // namespace rt::cmd

#endif  // RUNTIME_COMMAND_ARGS_H_
