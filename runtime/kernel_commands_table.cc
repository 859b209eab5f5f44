// The kernel library's text, number, byte-set, memory, clipboard and message commands.
#include "runtime/libraries.h"

namespace rt {

void AppendKernelCommands(std::vector<CommandFn>* /*table*/) {}

}  // namespace rt
