// The kernel library's COM bridge commands.
#include "runtime/com/bridge.h"
#include "runtime/libraries.h"

namespace rt {

void AppendComBridgeCommands(std::vector<CommandFn>* table) {
  const CommandFn commands[] = {
      &ComCreate,           &ComCopy,        &ComClear,      &ComCall,       &ComCallText,
      &ComCallNumber,       &ComGetText,     &ComGetNumber,  &ComGetVariant, &ComSetProperty,
      &VariantClearCommand, &VariantToBytes, &VariantAssign, &ComLastError,
  };
  table->insert(table->end(), std::begin(commands), std::end(commands));
}

}  // namespace rt
