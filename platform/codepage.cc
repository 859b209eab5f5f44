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

// Where converted units go: appended to a string, written into a caller's buffer of fixed
// size, or only counted (a size query converts nothing it keeps). A buffer that is too small
// takes what fits and marks the sink overflowed.
template <typename Unit>
class Sink {
 public:
  static Sink Counting() { return Sink(nullptr, nullptr, 0); }
  static Sink Into(std::basic_string<Unit>* out) { return Sink(out, nullptr, 0); }
  static Sink Into(Unit* dst, size_t capacity) { return Sink(nullptr, dst, capacity); }

  void Append(const Unit* units, size_t n) {
    if (string_ != nullptr) {
      string_->append(units, n);
    } else if (buffer_ != nullptr) {
      std::memcpy(buffer_ + size_, units, Room(n) * sizeof(Unit));
    }
    size_ += n;
  }
  // ASCII units of the other width, unit for unit.
  template <typename From>
  void AppendAscii(const From* units, size_t n) {
    Unit* to = nullptr;
    size_t k = n;
    if (string_ != nullptr) {
      string_->resize(size_ + n);
      to = string_->data() + size_;
    } else if (buffer_ != nullptr) {
      to = buffer_ + size_;
      k = Room(n);
    }
    if (to != nullptr) {
      for (size_t i = 0; i < k; ++i) to[i] = static_cast<Unit>(units[i]);
    }
    size_ += n;
  }
  void Reserve(size_t n) {
    if (string_ != nullptr) string_->reserve(n);
  }
  size_t size() const { return size_; }
  bool overflowed() const { return overflowed_; }

 private:
  Sink(std::basic_string<Unit>* s, Unit* buffer, size_t capacity)
      : string_(s), buffer_(buffer), capacity_(capacity) {
    if (string_ != nullptr) string_->clear();
  }
  // How many of n more units fit in the buffer.
  size_t Room(size_t n) {
    size_t room = size_ < capacity_ ? capacity_ - size_ : 0;
    if (n <= room) return n;
    overflowed_ = true;
    return room;
  }

  std::basic_string<Unit>* string_;
  Unit* buffer_;
  size_t capacity_;
  size_t size_ = 0;
  bool overflowed_ = false;
};

// iconv's output goes through a fixed stack buffer, so a conversion allocates at most its
// result.
constexpr size_t kChunk = 8192;

// ASCII is the same in both code pages and in UTF-16, and most converted text (pages, headers,
// addresses, JSON) is mostly ASCII: runs of it are copied directly, and only the pieces between
// them go through iconv. A piece always ends on a character boundary, so the result is what one
// conversion of the whole input gives.

// Where the ASCII run that starts at `at` ends; eight bytes or four UTF-16 units at a time.
template <typename Unit>
size_t AsciiRunEnd(const Unit* src, size_t at, size_t n) {
  constexpr size_t kPerWord = 8 / sizeof(Unit);
  constexpr uint64_t kNonAscii = sizeof(Unit) == 1 ? 0x8080808080808080u : 0xFF80FF80FF80FF80u;
  while (n - at >= kPerWord) {
    uint64_t word;
    std::memcpy(&word, src + at, sizeof word);
    if ((word & kNonAscii) != 0) break;
    at += kPerWord;
  }
  while (at < n && static_cast<uint32_t>(src[at]) < 0x80) ++at;
  return at;
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
void DecodePiece(iconv_t cd, const char* src, size_t n, Sink<char16_t>* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(src);
  size_t inLeft = n;
  char16_t buf[kChunk / 2];
  while (inLeft > 0) {
    char* o = reinterpret_cast<char*>(buf);
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out->Append(buf, (sizeof buf - oLeft) / 2);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      const char16_t replacement = u'\xFFFD';  // invalid or cut sequence: skip one byte
      out->Append(&replacement, 1);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

// Decodes bytes to UTF-16 units.
bool Decode(uint32_t codePage, const char* src, size_t n, Sink<char16_t>* out) {
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = Converter(name, "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->Reserve(n);
  auto* bytes = reinterpret_cast<const unsigned char*>(src);
  size_t at = 0;
  while (at < n) {
    size_t ascii = AsciiRunEnd(bytes, at, n);
    out->AppendAscii(bytes + at, ascii - at);
    if (ascii == n) break;
    size_t end = PieceEnd(codePage, bytes, ascii, n);
    DecodePiece(cd, src + ascii, end - ascii, out);
    at = end;
  }
  return true;
}

// Encodes one piece of UTF-16 units, substituting the default character for what the code page
// lacks.
void EncodePiece(iconv_t cd, const char16_t* src, size_t n, std::string_view substitute, Sink<char>* out,
                 bool* usedDefault) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(src));  // iconv only reads it
  size_t inLeft = 2 * n;
  char buf[kChunk];
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out->Append(buf, sizeof buf - oLeft);
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
      out->Append(substitute.data(), substitute.size());
      if (usedDefault) *usedDefault = true;
      in += skip;
      inLeft -= skip < inLeft ? skip : inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

// Encodes UTF-16 units. An ASCII unit is never part of a surrogate pair, so pieces end there.
bool Encode(uint32_t codePage, const char16_t* src, size_t n, const char* defaultChar, Sink<char>* out,
            bool* usedDefault) {
  const char* name = IconvName(codePage);
  if (!name) return false;
  iconv_t cd = Converter("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->Reserve(n);
  std::string_view substitute =
      codePage == kCodePageUtf8 ? "\xEF\xBF\xBD" : (defaultChar ? defaultChar : "?");
  size_t at = 0;
  while (at < n) {
    size_t ascii = AsciiRunEnd(src, at, n);
    out->AppendAscii(src + at, ascii - at);
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
  if (dstLength > 0 && dst == nullptr) return 0;
  size_t n = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
  // A size query only counts; a conversion writes straight into the caller's buffer.
  auto out =
      dstLength == 0 ? Sink<char16_t>::Counting() : Sink<char16_t>::Into(dst, static_cast<size_t>(dstLength));
  if (!Decode(codePage, src, n, &out) || out.overflowed()) return 0;
  return static_cast<int32_t>(out.size());
}

int32_t WideCharToMultiByte(uint32_t codePage, uint32_t /*flags*/, const char16_t* src, int32_t srcLength,
                            char* dst, int32_t dstLength, const char* defaultChar, int32_t* usedDefault) {
  if (usedDefault) *usedDefault = 0;
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstLength < 0) return 0;
  if (dstLength > 0 && dst == nullptr) return 0;
  size_t n = srcLength == -1 ? static_cast<size_t>(lstrlenW(src)) + 1 : static_cast<size_t>(srcLength);
  auto out = dstLength == 0 ? Sink<char>::Counting() : Sink<char>::Into(dst, static_cast<size_t>(dstLength));
  bool used = false;
  if (!Encode(codePage, src, n, defaultChar, &out, &used)) return 0;
  if (usedDefault) *usedDefault = used ? 1 : 0;
  if (out.overflowed()) return 0;
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
  if (!bytes.empty()) {
    auto sink = Sink<char16_t>::Into(&out);
    Decode(codePage, bytes.data(), bytes.size(), &sink);
  }
  return out;
}

std::string FromUtf16(uint32_t codePage, std::u16string_view text) {
  std::string out;
  bool used = false;
  if (!text.empty()) {
    auto sink = Sink<char>::Into(&out);
    Encode(codePage, text.data(), text.size(), nullptr, &sink, &used);
  }
  return out;
}

}  // namespace platform
