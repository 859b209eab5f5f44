// The special functions library's descriptor and command table.
#include "runtime/kernel_commands.h"
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& SpecialFunctionsLibrary() {
  static const std::vector<CommandFn> table = {
      commands::VariableAddress,
      commands::DataAddress,
      commands::AllocMemory,
      commands::FreeMemory,
  };
  static const SupportLibrary lib = MakeLibrary("special functions", table);
  return lib;
}

}  // namespace rt
