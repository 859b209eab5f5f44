// The kernel library's text, number, byte-set, memory, clipboard and message commands.
#include "runtime/kernel_commands.h"
#include "runtime/libraries.h"

namespace rt {

void AppendKernelCommands(std::vector<CommandFn>* table) {
  using namespace commands;
  const CommandFn kCommands[] = {
      IntDivide,    Remainder,  BitAnd,           ShiftLeft,     ShiftRight,    Abs,         TextLength,
      LeftText,     RightText,  MidText,          CharFromCode,  CharCode,      FindText,    ToUpper,
      ToLower,      TrimSpaces, RemoveSpaces,     ReplaceText,   SplitText,     SpaceText,   RepeatText,
      ToText,       ToInteger,  ToByte,           ToByteSet,     ByteSetLength, LeftBytes,   MidBytes,
      ReplaceBytes, ZeroBytes,  SetClipboardText, ProcessEvents, ReadInteger,   WriteMemory,
  };
  table->insert(table->end(), std::begin(kCommands), std::end(kCommands));
}

}  // namespace rt
