// The general objects library's descriptor and command table.
#include "runtime/libraries.h"
#include "runtime/rapid_string.h"

namespace rt {

const SupportLibrary& GeneralObjectsLibrary() {
  static const std::vector<CommandFn> table = [] {
    std::vector<CommandFn> t;
    AppendRapidStringCommands(&t);
    return t;
  }();
  static const SupportLibrary lib = MakeLibrary("general objects", table);
  return lib;
}

}  // namespace rt
