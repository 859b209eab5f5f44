#include "net/headers.h"

#include <cstring>
#include <string>
#include <string_view>

#include "net/text_pieces.h"

namespace net {
namespace {

struct DefaultHeader {
  const char* sought;
  const char* appended;
  bool appendUrl;  // the request's address follows ("Referer")
  bool postOnly;
};

constexpr DefaultHeader kDefaultHeaders[] = {
    {"Accept:", "\r\nAccept: */*", false, false},
    {"Referer:", "\r\nReferer: ", true, false},
    {"Accept-Language:", "\r\nAccept-Language: zh-cn", false, false},
    {"User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)", false, false},
    {"Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded", false, true},
};
constexpr int32_t kMethodPost = 1;

// Appends `word` as CapitalizeFirst gives it: the same bytes, the first one raised when it is
// a letter a to z (an upper-cased single byte changes no other way).
void AppendCapitalized(std::string& out, std::string_view word) {
  size_t at = out.size();
  out += word;
  if (!word.empty() && out[at] >= 'a' && out[at] <= 'z') out[at] = static_cast<char>(out[at] - ('a' - 'A'));
}

// The trimmed text before and after the first colon of `line`; both empty without a colon.
void NameAndValue(const char* line, rt::Text* name, rt::Text* value) {
  int32_t colon = kernel::FindText(line, ":");
  if (colon == -1) {
    *name = rt::Text();
    *value = rt::Text();
    return;
  }
  *name = kernel::TrimSpaces(kernel::LeftText(line, colon - 1));
  *value = kernel::TrimSpaces(line + colon);  // the rest of the line after the colon
}

}  // namespace

void AddDefaultHeaders(rt::Text& headers, kernel::TextRef url, int32_t method) {
  // Each search sees the block with the defaults appended before it.
  std::string block(headers.view());
  bool added = false;
  for (const DefaultHeader& d : kDefaultHeaders) {
    if (d.postOnly && method != kMethodPost) continue;
    if (kernel::FindText(block, d.sought, std::nullopt, true) != -1) continue;
    block += d.appended;
    if (d.appendUrl) block += url.p;
    added = true;
  }
  if (added) headers = rt::Text(block);
}

rt::Text CapitalizeFirst(kernel::TextRef text) {
  rt::Text first = kernel::ToUpper(kernel::LeftText(text, 1));
  return Concat({first, kernel::MidText(text, 2, kernel::TextLength(text))});
}

rt::Text NormalizeHeaders(kernel::TextRef headers) {
  // Built in one buffer. The pieces of a line that splitting at ": " and the name at "-"
  // would give are found in place with the same search, starting where each piece starts.
  std::string result;
  rt::TextArray lines = kernel::SplitText(headers, "\r\n");
  for (int64_t i = 1; i <= lines.size(); ++i) {
    const char* line = lines.at(i);
    int32_t separator = kernel::FindText(line, ": ");
    if (separator == -1) continue;
    const size_t length = std::strlen(line);
    const size_t nameEnd = static_cast<size_t>(separator - 1);
    // The name's words: every piece before a dash, then the piece after the last dash unless
    // that one is empty (an empty name without a dash adds nothing either).
    size_t start = 0;
    bool firstWord = true;
    for (;;) {
      int32_t dash = kernel::FindText(line, "-", static_cast<int32_t>(start + 1));
      if (dash == -1 || static_cast<size_t>(dash - 1) >= nameEnd) break;
      if (!firstWord) result += '-';
      AppendCapitalized(result, std::string_view(line + start, static_cast<size_t>(dash - 1) - start));
      firstWord = false;
      start = static_cast<size_t>(dash);
    }
    if (start < nameEnd) {
      if (!firstWord) result += '-';
      AppendCapitalized(result, std::string_view(line + start, nameEnd - start));
    }
    // The value: the second piece when the line has exactly two, which is the rest of the line
    // after one separator, or the text between two when the second one ends the line (an
    // empty last piece does not count); empty otherwise.
    result += ": ";
    const size_t valueStart = nameEnd + 2;
    int32_t second = kernel::FindText(line, ": ", static_cast<int32_t>(valueStart + 1));
    if (second == -1) {
      result.append(line + valueStart, length - valueStart);
    } else if (static_cast<size_t>(second - 1) + 2 == length) {
      result.append(line + valueStart, static_cast<size_t>(second - 1) - valueStart);
    }
    result += "\r\n";
  }
  // Without the final CR LF.
  result.resize(result.size() >= 2 ? result.size() - 2 : 0);
  return rt::Text(result);
}

rt::Text HeaderName(kernel::TextRef line) {
  rt::Text name, value;
  NameAndValue(line.p, &name, &value);
  return name;
}

rt::Text HeaderValue(kernel::TextRef line) {
  rt::Text name, value;
  NameAndValue(line.p, &name, &value);
  return value;
}

void SendHeaderLines(rt::com::ComObject& request, kernel::TextRef headers) {
  rt::Text name, value;
  if (kernel::FindText(headers, "\r\n") != -1) {
    rt::TextArray lines = kernel::SplitText(headers, "\r\n");
    for (int64_t i = 1; i <= lines.size(); ++i) {
      const char* line = lines.at(i);
      if (line[0] == '\0') continue;
      NameAndValue(line, &name, &value);
      rt::com::Call(request, "SetRequestHeader", {rt::TextArg(name), rt::TextArg(value)});
    }
  } else {
    NameAndValue(headers.p, &name, &value);
    rt::com::Call(request, "SetRequestHeader", {rt::TextArg(name), rt::TextArg(value)});
  }
}

rt::Text Base64Encode(kernel::BytesRef bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t n = static_cast<size_t>(rt::ByteSetLength(bytes.p));
  if (n == 0) return rt::Text();
  const unsigned char* in = rt::ByteSetData(bytes.p);
  // Groups of three bytes, the last one filled with zero bytes.
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  for (size_t i = 0; i < n; i += 3) {
    uint32_t b0 = in[i];
    uint32_t b1 = i + 1 < n ? in[i + 1] : 0;
    uint32_t b2 = i + 2 < n ? in[i + 2] : 0;
    uint32_t group = (b0 << 16) | (b1 << 8) | b2;
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += kAlphabet[(group >> 6) & 63];
    out += kAlphabet[group & 63];
  }
  if (n % 3 == 1) out.replace(out.size() - 2, 2, "==");
  if (n % 3 == 2) out.replace(out.size() - 1, 1, "=");
  return rt::Text(out);
}

}  // namespace net
