// Fuzz target: the kernel's text and byte-set commands on random bytes (GBK double-byte
// characters, lone lead bytes, bytes that are no GBK at all), through the typed wrappers and so
// through the helper interface. Every text argument lives in a block of exactly its length plus
// the zero, so a read past the zero is caught by AddressSanitizer. Besides memory safety the
// target checks what the arithmetic and the walking rules allow:
// - FindText: -1 or a place at a character boundary of the searched region whose bytes match;
// - ReplaceText, ReplaceBytes: never longer than every possible replacement made; replacing a
//   sought text by itself (case-sensitive) gives the text back, less a final lone lead byte;
// - SplitText: the members joined by the separator give the text back (up to a final
//   separator, or a prefix when the member limit cut it);
// - TrimSpaces, RemoveSpaces: never longer, and no space left where the rules remove it;
// - ToUpper, ToLower: same length, only ASCII letters outside double-byte characters change;
// - ToText of a text is a copy; ToInteger of a text agrees with its plain digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "runtime/kernel.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// A zero-terminated text in a heap block of exactly its length plus one.
class ExactText {
 public:
  explicit ExactText(const std::string& bytes) {
    size_t n = std::strlen(bytes.c_str());  // a text ends at its first zero
    p_ = std::make_unique<char[]>(n + 1);
    std::memcpy(p_.get(), bytes.data(), n);
    p_[n] = '\0';
    n_ = n;
  }
  const char* c_str() const { return p_.get(); }
  size_t size() const { return n_; }
  std::string str() const { return std::string(p_.get(), n_); }

 private:
  std::unique_ptr<char[]> p_;
  size_t n_ = 0;
};

bool IsLead(unsigned char c) { return c >= 0x80; }

// Offsets of the character starts of `t` from `from` on, by the walking rule: a lead byte and
// the byte after it are one character; a lead byte before the zero ends the walk.
bool IsBoundary(const std::string& t, size_t from, size_t at) {
  size_t i = from;
  while (i < at) {
    if (IsLead(static_cast<unsigned char>(t[i]))) {
      if (i + 1 >= t.size()) return false;
      i += 2;
    } else {
      ++i;
    }
  }
  return i == at;
}

bool EqualFolded(const char* a, const char* b, size_t n, bool fold) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (fold) {
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    }
    if (x != y) return false;
  }
  return true;
}

bool HasSpaceAt(const std::string& t, size_t i) {
  return t[i] == ' ' || (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
                         static_cast<unsigned char>(t[i + 1]) == 0xA1);
}

void CheckFind(const ExactText& t, const ExactText& s, std::optional<int32_t> start, bool fold) {
  const int32_t p = kernel::FindText(t.c_str(), s.c_str(), start, fold);
  const size_t L = t.size();
  size_t from = start ? static_cast<size_t>(*start > 0 ? *start - 1 : 0) : 0;
  if (from >= L) {
    Check(p == -1, "FindText found something in an empty region");
    return;
  }
  if (s.size() == 0) {
    Check(p == 1, "FindText of the empty text on a non-empty region is not 1");
    return;
  }
  if (p == -1) return;
  Check(p >= 1 && static_cast<size_t>(p - 1) >= from, "FindText before the start");
  const size_t at = static_cast<size_t>(p - 1);
  Check(at + s.size() <= L, "FindText place runs past the end");
  Check(EqualFolded(t.c_str() + at, s.c_str(), s.size(), fold), "FindText place does not match");
  Check(IsBoundary(t.str(), from, at), "FindText matched inside a double-byte character");
}

void CheckReplace(const ExactText& t, const ExactText& s, const ExactText& r, std::optional<int32_t> start,
                  std::optional<int32_t> count, std::optional<bool> caseSensitive) {
  rt::Text out = kernel::ReplaceText(t.c_str(), s.c_str(), r.c_str(), start, count, caseSensitive);
  const size_t L = t.size();
  size_t most = L;
  if (s.size() > 0 && r.size() > s.size()) most = L + (L / s.size()) * (r.size() - s.size());
  Check(out.size() <= most, "ReplaceText result longer than every replacement allows");
  if (out.get() != nullptr) Check(out.get()[0] != '\0', "ReplaceText gave an empty non-null text");
  rt::Text same = kernel::ReplaceText(t.c_str(), s.c_str(), s.c_str(), start, count, true);
  const std::string back = same.str();
  // Where the walk ends depends on the start and on the matches, so the lone lead byte may
  // fall at either parity: only a final byte of 0x80 or more may go.
  const std::string whole = t.str();
  Check(back == whole || (back.size() + 1 == L && IsLead(static_cast<unsigned char>(whole[L - 1])) &&
                          whole.compare(0, back.size(), back) == 0),
        "ReplaceText of a sought text by itself changed the text");
}

void CheckSplit(const ExactText& t, const ExactText& sep, std::optional<int32_t> most) {
  rt::TextArray parts = kernel::SplitText(t.c_str(), sep.c_str(), most);
  const std::string text = t.str();
  if (text.empty() || (most && *most <= 0)) {
    Check(parts.size() == 0, "SplitText gave members for nothing");
    return;
  }
  if (most) Check(parts.size() <= *most, "SplitText gave more members than allowed");
  if (sep.size() == 0) {
    Check(parts.size() == 1 && text == parts.at(1), "SplitText without separator is not the whole");
    return;
  }
  std::string joined;
  for (int64_t i = 1; i <= parts.size(); ++i) {
    if (i > 1) joined += sep.str();
    joined += rt::OrEmpty(parts.at(i));
  }
  Check(joined.size() <= text.size(), "SplitText members longer than the text");
  Check(text.compare(0, joined.size(), joined) == 0, "SplitText members are not the text");
  if (!most) {
    Check(joined == text || joined + sep.str() == text, "SplitText lost part of the text");
  }
}

void CheckSpaces(const ExactText& t) {
  const std::string text = t.str();
  rt::Text trimmed = kernel::TrimSpaces(t.c_str());
  const std::string tr = trimmed.str();
  Check(tr.size() <= text.size(), "TrimSpaces made the text longer");
  if (!tr.empty()) {
    Check(!HasSpaceAt(tr, 0), "TrimSpaces kept a leading space");
    Check(text.find(tr) != std::string::npos, "TrimSpaces result is not a piece of the text");
    size_t last = 0;  // start of the result's last character
    for (size_t i = 0; i < tr.size(); i += IsLead(static_cast<unsigned char>(tr[i])) ? 2 : 1) last = i;
    Check(!HasSpaceAt(tr, last), "TrimSpaces kept a trailing space");
  }
  rt::Text removed = kernel::RemoveSpaces(t.c_str());
  const std::string rm = removed.str();
  Check(rm.size() <= text.size(), "RemoveSpaces made the text longer");
  for (size_t i = 0; i < rm.size();) {
    Check(rm[i] != ' ', "RemoveSpaces kept a space");
    if (IsLead(static_cast<unsigned char>(rm[i]))) {
      Check(!(i + 1 < rm.size() && static_cast<unsigned char>(rm[i + 1]) == 0xA1 &&
              static_cast<unsigned char>(rm[i]) == 0xA1),
            "RemoveSpaces kept a full-width space");
      i += 2;
    } else {
      ++i;
    }
  }
}

void CheckCase(const ExactText& t) {
  const std::string text = t.str();
  for (int upper = 0; upper < 2; ++upper) {
    rt::Text out = upper ? kernel::ToUpper(t.c_str()) : kernel::ToLower(t.c_str());
    const std::string o = out.str();
    Check(o.size() == text.size(), "ToUpper/ToLower changed the length");
    for (size_t i = 0; i < text.size(); ++i) {
      unsigned char a = static_cast<unsigned char>(text[i]);
      unsigned char b = static_cast<unsigned char>(o[i]);
      if (IsLead(a)) {
        Check(a == b, "ToUpper/ToLower changed a lead byte");
        if (i + 1 < text.size()) {
          Check(text[i + 1] == o[i + 1], "ToUpper/ToLower changed a second byte");
          ++i;
        }
        continue;
      }
      unsigned char want = a;
      if (upper && a >= 'a' && a <= 'z') want = static_cast<unsigned char>(a - 32);
      if (!upper && a >= 'A' && a <= 'Z') want = static_cast<unsigned char>(a + 32);
      Check(b == want, "ToUpper/ToLower changed the wrong byte");
    }
  }
}

void CheckConversions(const ExactText& t) {
  Check(kernel::ToText(t.c_str()).str() == t.str(), "ToText of a text is no copy");
  const int32_t n = kernel::ToInteger(t.c_str());
  // A text of plain ASCII digits, short enough not to overflow, reads as its number.
  const std::string text = t.str();
  if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos) {
    Check(n == std::atoi(text.c_str()), "ToInteger misread plain digits");
  }
  (void)kernel::ToByte(t.c_str());
  rt::ByteSet bytes = kernel::ToByteSet(t.c_str());
  Check(std::string(bytes.view()) == text, "ToByteSet of a text is not its bytes");
  Check(kernel::ToText(bytes).str() == text, "ToText of a byte set is not its bytes");
}

void CheckBytes(const std::string& b, const std::string& s, const std::string& r,
                std::optional<int32_t> start, std::optional<int32_t> count) {
  // Byte sets may hold zeros; each lives in its own block.
  rt::ByteSet B(b.data(), b.size()), S(s.data(), s.size()), R(r.data(), r.size());
  rt::ByteSet out = kernel::ReplaceBytes(B, S, R, start, count);
  size_t most = b.size();
  if (!s.empty() && r.size() > s.size()) most = b.size() + (b.size() / s.size()) * (r.size() - s.size());
  Check(out.size() <= most, "ReplaceBytes result longer than every replacement allows");
  rt::ByteSet same = kernel::ReplaceBytes(B, S, S, start, count);
  Check(same.view() == B.view(), "ReplaceBytes of sought bytes by themselves changed them");
  rt::ByteSet none = kernel::ReplaceBytes(B, S, std::nullopt, start, count);
  Check(none.size() <= b.size(), "ReplaceBytes removing bytes made the set longer");
}

std::optional<int32_t> MaybeInt(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  // Mostly small values around the text lengths, sometimes the extremes.
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return in.ConsumeIntegral<int32_t>();
    default:
      return in.ConsumeIntegralInRange<int32_t>(-3, 40);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::optional<int32_t> start = MaybeInt(in);
  const std::optional<int32_t> count = MaybeInt(in);
  const bool fold = in.ConsumeBool();
  std::optional<bool> caseSensitive;
  if (in.ConsumeBool()) caseSensitive = in.ConsumeBool();
  const std::string rawSought = in.ConsumeRandomLengthString(16);
  const std::string rawReplacement = in.ConsumeRandomLengthString(16);
  const std::string rawText = in.ConsumeRemainingBytesAsString();

  const ExactText t(rawText), s(rawSought), r(rawReplacement);
  CheckFind(t, s, start, fold);
  CheckReplace(t, s, r, start, count, caseSensitive);
  CheckSplit(t, s, count);
  CheckSplit(t, ExactText(","), std::nullopt);
  CheckSpaces(t);
  CheckCase(t);
  CheckConversions(t);
  CheckBytes(rawText, rawSought, rawReplacement, start, count);
  return 0;
}
