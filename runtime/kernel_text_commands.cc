// The kernel's text commands. Texts are walked one character at a time (a byte of 0x80 or more
// and the byte after it are one character); searches match only at character boundaries.

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/command_args.h"
#include "runtime/find_bytes.h"
#include "runtime/kernel_commands.h"
#include "runtime/result_buffer.h"

namespace rt::commands {
namespace {

using cmd::IsLead;

constexpr size_t kNotFound = static_cast<size_t>(-1);

inline unsigned char Fold(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// Compares the s bytes at `t` with `sought`, folding ASCII letters. A double-byte character of
// the text is compared exactly, both bytes, so that two different characters whose second
// bytes differ only by case never compare equal.
bool EqualIgnoringCase(const unsigned char* t, const unsigned char* sought, size_t s) {
  size_t j = 0;
  while (j < s) {
    unsigned char a = t[j];
    if (IsLead(a)) {
      if (a != sought[j]) return false;
      if (j + 1 < s && t[j + 1] != sought[j + 1]) return false;
      j += 2;
    } else {
      if (Fold(a) != Fold(sought[j])) return false;
      ++j;
    }
  }
  return true;
}

size_t Length(const unsigned char* t) { return std::strlen(reinterpret_cast<const char*>(t)); }
const char* Chars(const unsigned char* t) { return reinterpret_cast<const char*>(t); }

// As Search below, for a text whose length is not known: it reads no further than the match
// (or the zero), so a search near the start of a long text costs little.
// REQUIRES: `from` is not beyond the text's zero; s > 0.
size_t SearchInText(const unsigned char* t, size_t from, const unsigned char* sought, size_t s,
                    bool ignoreCase) {
  if (!ignoreCase) {
    size_t pos = from;
    size_t known = from;
    for (;;) {
      const char* c = std::strstr(Chars(t) + pos, Chars(sought));
      if (c == nullptr) return kNotFound;
      size_t p = static_cast<size_t>(reinterpret_cast<const unsigned char*>(c) - t);
      if (cmd::IsBoundary(t, known, p)) return (IsLead(t[p]) && t[p + 1] == 0) ? kNotFound : p;
      known = pos = p + 1;  // p is the second byte of a character, so p + 1 is a boundary
    }
  }
  const unsigned char first = Fold(sought[0]);
  for (size_t i = from; t[i] != 0;) {
    unsigned char b = t[i];
    if (IsLead(b)) {
      if (t[i + 1] == 0) break;  // a lone lead byte before the zero ends the walk
      if (b == sought[0] && EqualIgnoringCase(t + i, sought, s)) return i;
      i += 2;
    } else {
      // A zero in the text never equals a byte of `sought`, so the comparison stops there.
      if (Fold(b) == first && EqualIgnoringCase(t + i, sought, s)) return i;
      ++i;
    }
  }
  return kNotFound;
}

// First character boundary p >= from (from is a boundary) where the s bytes of `sought` stand,
// or kNotFound. A lead byte directly before the end ends the walk and is never a match start.
size_t Search(const unsigned char* t, size_t len, size_t from, const unsigned char* sought, size_t s,
              bool ignoreCase) {
  if (s == 0 || from > len || len - from < s) return kNotFound;
  if (!ignoreCase) {
    size_t pos = from;
    size_t known = from;
    while (len - pos >= s) {
      const void* c = FindBytes(t + pos, len - pos, sought, s);
      if (c == nullptr) return kNotFound;
      size_t p = static_cast<size_t>(static_cast<const unsigned char*>(c) - t);
      if (cmd::IsBoundary(t, known, p)) {
        if (p + 1 == len && IsLead(t[p])) return kNotFound;
        return p;
      }
      // p is the second byte of a character, so p + 1 is a boundary.
      known = pos = p + 1;
    }
    return kNotFound;
  }
  const unsigned char first = Fold(sought[0]);
  for (size_t i = from; len - i >= s;) {
    unsigned char b = t[i];
    if (IsLead(b)) {
      if (i + 1 == len) break;
      if (b == sought[0] && EqualIgnoringCase(t + i, sought, s)) return i;
      i += 2;
    } else {
      if (Fold(b) == first && EqualIgnoringCase(t + i, sought, s)) return i;
      ++i;
    }
  }
  return kNotFound;
}

// Length of [from, len) without a trailing lead byte that stands alone before the end.
size_t WithoutLoneLead(const unsigned char* t, size_t from, size_t len) {
  if (len > from && IsLead(t[len - 1]) && cmd::IsBoundary(t, from, len - 1)) return len - 1;
  return len;
}

bool IsSpaceAt(const unsigned char* t, size_t i, size_t* width) {
  if (IsLead(t[i])) {
    *width = 2;
    return t[i] == 0xA1 && t[i + 1] == 0xA1;
  }
  *width = 1;
  return t[i] == 0x20;
}

void ChangeCase(ArgRecord* result, const ArgRecord& arg, bool upper) {
  const unsigned char* t = cmd::TextOf(arg);
  size_t len = Length(t);
  char* out = NewText(Chars(t), len);
  if (out == nullptr) return;
  auto* o = reinterpret_cast<unsigned char*>(out);
  const unsigned char lo = upper ? 'a' : 'A';
  const unsigned char hi = upper ? 'z' : 'Z';
  for (size_t i = 0; i < len;) {
    if (IsLead(o[i])) {
      i += 2;  // a lead byte before the end is kept as it is
      continue;
    }
    if (o[i] >= lo && o[i] <= hi)
      o[i] = upper ? static_cast<unsigned char>(o[i] - 32) : static_cast<unsigned char>(o[i] + 32);
    ++i;
  }
  cmd::SetText(result, out);
}

}  // namespace

void TextLength(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setI32(static_cast<int32_t>(Length(cmd::TextOf(cmd::Arg(count, args, 0)))));
}

void LeftText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  int32_t n = cmd::IntOf(cmd::Arg(count, args, 1));
  if (n <= 0) return cmd::SetText(result, nullptr);
  cmd::SetText(result, NewText(Chars(t), strnlen(Chars(t), static_cast<size_t>(n))));
}

void RightText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  int32_t n = cmd::IntOf(cmd::Arg(count, args, 1));
  size_t len = Length(t);
  if (n <= 0) return cmd::SetText(result, nullptr);
  size_t k = std::min<size_t>(static_cast<size_t>(n), len);
  cmd::SetText(result, NewText(Chars(t) + (len - k), k));
}

void MidText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  int64_t start = cmd::IntOf(cmd::Arg(count, args, 1));
  int64_t n = cmd::IntOf(cmd::Arg(count, args, 2));
  if (start < 1 || n <= 0) return cmd::SetText(result, nullptr);
  // Reads no further than the piece: the cost follows start + n, not the text's length.
  if (strnlen(Chars(t), static_cast<size_t>(start)) < static_cast<size_t>(start))
    return cmd::SetText(result, nullptr);
  const char* from = Chars(t) + (start - 1);
  cmd::SetText(result, NewText(from, strnlen(from, static_cast<size_t>(n))));
}

void CharFromCode(ArgRecord* result, int32_t count, ArgRecord* args) {
  char c = static_cast<char>(cmd::Arg(count, args, 0).u8());
  cmd::SetText(result, c == 0 ? nullptr : NewText(&c, 1));
}

void CharCode(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  int64_t pos = cmd::IntOr(count, args, 1, 1);
  int64_t len = static_cast<int64_t>(Length(t));
  int32_t code = (pos <= 0 || pos > len) ? 0 : static_cast<int8_t>(t[pos - 1]);
  result->setI32(code);
}

void FindText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  const unsigned char* sought = cmd::TextOf(cmd::Arg(count, args, 1));
  int64_t offset = cmd::Given(count, args, 2) ? static_cast<int64_t>(cmd::IntOf(args[2])) - 1 : 0;
  if (offset < 0) offset = 0;
  bool ignoreCase = cmd::BoolOr(count, args, 3, false);
  size_t s = Length(sought);
  // The region is empty when the offset is the length or more; only its first bytes are read.
  size_t off = static_cast<size_t>(offset);
  bool regionEmpty = strnlen(Chars(t), off + 1) <= off;
  if (s == 0) return result->setI32(regionEmpty ? -1 : 1);
  if (regionEmpty) return result->setI32(-1);
  size_t p = SearchInText(t, off, sought, s, ignoreCase);
  result->setI32(p == kNotFound ? -1 : static_cast<int32_t>(p + 1));
}

void ToUpper(ArgRecord* result, int32_t count, ArgRecord* args) {
  ChangeCase(result, cmd::Arg(count, args, 0), true);
}

void ToLower(ArgRecord* result, int32_t count, ArgRecord* args) {
  ChangeCase(result, cmd::Arg(count, args, 0), false);
}

void TrimSpaces(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  size_t len = Length(t);
  size_t first = kNotFound;
  size_t lastEnd = 0;
  for (size_t i = 0, w = 1; i < len; i += w) {
    if (IsLead(t[i]) && i + 1 == len) break;  // a lone lead byte before the end is left out
    if (!IsSpaceAt(t, i, &w)) {
      if (first == kNotFound) first = i;
      lastEnd = i + w;
    }
  }
  cmd::SetText(result, first == kNotFound ? nullptr : NewText(Chars(t) + first, lastEnd - first));
}

void RemoveSpaces(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  size_t len = Length(t);
  ResultBuffer buf(len);
  size_t run = 0;  // start of the current run of non-space characters
  size_t i = 0;
  for (size_t w = 1; i < len; i += w) {
    if (IsLead(t[i]) && i + 1 == len) break;
    if (IsSpaceAt(t, i, &w)) {
      buf.Append(t + run, i - run);
      run = i + w;
    }
  }
  buf.Append(t + run, i - run);
  cmd::SetText(result, buf.TakeText());
}

void ReplaceText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  const unsigned char* sought = cmd::TextOf(cmd::Arg(count, args, 1));
  const ArgRecord& replacementArg = cmd::Arg(count, args, 2);
  const unsigned char* replacement = replacementArg.given() ? cmd::TextOf(replacementArg) : nullptr;
  int64_t start = cmd::IntOr(count, args, 3, 1);
  if (start < 1) start = 1;
  int32_t remaining = cmd::IntOr(count, args, 4, -1);
  bool ignoreCase = !cmd::BoolOr(count, args, 5, false);
  size_t len = Length(t);
  size_t s = Length(sought);
  size_t r = replacement ? Length(replacement) : 0;
  if (len == 0 || s == 0 || static_cast<uint64_t>(start - 1) >= len || remaining == 0) {
    return cmd::SetText(result, NewText(Chars(t), len));
  }
  ResultBuffer buf(len);
  size_t pos = static_cast<size_t>(start - 1);
  buf.Append(t, pos);
  for (;;) {
    size_t p = Search(t, len, pos, sought, s, ignoreCase);
    if (p == kNotFound) break;
    buf.Append(t + pos, p - pos);
    buf.Append(replacement, r);
    pos = p + s;
    if (remaining > 0) {
      if (remaining == 1) break;
      --remaining;
    }
  }
  buf.Append(t + pos, WithoutLoneLead(t, pos, len) - pos);
  cmd::SetText(result, buf.TakeText());
}

void SplitText(ArgRecord* result, int32_t count, ArgRecord* args) {
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 0));
  const ArgRecord& sepArg = cmd::Arg(count, args, 1);
  const unsigned char* sep =
      sepArg.given() ? cmd::TextOf(sepArg) : reinterpret_cast<const unsigned char*>(",");
  bool limited = cmd::Given(count, args, 2);
  int64_t most = limited ? cmd::IntOf(args[2]) : -1;
  if (limited && most < 0) most = 0;
  size_t len = Length(t);
  size_t p = Length(sep);

  std::vector<char*> members;
  if (len > 0 && most != 0) {
    if (p == 0) {
      members.push_back(NewText(Chars(t), len));
    } else {
      size_t pieceStart = 0;
      bool limitReached = false;
      for (;;) {
        size_t m = Search(t, len, pieceStart, sep, p, false);
        if (m == kNotFound) break;
        members.push_back(NewText(Chars(t) + pieceStart, m - pieceStart));
        pieceStart = m + p;
        if (limited && --most == 0) {
          limitReached = true;
          break;
        }
      }
      if (!limitReached && pieceStart < len)
        members.push_back(NewText(Chars(t) + pieceStart, len - pieceStart));
    }
  }
  void* block = NewArrayBlock(static_cast<int64_t>(members.size()), sizeof(char*));
  if (!members.empty()) std::memcpy(ArrayElements(block), members.data(), members.size() * sizeof(char*));
  result->setPtr(block, kTypeText | kArrayBit);
}

void SpaceText(ArgRecord* result, int32_t count, ArgRecord* args) {
  int32_t n = cmd::IntOf(cmd::Arg(count, args, 0));
  if (n < 1) return cmd::SetText(result, nullptr);
  ResultBuffer buf;
  buf.AppendFill(' ', static_cast<uint64_t>(n));
  cmd::SetText(result, buf.TakeText());
}

void RepeatText(ArgRecord* result, int32_t count, ArgRecord* args) {
  int64_t times = cmd::IntOf(cmd::Arg(count, args, 0));
  const unsigned char* t = cmd::TextOf(cmd::Arg(count, args, 1));
  if (times < 0) times = 0;
  uint64_t len = Length(t);
  // Computed in 64 bits: an impossible size is reported as heap exhaustion, never wrapped.
  uint64_t total = static_cast<uint64_t>(times) * len;
  if (total == 0) return cmd::SetText(result, nullptr);
  ResultBuffer buf;
  buf.Reserve(total);
  for (int64_t i = 0; i < times; ++i) buf.Append(t, len);
  cmd::SetText(result, buf.TakeText());
}

}  // namespace rt::commands
