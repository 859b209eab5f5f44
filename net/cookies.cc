#include "net/cookies.h"

#include <string>
#include <string_view>

#include "net/text_pieces.h"
#include "text/text_helpers.h"

namespace net {

rt::Text ExtractSetCookies(kernel::TextRef headerBlock) {
  std::string result;
  ForEachPiece(headerBlock, "\r\n", [&](size_t lineStart, size_t lineEnd) {
    // TextBefore(line, ": ") == "Set-Cookie", read in place: the bytes before the line's first
    // ": ", found by the search from the line's start.
    const size_t marker = FindInPiece(headerBlock, ": ", lineStart, lineEnd);
    if (marker == std::string::npos) return;
    std::string_view name(headerBlock.p + lineStart, marker - lineStart);
    if (name != "Set-Cookie") return;
    rt::Text line(std::string_view(headerBlock.p + lineStart, lineEnd - lineStart));
    rt::Text entry;
    if (kernel::FindText(line, ";") != -1) {
      entry = kernel::TrimSpaces(text::TextBetween(line, "Set-Cookie:", ";"));
    } else {
      entry = kernel::TrimSpaces(
          kernel::ReplaceText(line, "Set-Cookie:", std::nullopt, std::nullopt, std::nullopt, false));
    }
    result += entry.view();
    result += "; ";
  });
  return WithoutLastSeparator(result);
}

rt::Text CookieName(kernel::TextRef entry) {
  int32_t eq = kernel::FindText(entry, "=");
  if (eq == -1) return kernel::TrimSpaces(entry);
  return kernel::TrimSpaces(kernel::LeftText(entry, eq - 1));
}

bool HasCookieName(const rt::TextArray& entries, kernel::TextRef name) {
  for (int64_t i = 1; i <= entries.size(); ++i) {
    if (CookieName(entries.at(i)) == std::string_view(name.p)) return true;
  }
  return false;
}

rt::Text RemoveDuplicateEntries(kernel::TextRef text, kernel::TextRef separator) {
  rt::TextArray entries = kernel::SplitText(text, separator);
  rt::TextArray kept;
  rt::Text result;
  for (int64_t i = 1; i <= entries.size(); ++i) {
    std::string_view entry = entries.at(i);
    bool seen = false;
    for (int64_t k = 1; k <= kept.size() && !seen; ++k) seen = entry == kept.at(k);
    if (seen) continue;
    kept.push_back(entry);
    result = kept.size() == 1 ? rt::Text(entry) : Concat({result, separator, entries.at(i)});
  }
  return result;
}

rt::Text MergeCookies(rt::Text& oldCookies, rt::Text& newCookies) {
  oldCookies = kernel::RemoveSpaces(oldCookies);
  newCookies = kernel::RemoveSpaces(newCookies);
  rt::TextArray oldList = kernel::SplitText(oldCookies, ";");
  rt::TextArray newList = kernel::SplitText(newCookies, ";");
  for (int64_t i = 1; i <= oldList.size(); ++i) {
    const char* entry = oldList.at(i);
    if (!HasCookieName(newList, CookieName(entry))) newList.push_back(entry);
  }
  rt::Text merged;
  for (int64_t i = 1; i <= newList.size(); ++i) {
    const char* entry = newList.at(i);
    if (kernel::RightText(entry, 8) == "=deleted") continue;
    merged = Concat({merged, entry, "; "});
  }
  merged = RemoveDuplicateEntries(WithoutLastSeparator(merged.view()), "; ");
  oldCookies = merged;
  return merged;
}

}  // namespace net
