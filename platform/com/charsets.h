// Conversion between UTF-16 and the charsets of text streams: iconv on Linux, kernel32's code
// pages on Windows.
//
// Thread contract: keeps no state; safe from any thread.
#ifndef PLATFORM_COM_CHARSETS_H_
#define PLATFORM_COM_CHARSETS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::com {

// Converts all of `in` from charset `from` to charset `to`, one of them "UTF-16LE", both named
// as iconv names them ("UTF-8", "CP936", "UTF-16BE", "WINDOWS-1252", ...). An invalid or
// incomplete sequence, or a character the target lacks, becomes `bad` (encoded in the target),
// and decoding goes on after its first byte (or `unit` bytes, for UTF-16 input). An unknown
// charset gives an empty result.
std::string ConvertCharset(const char* from, const char* to, std::string_view in, std::string_view bad,
                           size_t unit);

}  // namespace platform::com

#endif  // PLATFORM_COM_CHARSETS_H_
