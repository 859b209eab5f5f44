// RapidString: the general objects library's growable text object (type 0x00050001) and its
// six commands, with a typed owner for the application.
//
// Ownership: a RapidString variable holds a 40-byte instance block taken from the value heap
// and zero-filled; its first word points to the string object, which lives on the C library
// heap together with its character store. `rt::RapidString` owns one such block.
// Thread contract: GUI thread only; objects are never shared between threads.
// REQUIRES: the first argument of every command is an instance block (type 0x00050001).
#ifndef RUNTIME_RAPID_STRING_H_
#define RUNTIME_RAPID_STRING_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "runtime/helper_interface.h"
#include "runtime/values.h"

namespace rt {

inline constexpr size_t kRapidStringBlockSize = 40;

// The string object a block's first word points to.
struct RapidStringObject {
  char* data;           // zero-terminated store; null until first needed
  int32_t length;       // bytes in use, the terminating zero not counted
  int32_t capacity;     // bytes in the store
  int32_t firstSize;    // 10240
  int32_t largestSize;  // 0x7FFFFFFE
  int32_t growthStep;   // 10240
  int32_t (*growth)();  // null: growthStep is used
};

// Command numbers in the general objects library's table.
enum RapidStringCommand : int32_t {
  kRapidStringCreate = 0,
  kRapidStringCopy = 1,
  kRapidStringRelease = 2,
  kRapidStringGetText = 3,
  kRapidStringClear = 4,
  kRapidStringAppend = 5,
};

void RapidStringCreate(ArgRecord* result, int32_t count, ArgRecord* args);
void RapidStringCopy(ArgRecord* result, int32_t count, ArgRecord* args);
void RapidStringRelease(ArgRecord* result, int32_t count, ArgRecord* args);
void RapidStringGetText(ArgRecord* result, int32_t count, ArgRecord* args);
void RapidStringClear(ArgRecord* result, int32_t count, ArgRecord* args);
void RapidStringAppend(ArgRecord* result, int32_t count, ArgRecord* args);

// Appends the general objects library's commands in table order.
void AppendRapidStringCommands(std::vector<CommandFn>* table);

// The string object of an instance block; null when missing (released or never created).
RapidStringObject* RapidStringOf(const void* block);

// The argument record of an instance block.
inline ArgRecord RapidStringArg(const void* block) {
  ArgRecord r;
  r.setPtr(block, kTypeRapidString);
  return r;
}

// Owns an instance block and its string object; every operation goes through the library's
// commands. Copies are deep (RapidStringCopy).
class RapidString {
 public:
  RapidString();
  RapidString(const RapidString& other);
  RapidString& operator=(const RapidString& other);
  RapidString(RapidString&&) = delete;
  ~RapidString();

  // Appends the text form of each value; true when every part was appended.
  bool Append(std::initializer_list<ArgRecord> values);
  bool AppendText(const char* text);
  // Appends n raw bytes (zero bytes included), passed as byte sets of bounded size.
  bool AppendBytes(const void* bytes, size_t n);
  bool Clear();
  // The whole text (asked for with the instance block alone, as callers leave trailing
  // arguments off), or a piece of it (start 1-based, negative from the end).
  Text GetText() const;
  Text GetText(std::optional<int32_t> start, std::optional<int32_t> length = std::nullopt) const;
  // Bytes in use (0 when the object is missing).
  int32_t length() const;
  // Drops the string object (RapidStringRelease); the block stays owned.
  void Release();

  void* block() const { return block_; }

 private:
  void* block_;
};

}  // namespace rt

#endif  // RUNTIME_RAPID_STRING_H_
