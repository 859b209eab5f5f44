// The grid library's entry in the runtime's table of support libraries on Windows. Its
// commands come with the Windows grid control; until then the entry has none, and a grid unit
// loads as a blank unit (grid_control.cc).
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& GridLibrary() {
  static const std::vector<CommandFn> none;
  static const SupportLibrary lib = MakeLibrary("grid", none);
  return lib;
}

}  // namespace rt
