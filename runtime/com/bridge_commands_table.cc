// The kernel library's COM bridge commands.
#include "runtime/libraries.h"

namespace rt {

void AppendComBridgeCommands(std::vector<CommandFn>* /*table*/) {}

}  // namespace rt
