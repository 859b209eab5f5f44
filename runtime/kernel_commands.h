// The command entries of the kernel library (text, conversion, byte-set, number, memory,
// clipboard and message commands) and of the special-functions library (addresses and raw
// memory blocks).
//
// Every entry has the one calling form of the support libraries: it reads its argument records,
// writes its result value and type into `result` (which the caller has zeroed) and returns.
// Ownership: a text or byte-set result is a new block the caller owns; an empty result is null.
// Arrays are new blocks the caller owns, their text members too.
// Thread contract: GUI thread only; no state is kept between calls. ProcessEvents and
// AllTextsBetween-style callers may run other event routines inside a call.
// REQUIRES: text and byte-set arguments are never null (the caller passes the shared empty
// text or byte set in their place); `args` holds `count` records.
#ifndef RUNTIME_KERNEL_COMMANDS_H_
#define RUNTIME_KERNEL_COMMANDS_H_

#include <cstdint>

#include "runtime/values.h"

namespace rt::commands {

#define WL_KERNEL_COMMAND(name) void name(ArgRecord* result, int32_t count, ArgRecord* args)

// ---- Numbers (kernel_misc_commands.cc) ----
WL_KERNEL_COMMAND(IntDivide);  // double, double, further doubles -> double
WL_KERNEL_COMMAND(Remainder);  // double, double, further doubles -> double
WL_KERNEL_COMMAND(BitAnd);     // integer, integer, further integers -> integer
WL_KERNEL_COMMAND(ShiftLeft);  // integer value, integer count -> integer
WL_KERNEL_COMMAND(ShiftRight);
WL_KERNEL_COMMAND(Abs);  // double -> double

// ---- Texts (kernel_text_commands.cc) ----
WL_KERNEL_COMMAND(TextLength);    // text -> integer
WL_KERNEL_COMMAND(LeftText);      // text, integer n -> text
WL_KERNEL_COMMAND(RightText);     // text, integer n -> text
WL_KERNEL_COMMAND(MidText);       // text, integer start, integer n -> text
WL_KERNEL_COMMAND(CharFromCode);  // byte -> text
WL_KERNEL_COMMAND(CharCode);      // text, [integer position] -> integer
WL_KERNEL_COMMAND(FindText);      // text, sought, [integer start], [bool ignore case] -> integer
WL_KERNEL_COMMAND(ToUpper);       // text -> text
WL_KERNEL_COMMAND(ToLower);       // text -> text
WL_KERNEL_COMMAND(TrimSpaces);    // text -> text
WL_KERNEL_COMMAND(RemoveSpaces);  // text -> text
// text, sought, [replacement], [integer start], [integer count], [bool case sensitive] -> text
WL_KERNEL_COMMAND(ReplaceText);
WL_KERNEL_COMMAND(SplitText);   // text, [separator], [integer most] -> array of text
WL_KERNEL_COMMAND(SpaceText);   // integer n -> text
WL_KERNEL_COMMAND(RepeatText);  // integer count, text -> text

// ---- Conversions (kernel_convert_commands.cc) ----
WL_KERNEL_COMMAND(ToText);     // any system value, byte set or numeric array -> text
WL_KERNEL_COMMAND(ToInteger);  // any system value -> integer
WL_KERNEL_COMMAND(ToByte);     // any system value -> byte
WL_KERNEL_COMMAND(ToByteSet);  // any system value or numeric array -> byte set

// ---- Byte sets (kernel_bytes_commands.cc) ----
WL_KERNEL_COMMAND(ByteSetLength);  // byte set -> integer
WL_KERNEL_COMMAND(LeftBytes);      // byte set, integer n -> byte set
WL_KERNEL_COMMAND(MidBytes);       // byte set, integer start, integer n -> byte set
// byte set, sought, [replacement], [integer start], [integer count] -> byte set
WL_KERNEL_COMMAND(ReplaceBytes);
WL_KERNEL_COMMAND(ZeroBytes);  // integer n -> byte set

// ---- Clipboard, messages, memory (kernel_misc_commands.cc) ----
WL_KERNEL_COMMAND(SetClipboardText);  // text -> bool
WL_KERNEL_COMMAND(ProcessEvents);     // none
WL_KERNEL_COMMAND(ReadInteger);       // address -> integer
WL_KERNEL_COMMAND(WriteMemory);       // value or byte array, address, [integer length]

// ---- Special-functions library (special_commands.cc) ----
// Addresses are pointer-wide: results carry the long integer type.
WL_KERNEL_COMMAND(VariableAddress);  // variable by reference -> address
WL_KERNEL_COMMAND(DataAddress);      // variable by reference -> address
WL_KERNEL_COMMAND(AllocMemory);      // integer size, [bool zero-fill] -> address (0 on failure)
WL_KERNEL_COMMAND(FreeMemory);       // address

#undef WL_KERNEL_COMMAND

}  // namespace rt::commands

#endif  // RUNTIME_KERNEL_COMMANDS_H_
