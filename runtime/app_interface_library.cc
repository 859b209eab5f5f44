// The application interface library's descriptor and command table.
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& AppInterfaceLibrary() {
  static const std::vector<CommandFn> table;
  static const SupportLibrary lib = MakeLibrary("application interface", table);
  return lib;
}

}  // namespace rt
