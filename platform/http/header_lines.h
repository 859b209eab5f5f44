// Reading HTTP header lines ("Name: value", the line end already cut off): names compared
// without regard to ASCII case, values trimmed of blanks.
//
// Stateless; safe from any thread. Views point into the caller's texts.
#ifndef PLATFORM_HTTP_HEADER_LINES_H_
#define PLATFORM_HTTP_HEADER_LINES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::http {

// ASCII letters compared without regard to case; other bytes as they are.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix);
// `s` with ASCII capitals made small; other bytes as they are.
std::string ToLowerAscii(std::string_view s);

// Whether `s` is a token as HTTP defines it (a method, a header's name): one or more of the
// letters, digits and "!#$%&'*+-.^_`|~".
bool IsToken(std::string_view s);
// Whether `s` holds a control byte (below 0x20, or 0x7F), which no address or setting may carry.
bool HasControlByte(std::string_view s);

// `s` without blanks, tabs, CRs and LFs at either end.
std::string_view TrimBlanks(std::string_view s);

// The value of the first line whose name (before its first colon, trimmed) is `name`, trimmed;
// nothing when no line has it.
std::optional<std::string_view> HeaderValue(const std::vector<std::string>& lines, std::string_view name);

// The value as a length: a decimal number filling the whole value; -1 for anything else.
int64_t HeaderLength(std::string_view value);

// The range a "Content-Range: bytes FIRST-LAST/TOTAL" value names; TOTAL may be "*" (-1) and
// an unsatisfied range reads "bytes */TOTAL" (first and last -1). False when malformed.
struct ContentRange {
  int64_t first = -1;
  int64_t last = -1;
  int64_t total = -1;
};
bool ParseContentRange(std::string_view value, ContentRange* out);

}  // namespace platform::http

#endif  // PLATFORM_HTTP_HEADER_LINES_H_
