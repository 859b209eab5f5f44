// Code pages over kernel32, with code page 936 fixed (never the system's ANSI page, which is
// whatever the user's locale makes it). kernel32's own rules for damaged input differ from the
// Linux backend's (0xFF becomes U+F8F5, a cut UTF-8 sequence one U+FFFD, a pair without a form
// in 936 one "?" per unit); the program keeps one rule on both platforms: every byte that starts
// no valid character is one U+FFFD, every character without a form in the target is one
// default character. So kernel32 converts each non-ASCII piece whole when that piece is clean,
// and character by character otherwise.
#include "platform/codepage.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\xFFFD';

bool Supported(uint32_t codePage) {
  return codePage == kCodePageAnsi || codePage == kCodePageGbk || codePage == kCodePageUtf8;
}

UINT SystemCodePage(uint32_t codePage) { return codePage == kCodePageUtf8 ? CP_UTF8 : 936; }

// The number of bytes the character starting at src[0] claims (at most n), by its first bytes.
size_t ClaimedLength(uint32_t codePage, const unsigned char* src, size_t n) {
  unsigned char b = src[0];
  if (codePage != kCodePageUtf8) return b >= 0x81 && b <= 0xFE && n >= 2 ? 2 : 1;
  size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  return len < n ? len : n;
}

// kernel32's strict conversion of the bytes, appended; false (nothing appended) when any byte
// is invalid.
bool StrictDecode(UINT cp, const unsigned char* src, size_t n, std::u16string* out) {
  const auto* s = reinterpret_cast<const char*>(src);
  int len = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s, static_cast<int>(n), nullptr, 0);
  if (len <= 0) return false;
  size_t at = out->size();
  out->resize(at + static_cast<size_t>(len));
  ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s, static_cast<int>(n),
                        reinterpret_cast<wchar_t*>(out->data() + at), len);
  return true;
}

// A non-ASCII piece. 0xFF is no character of code page 936 (kernel32 maps it to a private-use
// character); a single trail byte below 0x40 is not either.
void DecodePiece(uint32_t codePage, const unsigned char* src, size_t n, std::u16string* out) {
  UINT cp = SystemCodePage(codePage);
  bool clean = codePage == kCodePageUtf8 || std::memchr(src, 0xFF, n) == nullptr;
  if (clean && StrictDecode(cp, src, n, out)) return;
  size_t at = 0;
  while (at < n) {
    size_t len = ClaimedLength(codePage, src + at, n - at);
    bool valid = codePage == kCodePageUtf8 || src[at] != 0xFF;
    if (valid && codePage != kCodePageUtf8 && len == 1 && src[at] >= 0x81) valid = false;  // a cut pair
    if (valid && StrictDecode(cp, src + at, len, out)) {
      at += len;
    } else {
      out->push_back(kReplacement);  // skip one byte: the next may start a character
      ++at;
    }
  }
}

std::u16string Decode(uint32_t codePage, const char* src, size_t n) {
  std::u16string out;
  out.reserve(n);
  auto* bytes = reinterpret_cast<const unsigned char*>(src);
  size_t at = 0;
  while (at < n) {
    size_t ascii = at;
    while (ascii < n && bytes[ascii] < 0x80) ++ascii;
    for (size_t i = at; i < ascii; ++i) out.push_back(bytes[i]);
    if (ascii == n) break;
    // In code page 936 the second byte of a pair may be ASCII: such a pair is stepped over whole.
    size_t end = ascii;
    while (end < n && bytes[end] >= 0x80) {
      end += codePage != kCodePageUtf8 && bytes[end] >= 0x81 && bytes[end] <= 0xFE ? 2 : 1;
    }
    if (end > n) end = n;
    DecodePiece(codePage, bytes + ascii, end - ascii, &out);
    at = end;
  }
  return out;
}

// kernel32's conversion of the units, appended; false (nothing appended) when a unit has no
// form in the code page or is a lone surrogate.
bool StrictEncode(UINT cp, const char16_t* src, size_t n, std::string* out) {
  const auto* s = reinterpret_cast<const wchar_t*>(src);
  const int count = static_cast<int>(n);
  BOOL usedDefault = FALSE;
  DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL* used = cp == CP_UTF8 ? nullptr : &usedDefault;  // kernel32 refuses it for UTF-8
  int len = ::WideCharToMultiByte(cp, flags, s, count, nullptr, 0, nullptr, used);
  if (len <= 0 || usedDefault) return false;
  size_t at = out->size();
  out->resize(at + static_cast<size_t>(len));
  ::WideCharToMultiByte(cp, flags, s, count, out->data() + at, len, nullptr, used);
  return true;
}

std::string Encode(uint32_t codePage, const char16_t* src, size_t n, const char* defaultChar,
                   bool* usedDefault) {
  std::string out;
  out.reserve(n);
  UINT cp = SystemCodePage(codePage);
  std::string_view substitute =
      codePage == kCodePageUtf8 ? "\xEF\xBF\xBD" : (defaultChar ? defaultChar : "?");
  size_t at = 0;
  while (at < n) {
    size_t ascii = at;
    while (ascii < n && src[ascii] < 0x80) ++ascii;
    for (size_t i = at; i < ascii; ++i) out.push_back(static_cast<char>(src[i]));
    if (ascii == n) break;
    size_t end = ascii;
    while (end < n && src[end] >= 0x80) ++end;
    if (!StrictEncode(cp, src + ascii, end - ascii, &out)) {
      for (size_t i = ascii; i < end;) {
        // A surrogate pair is one character: converted, or substituted, whole.
        size_t len = src[i] >= 0xD800 && src[i] <= 0xDBFF && i + 1 < end && src[i + 1] >= 0xDC00 &&
                             src[i + 1] <= 0xDFFF
                         ? 2
                         : 1;
        if (!StrictEncode(cp, src + i, len, &out)) {
          out.append(substitute);
          *usedDefault = true;
        }
        i += len;
      }
    }
    at = end;
  }
  return out;
}

}  // namespace

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t /*flags*/, const char* src, int32_t srcLength,
                            char16_t* dst, int32_t dstLength) {
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0 || !Supported(codePage)) return 0;
  if (dstLength > 0 && dst == nullptr) return 0;
  size_t n = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
  std::u16string wide = Decode(codePage, src, n);
  if (dstLength == 0) return static_cast<int32_t>(wide.size());
  if (wide.size() > static_cast<size_t>(dstLength)) return 0;
  std::memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
  return static_cast<int32_t>(wide.size());
}

int32_t WideCharToMultiByte(uint32_t codePage, uint32_t /*flags*/, const char16_t* src, int32_t srcLength,
                            char* dst, int32_t dstLength, const char* defaultChar, int32_t* usedDefault) {
  if (usedDefault) *usedDefault = 0;
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0 || !Supported(codePage)) return 0;
  if (dstLength > 0 && dst == nullptr) return 0;
  size_t n = srcLength == -1 ? static_cast<size_t>(lstrlenW(src)) + 1 : static_cast<size_t>(srcLength);
  bool used = false;
  std::string narrow = Encode(codePage, src, n, defaultChar, &used);
  if (usedDefault) *usedDefault = used ? 1 : 0;
  if (dstLength == 0) return static_cast<int32_t>(narrow.size());
  if (narrow.size() > static_cast<size_t>(dstLength)) return 0;
  std::memcpy(dst, narrow.data(), narrow.size());
  return static_cast<int32_t>(narrow.size());
}

int32_t lstrlenW(const char16_t* s) {
  if (s == nullptr) return 0;
  int32_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::u16string ToUtf16(uint32_t codePage, std::string_view bytes) {
  if (bytes.empty() || !Supported(codePage)) return {};
  return Decode(codePage, bytes.data(), bytes.size());
}

std::string FromUtf16(uint32_t codePage, std::u16string_view text) {
  if (text.empty() || !Supported(codePage)) return {};
  bool used = false;
  return Encode(codePage, text.data(), text.size(), nullptr, &used);
}

}  // namespace platform
