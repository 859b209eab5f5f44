// The program description of this application: routines, constants, window data, support
// libraries and declared DLL commands.
//
// Thread contract: immutable static data.
#ifndef APP_PROGRAM_H_
#define APP_PROGRAM_H_

#include "runtime/program.h"

namespace app {

const rt::ProgramHeader& ProgramDescription();

}  // namespace app

#endif  // APP_PROGRAM_H_
