// FormatText: the application interface library's printf-style formatter, and its typed
// wrapper for the application.
//
// Ownership: the result is a new text block owned by the caller (null when empty).
// Thread contract: any thread; formatting is done in the C locale whatever the process
// locale is.
#ifndef RUNTIME_FORMAT_TEXT_H_
#define RUNTIME_FORMAT_TEXT_H_

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "runtime/helper_interface.h"
#include "runtime/values.h"

namespace rt {

// Command number in the application interface library's table.
inline constexpr int32_t kFormatTextCommand = 0;

// (format text, values...) → text. Every directive is checked against its value: s takes a
// text; d, i, o, u, x, X, c a 32-bit kind (integer, short, byte, bool, address); e, f, g, a
// (either case) a float or a double. A mismatch, a missing value, %n, a "*" width or
// precision, a 64-bit length modifier, or a value of an unsupported type (byte set, long
// integer, date-time, arrays) gives the empty result. "h" and "hh" narrow an integer conversion
// to a short or a char as the C library does; "l" is the platform's 32-bit long. Each directive
// is formatted on its own with a bounded call; exponents are written with at least three
// digits, as the platform's C library writes them.
void FormatText(ArgRecord* result, int32_t count, ArgRecord* args);

void AppendAppInterfaceCommands(std::vector<CommandFn>* table);

// Typed wrapper: FormatText(format, {TextArg(...), IntArg(...)}).
Text FormatTextOf(const char* format, std::initializer_list<ArgRecord> values);

}  // namespace rt

#endif  // RUNTIME_FORMAT_TEXT_H_
