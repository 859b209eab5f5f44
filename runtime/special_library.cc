// The special functions library's descriptor and command table.
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& SpecialFunctionsLibrary() {
  static const std::vector<CommandFn> table;
  static const SupportLibrary lib = MakeLibrary("special functions", table);
  return lib;
}

}  // namespace rt
