// Text stream charsets over kernel32's code pages. UTF-16 in either byte order is handled here;
// the others go through MultiByteToWideChar and WideCharToMultiByte, strictly, with the same
// substitution as on Linux: one `bad` per invalid byte (decoding) or per character the code page
// lacks (encoding).
#include "platform/com/charsets.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace platform::com {
namespace {

constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;

// The code page of an iconv charset name, or 0.
UINT CodePageOf(const char* name) {
  struct Name {
    const char* iconv;
    UINT codePage;
  };
  static const Name kNames[] = {
      {"UTF-16LE", kUtf16Le}, {"UTF-16BE", kUtf16Be}, {"UTF-8", CP_UTF8}, {"CP936", 936},
      {"GB18030", 54936},     {"BIG5", 950},          {"CP932", 932},     {"EUC-JP", 20932},
      {"CP949", 949},         {"WINDOWS-1252", 1252}, {"ASCII", 20127},   {"WINDOWS-1251", 1251},
      {"KOI8-R", 20866},
  };
  for (const Name& n : kNames) {
    if (std::strcmp(n.iconv, name) == 0) return n.codePage;
  }
  return 0;
}

void AppendUnits(std::u16string_view units, bool bigEndian, std::string* out) {
  for (char16_t u : units) {
    char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out->push_back(bigEndian ? hi : lo);
    out->push_back(bigEndian ? lo : hi);
  }
}

// Strict conversions of a whole piece; false when any part of it has no conversion.
bool StrictDecode(UINT cp, std::string_view in, std::u16string* out) {
  int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                        reinterpret_cast<wchar_t*>(out->data()), n);
  return true;
}

bool StrictEncode(UINT cp, std::u16string_view in, std::string* out) {
  // kernel32 takes neither a default-character flag nor best-fit options for these two.
  const bool exact = cp == CP_UTF8 || cp == 54936;
  BOOL usedDefault = FALSE;
  BOOL* used = exact ? nullptr : &usedDefault;
  DWORD flags = exact ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const auto* src = reinterpret_cast<const wchar_t*>(in.data());
  int n = ::WideCharToMultiByte(cp, flags, src, static_cast<int>(in.size()), nullptr, 0, nullptr, used);
  if (n <= 0 && !exact && ::GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;  // code pages that refuse WC_NO_BEST_FIT_CHARS
    n = ::WideCharToMultiByte(cp, flags, src, static_cast<int>(in.size()), nullptr, 0, nullptr, used);
  }
  if (n <= 0 || usedDefault) return false;
  out->resize(static_cast<size_t>(n));
  ::WideCharToMultiByte(cp, flags, src, static_cast<int>(in.size()), out->data(), n, nullptr, used);
  return true;
}

// Bytes in code page `cp` to UTF-16 units, a `bad` unit for each byte that starts no character.
std::u16string Decode(UINT cp, std::string_view in, char16_t bad) {
  std::u16string out;
  if (in.empty() || StrictDecode(cp, in, &out)) return out;
  out.clear();
  std::u16string piece;
  size_t at = 0;
  while (at < in.size()) {
    size_t len = 1;
    // The shortest prefix that converts is the character (at most four bytes in any of them).
    while (len <= 4 && at + len <= in.size() && !StrictDecode(cp, in.substr(at, len), &piece)) ++len;
    if (len <= 4 && at + len <= in.size()) {
      out += piece;
      at += len;
    } else {
      out.push_back(bad);
      ++at;
    }
  }
  return out;
}

// UTF-16 units to code page `cp`, `bad` for each character the code page lacks.
std::string Encode(UINT cp, std::u16string_view in, std::string_view bad) {
  std::string out;
  if (in.empty() || StrictEncode(cp, in, &out)) return out;
  out.clear();
  std::string piece;
  for (size_t i = 0; i < in.size();) {
    size_t len =
        in[i] >= 0xD800 && in[i] <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF
            ? 2
            : 1;
    if (StrictEncode(cp, in.substr(i, len), &piece)) {
      out += piece;
    } else {
      out.append(bad);
    }
    i += len;
  }
  return out;
}

}  // namespace

std::string ConvertCharset(const char* from, const char* to, std::string_view in, std::string_view bad,
                           size_t unit) {
  const UINT source = CodePageOf(from);
  const UINT target = CodePageOf(to);
  if (source == 0 || target == 0) return {};
  // Into UTF-16 units first; a UTF-16 source is its units already.
  std::u16string units;
  if (source == kUtf16Le || source == kUtf16Be) {
    const size_t whole = in.size() - in.size() % 2;
    for (size_t i = 0; i < whole; i += 2) {
      auto a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
      units.push_back(static_cast<char16_t>(source == kUtf16Le ? a | b << 8 : b | a << 8));
    }
    (void)unit;  // a trailing odd byte is cut off by the caller
  } else {
    // `bad` is encoded in the target; for a UTF-16 target it is one unit, the others are done
    // below from a marker that cannot come out of a decoder.
    char16_t marker = target == kUtf16Le && bad.size() == 2
                          ? static_cast<char16_t>(static_cast<unsigned char>(bad[0]) |
                                                  static_cast<unsigned char>(bad[1]) << 8)
                          : u'\xFFFD';
    units = Decode(source, in, marker);
  }
  std::string out;
  if (target == kUtf16Le || target == kUtf16Be) {
    AppendUnits(units, target == kUtf16Be, &out);
    return out;
  }
  return Encode(target, units, bad);
}

}  // namespace platform::com
