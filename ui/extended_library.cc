// The extended controls library's descriptor and command table.
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& ExtendedControlsLibrary() {
  static const std::vector<CommandFn> table;
  static const SupportLibrary lib = MakeLibrary("extended controls", table);
  return lib;
}

}  // namespace rt
