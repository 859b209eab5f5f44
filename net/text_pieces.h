// Text assembly shared by the request code: joining pieces into one new text and cutting the
// separator after a list's last entry.
//
// Ownership: every result is a new block held by an rt::Text. Thread contract: plain
// functions without state; callable wherever the kernel text commands are.
#ifndef NET_TEXT_PIECES_H_
#define NET_TEXT_PIECES_H_

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/kernel.h"
#include "runtime/values.h"

namespace net {

// The runtime's text concatenation: a new text of the pieces one after another.
inline rt::Text Concat(std::initializer_list<kernel::TextRef> pieces) {
  std::vector<const char*> texts;
  for (const kernel::TextRef& p : pieces) texts.push_back(p.p);
  return rt::Text::Adopt(rt::ConcatTexts(static_cast<int>(texts.size()), texts.data()));
}

// Calls visit(start, end) with the byte offsets of each piece that SplitText(text, separator)
// gives, in order: the same search from each piece's start finds the same separators, so the
// pieces are the same, without new texts for them. REQUIRES: a separator that is not empty.
template <typename Visit>
void ForEachPiece(kernel::TextRef text, kernel::TextRef separator, Visit visit) {
  const size_t length = std::strlen(text.p);
  const size_t separatorLength = std::strlen(separator.p);
  size_t start = 0;
  for (;;) {
    int32_t at = kernel::FindText(text, separator, static_cast<int32_t>(start + 1));
    if (at == -1) break;
    visit(start, static_cast<size_t>(at - 1));
    start = static_cast<size_t>(at - 1) + separatorLength;
  }
  if (start < length) visit(start, length);  // no empty last piece
}

// The offset of `sought` in the piece [from, end) of `text`, as the search a split of the piece
// would make (FindText from the piece's start), or std::string::npos. A piece without the bytes
// at all is not searched past its end, so that a block of many pieces stays linear.
// REQUIRES: from <= end <= the text's length.
inline size_t FindInPiece(kernel::TextRef text, const char* sought, size_t from, size_t end) {
  const size_t n = std::strlen(sought);
  if (std::string_view(text.p + from, end - from).find(std::string_view(sought, n)) ==
      std::string_view::npos) {
    return std::string::npos;
  }
  int32_t at = kernel::FindText(text, sought, static_cast<int32_t>(from + 1));
  if (at == -1 || static_cast<size_t>(at - 1) + n > end) return std::string::npos;
  return static_cast<size_t>(at - 1);
}

// Entries each followed by a two-byte separator, as a text without the last separator.
inline rt::Text WithoutLastSeparator(std::string_view joined) {
  return rt::Text(joined.substr(0, joined.size() >= 2 ? joined.size() - 2 : 0));
}

}  // namespace net

#endif  // NET_TEXT_PIECES_H_
