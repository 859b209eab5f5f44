// Escaping and unescaping of text values: 反转义文本 decodes the backslash escapes of a
// stored text; 转义文本 writes a text with them. Code-page conversions go through the
// program's declared DLL commands.
#include <cstring>
#include <string>

#include "json/json_document.h"
#include "platform/codepage.h"
#include "runtime/dll_commands.h"

namespace json {
namespace {

int HexDigit(unsigned char c) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (c >= 'a' && c <= 'f') c = static_cast<unsigned char>(c - 32);
  const char* p = c ? std::strchr(kDigits, c) : nullptr;
  return p ? static_cast<int>(p - kDigits) : -1;
}

// The second byte of a double-byte character in code page 936.
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// The code unit of the four hex digits at `at`, or -1 when there are fewer.
int HexUnitAt(std::string_view in, size_t at) {
  if (at + 4 > in.size()) return -1;
  int unit = 0;
  for (size_t k = 0; k < 4; ++k) {
    int d = HexDigit(static_cast<unsigned char>(in[at + k]));
    if (d < 0) return -1;
    unit = unit * 16 + d;
  }
  return unit;
}

// The code unit of a "\\uXXXX" escape of a low surrogate at `at`, or -1.
int LowSurrogateEscapeAt(std::string_view in, size_t at) {
  if (at + 2 > in.size() || in[at] != '\\' || in[at + 1] != 'u') return -1;
  int unit = HexUnitAt(in, at + 2);
  return unit >= 0xDC00 && unit <= 0xDFFF ? unit : -1;
}

}  // namespace

void 类_JSON::反转义文本(rt::Text* text) {
  std::string_view in = text->view();
  size_t n = in.size();
  if (n == 0) {
    text->reset();  // an empty text becomes null, as a copy would make it
    return;
  }
  if (std::memchr(in.data(), '\\', n) == nullptr) return;  // nothing to decode
  // Never longer than the input: every escape is at most as long as what it replaces.
  std::string out;
  out.reserve(n + 1);
  size_t i = 0;
  while (i < n) {
    if (in[i] != '\\') {
      // The run up to the next backslash, at once.
      const void* slash = std::memchr(in.data() + i, '\\', n - i);
      size_t end = slash != nullptr ? static_cast<size_t>(static_cast<const char*>(slash) - in.data()) : n;
      out.append(in.data() + i, end - i);
      i = end;
      continue;
    }
    if (i + 1 >= n) break;  // a backslash at the very end writes nothing
    char x = in[i + 1];
    i += 2;
    switch (x) {
      case 'r':
        out.push_back('\r');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case '/':
      case '\\':
      case '"':
        out.push_back(x);
        break;
      case 'u': {
        const int unit = HexUnitAt(in, i);
        if (unit < 0) {
          // Fewer than four digits (a non-digit, or the end of the text): kept as written.
          out.append("\\u");
          break;
        }
        i += 4;
        char16_t wide[2] = {static_cast<char16_t>(unit), 0};
        int32_t units = 1;
        // A character past U+FFFF is written as two escapes, a surrogate pair: it is one
        // character, converted as one (never two replacement characters).
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          int low = LowSurrogateEscapeAt(in, i);
          if (low >= 0) {
            wide[1] = static_cast<char16_t>(low);
            units = 2;
            i += 6;
          }
        }
        char bytes[4] = {0, 0, 0, 0};
        int32_t written = rt::CallDll<rt::WideCharToMultiByteFn>(
            rt::kDllWideCharToMultiByte, platform::kCodePageAnsi, 0u, wide, units, bytes,
            static_cast<int32_t>(sizeof bytes), nullptr, nullptr);
        // The bytes the conversion produced, one or two; a character the code page lacks
        // comes out as "?".
        if (written <= 0) {
          out.push_back('?');
        } else {
          out.append(bytes, static_cast<size_t>(written));
        }
        break;
      }
      default:
        out.push_back('\\');
        out.push_back(x);
        break;
    }
  }
  // The result ends at the first zero byte.
  *text = rt::Text(std::string_view(out.c_str()));
}

void 类_JSON::转义文本(const char* input, rt::Text* out, bool unicodeEscapes, bool slashEscapes) {
  const char* in = rt::OrEmpty(input);
  size_t n = std::strlen(in);
  // The longest output a byte can give: a backslash escape is two bytes, and a one-byte
  // character (0x80, 0xFF) written as a Unicode escape is six.
  const uint64_t size = (unicodeEscapes ? 6 : 2) * static_cast<uint64_t>(n) + 1;
  auto* buffer = static_cast<char*>(rt::MemTryAlloc(size));
  if (buffer == nullptr) {
    *out = rt::Text();
    return;
  }
  std::memset(buffer, 0, static_cast<size_t>(size));
  static const char kHex[] = "0123456789ABCDEF";
  char* w = buffer;
  for (size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(in[i]);
    if (unicodeEscapes && c >= 0x80) {
      // One character of the code page: 0x80 (the euro sign) and 0xFF stand alone, a lead byte
      // takes the next byte only when that is a trail byte. A lead byte without one is
      // dropped and the next byte keeps its own rule, so no quote or control byte is lost.
      const bool lead = c >= 0x81 && c <= 0xFE;
      const int32_t length = lead ? 2 : 1;
      if (lead && (i + 1 >= n || !IsTrailByte(static_cast<unsigned char>(in[i + 1])))) continue;
      char16_t wide = 0;
      int32_t units = rt::CallDll<rt::MultiByteToWideCharFn>(
          rt::kDllMultiByteToWideChar, platform::kCodePageAnsi, 0u, in + i, length, &wide, 1);
      if (units != 1) wide = 0xFFFD;
      i += static_cast<size_t>(length - 1);
      *w++ = '\\';
      *w++ = 'u';
      *w++ = kHex[(wide >> 12) & 15];
      *w++ = kHex[(wide >> 8) & 15];
      *w++ = kHex[(wide >> 4) & 15];
      *w++ = kHex[wide & 15];
      continue;
    }
    const char* escape = nullptr;
    switch (c) {
      case '\b':
        escape = "\\b";
        break;
      case '/':
        if (slashEscapes) escape = "\\/";
        break;
      case '\\':
        escape = "\\\\";
        break;
      case '\r':
        escape = "\\r";
        break;
      case '\n':
        escape = "\\n";
        break;
      case '\f':
        escape = "\\f";
        break;
      case '\t':
        escape = "\\t";
        break;
      case '"':
        escape = "\\\"";
        break;
      default:
        break;
    }
    if (escape) {
      *w++ = escape[0];
      *w++ = escape[1];
    } else {
      *w++ = static_cast<char>(c);
    }
  }
  if (buffer[0] == '\0') {  // an empty result is null
    rt::MemFree(buffer);
    buffer = nullptr;
  }
  *out = rt::Text::Adopt(buffer);
}

}  // namespace json
