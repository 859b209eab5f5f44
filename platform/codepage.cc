#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

const char* IconvName(uint32_t codePage) {
  switch (codePage) {
    case kCodePageAnsi:
    case kCodePageGbk:
      return "CP936";
    case kCodePageUtf8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

// One descriptor per direction and code page, per thread: iconv descriptors keep state.
// `from` and `to` are always among the few names IconvName gives, so the cache stays small.
class Converters {
 public:
  ~Converters() {
    for (Entry& e : entries_) iconv_close(e.cd);
  }
  iconv_t Get(const char* from, const char* to) {
    for (Entry& e : entries_) {
      if (e.from == from && e.to == to) {
        return e.cd;
      }
    }
    iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) entries_.push_back(Entry{from, to, cd});
    return cd;
  }

 private:
  struct Entry {
    const char* from;  // static names: compared by address
    const char* to;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

iconv_t Converter(const char* from, const char* to) {
  thread_local Converters converters;
  return converters.Get(from, to);
}

// Output is produced through a fixed stack buffer, so a conversion allocates only its result.
constexpr size_t kChunk = 8192;

// ASCII is the same in both code pages and in UTF-16, and most converted text (pages, headers,
// addresses, JSON) is mostly ASCII: runs of it are copied directly, and only the pieces between
// them go through iconv. A piece always ends on a character boundary, so the result is what one
// conversion of the whole input gives.

// Copies the ASCII run that starts at `at` to `out`, unit for unit; returns where the run ends.
template <typename Unit, typename Text>
size_t CopyAsciiRun(const Unit* src, size_t at, size_t n, Text* out) {
  size_t end = at;
  while (end < n && static_cast<uint32_t>(src[end]) < 0x80) ++end;
  size_t done = out->size();
  out->resize(done + (end - at));
  for (size_t i = at; i < end; ++i) (*out)[done + i - at] = static_cast<typename Text::value_type>(src[i]);
  return end;
}

// The end of the non-ASCII piece that starts at `at`. In UTF-8 an ASCII byte is never inside a
// character; in code page 936 the second byte of a double-byte character may be one, so such a
// pair is stepped over whole.
size_t PieceEnd(uint32_t codePage, const unsigned char* src, size_t at, size_t n) {
  bool doubleByte = codePage != kCodePageUtf8;
  while (at < n && src[at] >= 0x80) at += doubleByte && src[at] >= 0x81 && src[at] <= 0xFE ? 2 : 1;
  return at < n ? at : n;
}

// Decodes one piece, substituting U+FFFD for each byte that starts no valid character.
void DecodePiece(iconv_t cd, const char* src, size_t n, std::u16string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(src);
  size_t inLeft = n;
  char buf[kChunk];
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    size_t produced = (sizeof buf - oLeft) / 2;
    size_t at = out->size();
    out->resize(at + produced);
    std::memcpy(out->data() + at, buf, produced * 2);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      out->push_back(u'\xFFFD');  // invalid or cut sequence: skip one byte
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

// Decodes bytes to UTF-16 units.
bool Decode(uint32_t codePage, const char* src, size_t n, std::u16string* out) {
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = Converter(name, "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  out->reserve(n);
  auto* bytes = reinterpret_cast<const unsigned char*>(src);
  size_t at = 0;
  while (at < n) {
    size_t ascii = CopyAsciiRun(bytes, at, n, out);
    if (ascii == n) break;
    size_t end = PieceEnd(codePage, bytes, ascii, n);
    DecodePiece(cd, src + ascii, end - ascii, out);
    at = end;
  }
  return true;
}

// Encodes one piece of UTF-16 units, substituting the default character for what the code page
// lacks.
void EncodePiece(iconv_t cd, const char16_t* src, size_t n, const std::string& substitute, std::string* out,
                 bool* usedDefault) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(src));  // iconv only reads it
  size_t inLeft = 2 * n;
  char buf[kChunk];
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out->append(buf, sizeof buf - oLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // One unrepresentable character (a whole surrogate pair when it is one) or a lone
      // surrogate.
      char16_t u;
      std::memcpy(&u, in, 2);
      size_t skip = 2;
      if (u >= 0xD800 && u <= 0xDBFF && inLeft >= 4) {
        char16_t low;
        std::memcpy(&low, in + 2, 2);
        if (low >= 0xDC00 && low <= 0xDFFF) skip = 4;
      }
      out->append(substitute);
      if (usedDefault) *usedDefault = true;
      in += skip;
      inLeft -= skip < inLeft ? skip : inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

// Encodes UTF-16 units. An ASCII unit is never part of a surrogate pair, so pieces end there.
bool Encode(uint32_t codePage, const char16_t* src, size_t n, const char* defaultChar, std::string* out,
            bool* usedDefault) {
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = Converter("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  out->reserve(n);
  std::string substitute = codePage == kCodePageUtf8 ? "\xEF\xBF\xBD" : (defaultChar ? defaultChar : "?");
  size_t at = 0;
  while (at < n) {
    size_t ascii = CopyAsciiRun(src, at, n, out);
    if (ascii == n) break;
    size_t end = ascii;
    while (end < n && src[end] >= 0x80) ++end;
    EncodePiece(cd, src + ascii, end - ascii, substitute, out, usedDefault);
    at = end;
  }
  return true;
}

}  // namespace

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t /*flags*/, const char* src, int32_t srcLength,
                            char16_t* dst, int32_t dstLength) {
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0) return 0;
  size_t n = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
  std::u16string out;
  if (!Decode(codePage, src, n, &out)) return 0;
  if (dstLength == 0) return static_cast<int32_t>(out.size());
  if (out.size() > static_cast<size_t>(dstLength) || dst == nullptr) return 0;
  std::memcpy(dst, out.data(), out.size() * 2);
  return static_cast<int32_t>(out.size());
}

int32_t WideCharToMultiByte(uint32_t codePage, uint32_t /*flags*/, const char16_t* src, int32_t srcLength,
                            char* dst, int32_t dstLength, const char* defaultChar, int32_t* usedDefault) {
  if (usedDefault) *usedDefault = 0;
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0) return 0;
  size_t n = srcLength == -1 ? static_cast<size_t>(lstrlenW(src)) + 1 : static_cast<size_t>(srcLength);
  std::string out;
  bool used = false;
  if (!Encode(codePage, src, n, defaultChar, &out, &used)) return 0;
  if (usedDefault) *usedDefault = used ? 1 : 0;
  if (dstLength == 0) return static_cast<int32_t>(out.size());
  if (out.size() > static_cast<size_t>(dstLength) || dst == nullptr) return 0;
  std::memcpy(dst, out.data(), out.size());
  return static_cast<int32_t>(out.size());
}

int32_t lstrlenW(const char16_t* s) {
  if (s == nullptr) return 0;
  int32_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::u16string ToUtf16(uint32_t codePage, std::string_view bytes) {
  std::u16string out;
  if (!bytes.empty()) Decode(codePage, bytes.data(), bytes.size(), &out);
  return out;
}

std::string FromUtf16(uint32_t codePage, std::u16string_view text) {
  std::string out;
  bool used = false;
  if (!text.empty()) Encode(codePage, text.data(), text.size(), nullptr, &out, &used);
  return out;
}

}  // namespace platform
