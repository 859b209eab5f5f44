// The helper interface: the fixed table of entries through which application code reaches
// the runtime, and thin typed wrappers over it that add no behaviour.
//
// Thread contract: GUI thread only. The table is static data of the runtime.
#ifndef RUNTIME_HELPER_INTERFACE_H_
#define RUNTIME_HELPER_INTERFACE_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "runtime/program.h"
#include "runtime/values.h"

namespace rt {

// gcc takes [[noreturn]] on the two entries; clang accepts it only on functions (fuzz builds).
#if defined(__clang__)
#define WL_NORETURN_ENTRY
#else
#define WL_NORETURN_ENTRY [[noreturn]]
#endif

struct HelperInterface {
  // Library 0. The result record starts zeroed.
  void (*CallKernelCommand)(CommandFn command, ArgRecord* result, int32_t count, ArgRecord* args);
  // Libraries 1 to 5.
  void (*CallLibraryCommand)(int32_t library, CommandFn command, ArgRecord* result, int32_t count,
                             ArgRecord* args);
  // Services 2 (make an array writable: a = variable address, b = element width),
  // 3 (register exit routine: a = routine), 6 (start: a = program header).
  intptr_t (*RuntimeService)(int32_t number, intptr_t a, intptr_t b);
  // Resolves DLL command `index`; the typed thunk CallDll transfers control to it.
  void* (*CallDllCommand)(int32_t index);
  int64_t (*GetUnitProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index);
  void (*SetUnitProperty)(int32_t windowId, int32_t unitId, int32_t property, int32_t index, int64_t value);
  void (*LoadWindow)(int32_t windowId);
  void (*RunMessageLoop)();
  void* (*MemAlloc)(uint64_t size);
  void* (*MemRealloc)(void* block, uint64_t size);
  void (*MemFree)(void* block);
  WL_NORETURN_ENTRY void (*RaiseRuntimeError)(int32_t code, int32_t posA, int32_t posB);
  WL_NORETURN_ENTRY void (*EndProgram)(int32_t exitCode);
};

const HelperInterface& Helpers();

inline constexpr int32_t kServiceMakeArrayWritable = 2;
inline constexpr int32_t kServiceRegisterExitRoutine = 3;
inline constexpr int32_t kServiceStartRuntime = 6;

// ---- Argument records -----------------------------------------------------------------

inline ArgRecord TextArg(const char* text) {
  ArgRecord r;
  r.setPtr(OrEmpty(text), kTypeText);
  return r;
}
inline ArgRecord TextArg(const Text& text) { return TextArg(text.c_str()); }
inline ArgRecord BytesArg(const unsigned char* block) {
  ArgRecord r;
  r.setPtr(OrEmptyBytes(block), kTypeBytes);
  return r;
}
inline ArgRecord BytesArg(const ByteSet& bytes) { return BytesArg(bytes.block()); }
inline ArgRecord IntArg(int32_t v) {
  ArgRecord r;
  r.setI32(v);
  return r;
}
inline ArgRecord LongArg(int64_t v) {
  ArgRecord r;
  r.setI64(v);
  return r;
}
// Addresses travel as long integers, pointer-wide.
inline ArgRecord AddressArg(const void* p) {
  ArgRecord r;
  r.setPtr(p, kTypeLong);
  return r;
}
inline ArgRecord DoubleArg(double v) {
  ArgRecord r;
  r.setF64(v);
  return r;
}
inline ArgRecord FloatArg(float v) {
  ArgRecord r;
  r.setF32(v);
  return r;
}
inline ArgRecord BoolArg(bool v) {
  ArgRecord r;
  r.setBool(v);
  return r;
}
inline ArgRecord ByteArg(uint8_t v) {
  ArgRecord r;
  r.setU8(v);
  return r;
}
// A variable passed by reference: its address and its own type (array bit for arrays).
inline ArgRecord VariableArg(void* variable, TypeCode type) {
  ArgRecord r;
  r.setPtr(variable, type);
  return r;
}
inline ArgRecord Omitted() { return ArgRecord::Omitted(); }

// The argument records one command call receives: in place for the usual few, on the heap for
// more, so that every argument reaches the command. Not copyable, so the records stay put.
class CallRecords {
 public:
  static constexpr size_t kInPlace = 32;
  explicit CallRecords(size_t count) {
    if (count > kInPlace) heap_ = std::make_unique<ArgRecord[]>(count);
  }
  CallRecords(const CallRecords&) = delete;
  CallRecords& operator=(const CallRecords&) = delete;
  ArgRecord* data() { return heap_ ? heap_.get() : inPlace_; }

 private:
  ArgRecord inPlace_[kInPlace];
  std::unique_ptr<ArgRecord[]> heap_;
};

// Copies the argument records into `buf` from position `n` on and returns the new count. Value
// and type are copied at the widths they were just written with: one wide copy of a record the
// caller has only now filled would wait for its narrower stores on every call.
inline int32_t CopyArgs(std::initializer_list<ArgRecord> args, ArgRecord* buf, int32_t n = 0) {
  for (const ArgRecord& a : args) {
    std::memcpy(buf[n].value, a.value, sizeof a.value);
    std::memcpy(buf[n].typeBytes, a.typeBytes, sizeof a.typeBytes);
    ++n;
  }
  return n;
}

// Calls a kernel command with the records and returns the result record.
inline ArgRecord CallKernel(CommandFn command, std::initializer_list<ArgRecord> args) {
  ArgRecord result = ArgRecord::Omitted();
  CallRecords buf(args.size());
  int32_t n = CopyArgs(args, buf.data());
  Helpers().CallKernelCommand(command, &result, n, buf.data());
  return result;
}
inline ArgRecord CallLibrary(int32_t library, CommandFn command, std::initializer_list<ArgRecord> args) {
  ArgRecord result = ArgRecord::Omitted();
  CallRecords buf(args.size());
  int32_t n = CopyArgs(args, buf.data());
  Helpers().CallLibraryCommand(library, command, &result, n, buf.data());
  return result;
}

// The same with one record before the list: the object a command works on, or a format.
inline ArgRecord CallLibrary(int32_t library, CommandFn command, const ArgRecord& first,
                             std::initializer_list<ArgRecord> rest) {
  ArgRecord result = ArgRecord::Omitted();
  CallRecords buf(rest.size() + 1);
  buf.data()[0] = first;
  int32_t n = CopyArgs(rest, buf.data(), 1);
  Helpers().CallLibraryCommand(library, command, &result, n, buf.data());
  return result;
}

// Results: a text or byte-set result is a new block the caller owns.
inline Text TextResult(const ArgRecord& r) { return Text::Adopt(const_cast<char*>(r.text())); }
inline ByteSet BytesResult(const ArgRecord& r) { return ByteSet::Adopt(r.ptr()); }

}  // namespace rt

#endif  // RUNTIME_HELPER_INTERFACE_H_
