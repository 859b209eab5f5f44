// The general objects library's descriptor and command table.
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& GeneralObjectsLibrary() {
  static const std::vector<CommandFn> table;
  static const SupportLibrary lib = MakeLibrary("general objects", table);
  return lib;
}

}  // namespace rt
