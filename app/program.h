// The program description of this application: routines, constants, window data, support
// libraries and declared DLL commands.
//
// Thread contract: immutable static data.
#ifndef APP_PROGRAM_H_
#define APP_PROGRAM_H_

#include "runtime/program.h"

namespace app {

// Indexes of the declared DLL commands.
enum DllCommandIndex : int32_t {
  kDllCoInitialize = 0,
  kDllCoUninitialize = 1,
  kDllMultiByteToWideChar = 2,
  kDllLstrlenW = 3,
  kDllWideCharToMultiByte = 4,
  kDllWideCharToMultiByte2 = 5,
  kDllMultiByteToWideChar2 = 6,
};

const rt::ProgramHeader& ProgramDescription();

}  // namespace app

#endif  // APP_PROGRAM_H_
