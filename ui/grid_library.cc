// The grid library's descriptor and command table.
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& GridLibrary() {
  static const std::vector<CommandFn> table;
  static const SupportLibrary lib = MakeLibrary("grid", table);
  return lib;
}

}  // namespace rt
