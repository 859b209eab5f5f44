// The application interface library's descriptor and command table.
#include "runtime/format_text.h"
#include "runtime/libraries.h"

namespace rt {

const SupportLibrary& AppInterfaceLibrary() {
  static const std::vector<CommandFn> table = [] {
    std::vector<CommandFn> t;
    AppendAppInterfaceCommands(&t);
    return t;
  }();
  static const SupportLibrary lib = MakeLibrary("application interface", table);
  return lib;
}

}  // namespace rt
