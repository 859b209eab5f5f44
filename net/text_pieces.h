// Text assembly shared by the request code: joining pieces into one new text and cutting the
// separator after a list's last entry.
//
// Ownership: every result is a new block held by an rt::Text. Thread contract: plain
// functions without state; callable wherever the kernel text commands are.
#ifndef NET_TEXT_PIECES_H_
#define NET_TEXT_PIECES_H_

#include <initializer_list>
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

// The text without its last two bytes (the separator after the last entry).
inline rt::Text DropLastTwo(const rt::Text& text) {
  return kernel::LeftText(text, kernel::TextLength(text) - 2);
}

}  // namespace net

#endif  // NET_TEXT_PIECES_H_
