#include "text/text_helpers.h"

#include <cstring>
#include <vector>

namespace text {
namespace {

// "#引号" stands for a double quote in TextBetween's markers.
rt::Text WithQuotes(kernel::TextRef marker) {
  return kernel::ReplaceText(marker, "#引号", "\"", std::nullopt, std::nullopt, true);
}

}  // namespace

rt::Text TextBefore(kernel::TextRef text, kernel::TextRef marker, std::optional<int32_t> start,
                    bool ignoreCase) {
  int32_t p = kernel::FindText(text, marker, start, ignoreCase);
  if (p == -1) return rt::Text();
  return kernel::LeftText(text, p - 1);
}

rt::Text TextBetween(kernel::TextRef text, kernel::TextRef left, kernel::TextRef right,
                     std::optional<int32_t> start, bool ignoreCase) {
  rt::Text l = WithQuotes(left);
  rt::Text r = WithQuotes(right);
  int32_t p = kernel::FindText(text, l, start, ignoreCase);
  if (p == -1) return rt::Text();
  int32_t s = p + kernel::TextLength(l);
  int32_t q = kernel::FindText(text, r, s, ignoreCase);
  if (q == -1) return rt::Text();
  // An empty right marker is found before s: the length is negative and the piece empty.
  return kernel::MidText(text, s, q - s);
}

int32_t AllTextsBetween(kernel::TextRef text, kernel::TextRef left, kernel::TextRef right, rt::TextArray* out,
                        bool ignoreCase, int32_t maxLength, kernel::TextRef prefix, kernel::TextRef suffix,
                        int32_t includeLeft, int32_t includeRight, std::optional<int32_t> start) {
  *out = rt::TextArray();
  // The pieces are gathered first and the array is built once at the end: growing the array
  // block by one member per piece would copy it each time (quadratic in the piece count).
  std::vector<rt::Text> pieces;
  const int32_t leftLength = kernel::TextLength(left);
  const char* const t = text.p;
  // The first search honours the caller's start as FindText does; every later one searches the
  // rest of the text from the previous left marker's end (a text of its own, so the search
  // never rereads what lies before it), and positions are counted back from there.
  int32_t p = kernel::FindText(text, left, start, ignoreCase);
  while (p != -1) {
    const int32_t s = p + leftLength;
    const char* rest = t + (s - 1);  // s - 1 is at most the text's length: a valid text
    int32_t q = kernel::FindText(rest, right, std::nullopt, ignoreCase);
    if (q == -1) break;
    // A right marker found before the piece starts (an empty one) gives an empty piece.
    rt::Text found = kernel::LeftText(rest, q - 1);
    const char* parts[5] = {includeLeft == 1 ? left.p : nullptr, prefix.p, found.get(), suffix.p,
                            includeRight == 1 ? right.p : nullptr};
    rt::Text piece = rt::Text::Adopt(rt::ConcatTexts(5, parts));
    if (piece.empty()) piece = rt::Text();  // an empty member is null
    if (maxLength == 0 || kernel::TextLength(piece) < maxLength) pieces.push_back(std::move(piece));
    kernel::ProcessEvents();
    // An empty left marker would be found at the same place for ever: one piece only.
    if (leftLength == 0) break;
    int32_t next = kernel::FindText(rest, left, std::nullopt, ignoreCase);
    p = next == -1 ? -1 : s - 1 + next;
  }
  void* block = rt::NewArrayBlock(static_cast<int64_t>(pieces.size()), sizeof(char*));
  unsigned char* elements = rt::ArrayElements(block);
  for (size_t i = 0; i < pieces.size(); ++i) {
    char* owned = pieces[i].release();
    std::memcpy(elements + i * sizeof(char*), &owned, sizeof owned);
  }
  *out = rt::TextArray::Adopt(block);
  return static_cast<int32_t>(out->size());
}

}  // namespace text
