// Typed wrappers over the COM bridge commands for application code: owners for the ComObject
// and Variant holders and one function per operation, each calling the kernel command through
// the helper interface. They add no behaviour.
//
// Ownership: ComObject releases its reference and Variant its VARIANT block when they go out
// of scope. Thread contract: the thread that uses them has called CoInitialize.
// Example:
//   rt::com::ComObject stream;
//   if (rt::com::Create(stream, "Adodb.Stream")) {
//     rt::com::SetProperty(stream, "Type", {rt::IntArg(1)});
//     rt::Text t = rt::com::CallText(stream, "ReadText");
//   }
#ifndef RUNTIME_COM_COM_BRIDGE_H_
#define RUNTIME_COM_COM_BRIDGE_H_

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "platform/small_array.h"
#include "runtime/com/bridge.h"
#include "runtime/helper_interface.h"

namespace rt::com {

class ComObject {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  ~ComObject() { CallKernel(&ComClear, {Arg()}); }

  bool empty() const { return holder_.unknown == nullptr && holder_.record == nullptr; }
  ComObjectHolder* holder() { return &holder_; }
  platform::com::IUnknown* unknown() const { return holder_.unknown; }
  // As an argument (the holder's address), by value or as a variable for write-back.
  ArgRecord Arg() const { return VariableArg(const_cast<ComObjectHolder*>(&holder_), kTypeComObject); }
  ArgRecord RefArg() { return VariableArg(&holder_, kTypeComObject | kArrayBit); }

 private:
  ComObjectHolder holder_{nullptr, nullptr};
};

class Variant {
 public:
  Variant() : v_(NewVariantBlock()) {}  // VT_I4 0
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& o) noexcept : v_(std::exchange(o.v_, nullptr)) {}
  Variant& operator=(Variant&& o) noexcept {
    std::swap(v_, o.v_);
    return *this;
  }
  ~Variant() { FreeVariantBlock(v_); }
  static Variant Adopt(platform::com::VARIANT* block) { return Variant(block); }

  platform::com::VARIANT* get() const { return v_; }
  ArgRecord Arg() const { return VariableArg(v_, kTypeVariant); }
  ArgRecord RefArg() { return VariableArg(&v_, kTypeVariant | kArrayBit); }

 private:
  explicit Variant(platform::com::VARIANT* block) : v_(block) {}

  platform::com::VARIANT* v_;
};

namespace detail {
// The holder, the name and the arguments in one record list: on the stack for the usual few
// arguments.
inline ArgRecord Invoke(CommandFn command, ComObject& object, const char* name,
                        std::initializer_list<ArgRecord> args) {
  platform::SmallArray<ArgRecord, 16> all;
  all.Reset(args.size() + 2);
  all[0] = object.Arg();
  all[1] = TextArg(name);
  std::copy(args.begin(), args.end(), all.data() + 2);
  ArgRecord result = ArgRecord::Omitted();
  Helpers().CallKernelCommand(command, &result, static_cast<int32_t>(all.size()), all.data());
  return result;
}
}  // namespace detail

inline bool Create(ComObject& object, const char* progIdOrClsid, const char* typeLibrary = nullptr) {
  return CallKernel(&ComCreate,
                    {object.Arg(), TextArg(progIdOrClsid), typeLibrary ? TextArg(typeLibrary) : Omitted()})
      .boolean();
}
// target must be empty: what it held is not released.
inline void Copy(ComObject& target, const ComObject& source) {
  CallKernel(&ComCopy, {target.Arg(), source.Arg()});
}
inline void Clear(ComObject& object) { CallKernel(&ComClear, {object.Arg()}); }

inline void Call(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  detail::Invoke(&ComCall, object, name, args);
}
inline Text CallText(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  return TextResult(detail::Invoke(&ComCallText, object, name, args));
}
inline double CallNumber(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  return detail::Invoke(&ComCallNumber, object, name, args).f64();
}
inline Text GetText(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  return TextResult(detail::Invoke(&ComGetText, object, name, args));
}
inline double GetNumber(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  return detail::Invoke(&ComGetNumber, object, name, args).f64();
}
inline Variant GetVariant(ComObject& object, const char* name, std::initializer_list<ArgRecord> args = {}) {
  return Variant::Adopt(
      static_cast<platform::com::VARIANT*>(detail::Invoke(&ComGetVariant, object, name, args).ptr()));
}
// args: the index arguments, if any, then the value.
inline bool SetProperty(ComObject& object, const char* name, std::initializer_list<ArgRecord> args) {
  return detail::Invoke(&ComSetProperty, object, name, args).boolean();
}

inline void Clear(Variant& v) { CallKernel(&VariantClearCommand, {v.Arg()}); }
inline ByteSet ToBytes(const Variant& v) { return BytesResult(CallKernel(&VariantToBytes, {v.Arg()})); }
inline bool Assign(Variant& v, const ArgRecord& value, const ArgRecord& index = Omitted()) {
  return CallKernel(&VariantAssign, {v.Arg(), value, index}).boolean();
}
inline int32_t LastError() { return CallKernel(&ComLastError, {}).i32(); }

}  // namespace rt::com

#endif  // RUNTIME_COM_COM_BRIDGE_H_
