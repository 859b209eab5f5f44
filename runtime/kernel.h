// Typed wrappers over the kernel and special-functions commands for application code: each
// builds the argument records, calls the command through the helper interface and hands the
// result to an RAII owner. They add no behaviour of their own.
//
// Ownership: rt::Text, rt::ByteSet and rt::TextArray results own their blocks. Addresses are
// plain pointer-wide integers (intptr_t) and own nothing.
// Thread contract: GUI thread only. ProcessEvents (and anything that calls it) may run other
// event routines before it returns.
#ifndef RUNTIME_KERNEL_H_
#define RUNTIME_KERNEL_H_

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/helper_interface.h"
#include "runtime/kernel_commands.h"
#include "runtime/libraries.h"

namespace kernel {

// A text argument: any zero-terminated text; null reads as the empty text.
struct TextRef {
  const char* p;
  TextRef(const char* s) : p(rt::OrEmpty(s)) {}    // NOLINT: implicit by design
  TextRef(const rt::Text& t) : p(t.c_str()) {}     // NOLINT
  TextRef(const std::string& s) : p(s.c_str()) {}  // NOLINT
  rt::ArgRecord arg() const { return rt::TextArg(p); }
};

// A byte-set argument: a byte-set block; null reads as the empty byte set.
struct BytesRef {
  const unsigned char* p;
  BytesRef(const unsigned char* block) : p(rt::OrEmptyBytes(block)) {}  // NOLINT
  BytesRef(const rt::ByteSet& b) : p(b.block()) {}                      // NOLINT
  rt::ArgRecord arg() const { return rt::BytesArg(p); }
};

// A date-time value: days since 30 December 1899, the fraction being the time of day.
struct DateTime {
  double days;
};

namespace detail {
inline rt::ArgRecord Call(rt::CommandFn fn, std::initializer_list<rt::ArgRecord> args) {
  return rt::CallKernel(fn, args);
}
inline rt::ArgRecord CallSpecial(rt::CommandFn fn, std::initializer_list<rt::ArgRecord> args) {
  return rt::CallLibrary(rt::kLibrarySpecial, fn, args);
}
template <typename T, typename F>
rt::ArgRecord OptArg(const std::optional<T>& v, F make) {
  return v ? make(*v) : rt::Omitted();
}
inline rt::ArgRecord OptInt(std::optional<int32_t> v) { return v ? rt::IntArg(*v) : rt::Omitted(); }
inline rt::ArgRecord OptBool(std::optional<bool> v) { return v ? rt::BoolArg(*v) : rt::Omitted(); }
inline rt::ArgRecord OptText(std::optional<TextRef> v) { return v ? v->arg() : rt::Omitted(); }
inline rt::ArgRecord OptBytes(std::optional<BytesRef> v) { return v ? v->arg() : rt::Omitted(); }
inline rt::ArgRecord DateTimeArg(DateTime d) {
  rt::ArgRecord r;
  r.setF64(d.days, rt::kTypeDateTime);
  return r;
}
inline rt::ArgRecord ShortArg(int16_t v) {
  rt::ArgRecord r;
  r.setI16(v);
  return r;
}
inline intptr_t Address(const rt::ArgRecord& r) { return static_cast<intptr_t>(r.i64()); }
}  // namespace detail

// ---- Numbers ----------------------------------------------------------------------------

// The first value divided by each further one in turn, each quotient truncated toward zero.
// A zero divisor is a runtime error.
template <typename... More>
double IntDivide(double a, double b, More... more) {
  return detail::Call(rt::commands::IntDivide,
                      {rt::DoubleArg(a), rt::DoubleArg(b), rt::DoubleArg(static_cast<double>(more))...})
      .f64();
}
// The first value modulo each further one in turn (sign of the dividend). A zero divisor is a
// runtime error.
template <typename... More>
double Remainder(double a, double b, More... more) {
  return detail::Call(rt::commands::Remainder,
                      {rt::DoubleArg(a), rt::DoubleArg(b), rt::DoubleArg(static_cast<double>(more))...})
      .f64();
}
template <typename... More>
int32_t BitAnd(int32_t a, int32_t b, More... more) {
  return detail::Call(rt::commands::BitAnd,
                      {rt::IntArg(a), rt::IntArg(b), rt::IntArg(static_cast<int32_t>(more))...})
      .i32();
}
inline int32_t ShiftLeft(int32_t value, int32_t count) {
  return detail::Call(rt::commands::ShiftLeft, {rt::IntArg(value), rt::IntArg(count)}).i32();
}
inline int32_t ShiftRight(int32_t value, int32_t count) {
  return detail::Call(rt::commands::ShiftRight, {rt::IntArg(value), rt::IntArg(count)}).i32();
}
inline double Abs(double v) { return detail::Call(rt::commands::Abs, {rt::DoubleArg(v)}).f64(); }

// ---- Texts ------------------------------------------------------------------------------

inline int32_t TextLength(TextRef t) { return detail::Call(rt::commands::TextLength, {t.arg()}).i32(); }
inline rt::Text LeftText(TextRef t, int32_t n) {
  return rt::TextResult(detail::Call(rt::commands::LeftText, {t.arg(), rt::IntArg(n)}));
}
inline rt::Text RightText(TextRef t, int32_t n) {
  return rt::TextResult(detail::Call(rt::commands::RightText, {t.arg(), rt::IntArg(n)}));
}
inline rt::Text MidText(TextRef t, int32_t start, int32_t n) {
  return rt::TextResult(detail::Call(rt::commands::MidText, {t.arg(), rt::IntArg(start), rt::IntArg(n)}));
}
inline rt::Text CharFromCode(uint8_t code) {
  return rt::TextResult(detail::Call(rt::commands::CharFromCode, {rt::ByteArg(code)}));
}
inline int32_t CharCode(TextRef t, std::optional<int32_t> position = std::nullopt) {
  return detail::Call(rt::commands::CharCode, {t.arg(), detail::OptInt(position)}).i32();
}
// 1-based position of `sought` at or after `start`, or -1.
inline int32_t FindText(TextRef t, TextRef sought, std::optional<int32_t> start = std::nullopt,
                        std::optional<bool> ignoreCase = std::nullopt) {
  return detail::Call(rt::commands::FindText,
                      {t.arg(), sought.arg(), detail::OptInt(start), detail::OptBool(ignoreCase)})
      .i32();
}
inline rt::Text ToUpper(TextRef t) { return rt::TextResult(detail::Call(rt::commands::ToUpper, {t.arg()})); }
inline rt::Text ToLower(TextRef t) { return rt::TextResult(detail::Call(rt::commands::ToLower, {t.arg()})); }
inline rt::Text TrimSpaces(TextRef t) {
  return rt::TextResult(detail::Call(rt::commands::TrimSpaces, {t.arg()}));
}
inline rt::Text RemoveSpaces(TextRef t) {
  return rt::TextResult(detail::Call(rt::commands::RemoveSpaces, {t.arg()}));
}
inline rt::Text ReplaceText(TextRef t, TextRef sought, std::optional<TextRef> replacement = std::nullopt,
                            std::optional<int32_t> start = std::nullopt,
                            std::optional<int32_t> count = std::nullopt,
                            std::optional<bool> caseSensitive = std::nullopt) {
  return rt::TextResult(detail::Call(
      rt::commands::ReplaceText, {t.arg(), sought.arg(), detail::OptText(replacement), detail::OptInt(start),
                                  detail::OptInt(count), detail::OptBool(caseSensitive)}));
}
inline rt::TextArray SplitText(TextRef t, std::optional<TextRef> separator = std::nullopt,
                               std::optional<int32_t> most = std::nullopt) {
  return rt::TextArray::Adopt(
      detail::Call(rt::commands::SplitText, {t.arg(), detail::OptText(separator), detail::OptInt(most)})
          .ptr());
}
inline rt::Text SpaceText(int32_t n) {
  return rt::TextResult(detail::Call(rt::commands::SpaceText, {rt::IntArg(n)}));
}
inline rt::Text RepeatText(int32_t count, TextRef t) {
  return rt::TextResult(detail::Call(rt::commands::RepeatText, {rt::IntArg(count), t.arg()}));
}

// ---- Conversions ------------------------------------------------------------------------
// Overloads by the value's system type. Texts are taken as const char* / rt::Text so that a
// literal never converts to bool.

inline rt::Text ToText(const rt::ArgRecord& value) {
  return rt::TextResult(detail::Call(rt::commands::ToText, {value}));
}
inline rt::Text ToText(double v) { return ToText(rt::DoubleArg(v)); }
inline rt::Text ToText(float v) { return ToText(rt::FloatArg(v)); }
inline rt::Text ToText(int32_t v) { return ToText(rt::IntArg(v)); }
inline rt::Text ToText(int64_t v) { return ToText(rt::LongArg(v)); }
inline rt::Text ToText(int16_t v) { return ToText(detail::ShortArg(v)); }
inline rt::Text ToText(uint8_t v) { return ToText(rt::ByteArg(v)); }
inline rt::Text ToText(bool v) { return ToText(rt::BoolArg(v)); }
inline rt::Text ToText(DateTime v) { return ToText(detail::DateTimeArg(v)); }
inline rt::Text ToText(const char* v) { return ToText(rt::TextArg(v)); }
inline rt::Text ToText(const rt::Text& v) { return ToText(rt::TextArg(v)); }
inline rt::Text ToText(const rt::ByteSet& v) { return ToText(rt::BytesArg(v)); }
// An array block of a numeric element type: its bytes up to the first zero.
inline rt::Text ArrayToText(const void* arrayBlock, rt::TypeCode elementType) {
  rt::ArgRecord r;
  r.setPtr(arrayBlock, rt::BaseType(elementType) | rt::kArrayBit);
  return ToText(r);
}

inline int32_t ToInteger(const rt::ArgRecord& value) {
  return detail::Call(rt::commands::ToInteger, {value}).i32();
}
inline int32_t ToInteger(double v) { return ToInteger(rt::DoubleArg(v)); }
inline int32_t ToInteger(float v) { return ToInteger(rt::FloatArg(v)); }
inline int32_t ToInteger(int32_t v) { return ToInteger(rt::IntArg(v)); }
inline int32_t ToInteger(int64_t v) { return ToInteger(rt::LongArg(v)); }
inline int32_t ToInteger(bool v) { return ToInteger(rt::BoolArg(v)); }
inline int32_t ToInteger(const char* v) { return ToInteger(rt::TextArg(v)); }
inline int32_t ToInteger(const rt::Text& v) { return ToInteger(rt::TextArg(v)); }

inline uint8_t ToByte(const rt::ArgRecord& value) { return detail::Call(rt::commands::ToByte, {value}).u8(); }
inline uint8_t ToByte(double v) { return ToByte(rt::DoubleArg(v)); }
inline uint8_t ToByte(int32_t v) { return ToByte(rt::IntArg(v)); }
inline uint8_t ToByte(const char* v) { return ToByte(rt::TextArg(v)); }
inline uint8_t ToByte(const rt::Text& v) { return ToByte(rt::TextArg(v)); }

inline rt::ByteSet ToByteSet(const rt::ArgRecord& value) {
  return rt::BytesResult(detail::Call(rt::commands::ToByteSet, {value}));
}
inline rt::ByteSet ToByteSet(const char* v) { return ToByteSet(rt::TextArg(v)); }
inline rt::ByteSet ToByteSet(const rt::Text& v) { return ToByteSet(rt::TextArg(v)); }
inline rt::ByteSet ToByteSet(int32_t v) { return ToByteSet(rt::IntArg(v)); }
inline rt::ByteSet ToByteSet(int64_t v) { return ToByteSet(rt::LongArg(v)); }
inline rt::ByteSet ToByteSet(double v) { return ToByteSet(rt::DoubleArg(v)); }
inline rt::ByteSet ToByteSet(uint8_t v) { return ToByteSet(rt::ByteArg(v)); }
inline rt::ByteSet ArrayToByteSet(const void* arrayBlock, rt::TypeCode elementType) {
  rt::ArgRecord r;
  r.setPtr(arrayBlock, rt::BaseType(elementType) | rt::kArrayBit);
  return ToByteSet(r);
}

// ---- Byte sets --------------------------------------------------------------------------

inline int32_t ByteSetLength(BytesRef b) {
  return detail::Call(rt::commands::ByteSetLength, {b.arg()}).i32();
}
inline rt::ByteSet LeftBytes(BytesRef b, int32_t n) {
  return rt::BytesResult(detail::Call(rt::commands::LeftBytes, {b.arg(), rt::IntArg(n)}));
}
inline rt::ByteSet MidBytes(BytesRef b, int32_t start, int32_t n) {
  return rt::BytesResult(detail::Call(rt::commands::MidBytes, {b.arg(), rt::IntArg(start), rt::IntArg(n)}));
}
inline rt::ByteSet ReplaceBytes(BytesRef b, BytesRef sought,
                                std::optional<BytesRef> replacement = std::nullopt,
                                std::optional<int32_t> start = std::nullopt,
                                std::optional<int32_t> count = std::nullopt) {
  return rt::BytesResult(detail::Call(
      rt::commands::ReplaceBytes,
      {b.arg(), sought.arg(), detail::OptBytes(replacement), detail::OptInt(start), detail::OptInt(count)}));
}
inline rt::ByteSet ZeroBytes(int32_t n) {
  return rt::BytesResult(detail::Call(rt::commands::ZeroBytes, {rt::IntArg(n)}));
}

// ---- Clipboard, messages, memory --------------------------------------------------------

// Puts the text on the clipboard; false when the clipboard cannot be had.
inline bool SetClipboardText(TextRef t) {
  return detail::Call(rt::commands::SetClipboardText, {t.arg()}).boolean();
}
// Handles the waiting window messages (other event routines may run meanwhile).
inline void ProcessEvents() { detail::Call(rt::commands::ProcessEvents, {}); }
inline int32_t ReadInteger(intptr_t address) {
  return detail::Call(rt::commands::ReadInteger, {rt::AddressArg(reinterpret_cast<const void*>(address))})
      .i32();
}
// Copies the value's bytes (a text with its zero) to the address; at most `length` bytes when
// given. REQUIRES: the target range is writable.
inline void WriteMemory(const rt::ArgRecord& value, intptr_t address,
                        std::optional<int32_t> length = std::nullopt) {
  detail::Call(rt::commands::WriteMemory,
               {value, rt::AddressArg(reinterpret_cast<const void*>(address)), detail::OptInt(length)});
}
inline void WriteMemory(TextRef t, intptr_t address, std::optional<int32_t> length = std::nullopt) {
  WriteMemory(t.arg(), address, length);
}
inline void WriteMemory(BytesRef b, intptr_t address, std::optional<int32_t> length = std::nullopt) {
  WriteMemory(b.arg(), address, length);
}
inline void WriteMemory(int32_t v, intptr_t address, std::optional<int32_t> length = std::nullopt) {
  WriteMemory(rt::IntArg(v), address, length);
}

// ---- Special functions ------------------------------------------------------------------

// The address of the variable itself. `type` is the variable's type (array bit for arrays).
inline intptr_t VariableAddress(void* variable, rt::TypeCode type) {
  return detail::Address(
      detail::CallSpecial(rt::commands::VariableAddress, {rt::VariableArg(variable, type)}));
}
// The address of the variable's data: first element, text bytes, byte-set bytes (0 when
// empty), else the variable itself.
inline intptr_t DataAddress(void* variable, rt::TypeCode type) {
  return detail::Address(detail::CallSpecial(rt::commands::DataAddress, {rt::VariableArg(variable, type)}));
}
inline intptr_t DataAddress(rt::Text& t) { return DataAddress(t.slot(), rt::kTypeText); }
inline intptr_t DataAddress(rt::ByteSet& b) { return DataAddress(b.slot(), rt::kTypeBytes); }
inline intptr_t DataAddress(rt::TextArray& a) { return DataAddress(a.slot(), rt::kTypeText | rt::kArrayBit); }
inline intptr_t VariableAddress(rt::Text& t) { return VariableAddress(t.slot(), rt::kTypeText); }
inline intptr_t VariableAddress(rt::ByteSet& b) { return VariableAddress(b.slot(), rt::kTypeBytes); }
// A new heap block (zero-filled when asked); 0 when size is 0 or less or the heap is exhausted.
inline intptr_t AllocMemory(int32_t size, std::optional<bool> zeroFill = std::nullopt) {
  return detail::Address(
      detail::CallSpecial(rt::commands::AllocMemory, {rt::IntArg(size), detail::OptBool(zeroFill)}));
}
inline void FreeMemory(intptr_t address) {
  detail::CallSpecial(rt::commands::FreeMemory, {rt::AddressArg(reinterpret_cast<const void*>(address))});
}

}  // namespace kernel

#endif  // RUNTIME_KERNEL_H_
