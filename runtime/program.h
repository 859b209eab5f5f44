// The program description: the constant record the build emits and the runtime starts from.
//
// Ownership: every table a ProgramHeader points to is static data of the program and lives
// for the whole run.
#ifndef RUNTIME_PROGRAM_H_
#define RUNTIME_PROGRAM_H_

#include <cstddef>
#include <cstdint>

#include "runtime/values.h"

namespace rt {

// A command of a support library: (result record, argument count, argument records). The
// result record starts zeroed.
using CommandFn = void (*)(ArgRecord* result, int32_t count, ArgRecord* args);

// The runtime's notification callback, handed to every library at start (code 1).
using RuntimeNotifyFn = intptr_t (*)(int32_t code, intptr_t a, intptr_t b);
// A library's notification entry: code 1 with the runtime's callback at start, code 6 at end.
using LibraryNotifyFn = intptr_t (*)(int32_t code, intptr_t a, intptr_t b);
inline constexpr int32_t kLibraryNotifyStart = 1;
inline constexpr int32_t kLibraryNotifyEnd = 6;

struct SupportLibrary {
  const char* name;
  const CommandFn* commands;  // by command number
  int32_t commandCount;
  LibraryNotifyFn notify;
};

// The application's routines. Event routines receive their arguments as 64-bit slots in
// declaration order and return a value only when `*resultGiven` is set.
using AppRoutine = int64_t (*)(int32_t argCount, const int64_t* args, int32_t* resultGiven);

struct DllCommand {
  const char* libraryFile;  // as declared, e.g. "kernel32"; empty for the system libraries
  const char* function;     // exported name, or "#n" for an ordinal
};

inline constexpr int kSupportLibraryCount = 6;

struct ProgramHeader {
  // The code base: routine offsets in window templates index this table.
  const AppRoutine* routines;
  int32_t routineCount;
  const void* constantData;
  size_t constantLength;
  const unsigned char* windowData;
  size_t windowLength;
  const SupportLibrary* const* libraries;  // kSupportLibraryCount entries, by index
  const DllCommand* dllCommands;
  int32_t dllCommandCount;
  // The application entry routine's pieces (null: an empty routine) and the start window
  // (0: none, the program ends when its preparatory routines are done).
  AppRoutine prepare;
  AppRoutine exitRoutine;
  AppRoutine initialise[2];
  int32_t startWindowId;
};

}  // namespace rt

#endif  // RUNTIME_PROGRAM_H_
