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

// The trimmed text before and after the first colon of `line`, into whichever of `name` and
// `value` is given; both empty without a colon.
void NameAndValue(const char* line, rt::Text* name, rt::Text* value) {
  int32_t colon = kernel::FindText(line, ":");
  if (name) *name = colon == -1 ? rt::Text() : kernel::TrimSpaces(kernel::LeftText(line, colon - 1));
  // The rest of the line after the colon.
  if (value) *value = colon == -1 ? rt::Text() : kernel::TrimSpaces(line + colon);
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
  // Built in one buffer. The lines, a line's pieces at ": " and a name's words at "-" are
  // found in place with the searches the splits would make, each starting where its piece
  // starts; a separator found past the line's end is none of the line's.
  std::string result;
  const char* block = headers.p;
  ForEachPiece(headers, "\r\n", [&](size_t lineStart, size_t lineEnd) {
    const size_t nameEnd = FindInPiece(headers, ": ", lineStart, lineEnd);
    if (nameEnd == std::string::npos) return;
    // The name's words: every piece before a dash, then the piece after the last dash unless
    // that one is empty (an empty name without a dash adds nothing either).
    size_t start = lineStart;
    bool firstWord = true;
    for (size_t dash; (dash = FindInPiece(headers, "-", start, nameEnd)) != std::string::npos;
         start = dash + 1) {
      if (!firstWord) result += '-';
      AppendCapitalized(result, std::string_view(block + start, dash - start));
      firstWord = false;
    }
    if (start < nameEnd) {
      if (!firstWord) result += '-';
      AppendCapitalized(result, std::string_view(block + start, nameEnd - start));
    }
    // The value: the second piece when the line has exactly two, which is the rest of the line
    // after one separator, or the text between two when the second one ends the line (an
    // empty last piece does not count); empty otherwise.
    result += ": ";
    const size_t valueStart = nameEnd + 2;
    const size_t second = FindInPiece(headers, ": ", valueStart, lineEnd);
    if (second == std::string::npos) {
      result.append(block + valueStart, lineEnd - valueStart);
    } else if (second + 2 == lineEnd) {
      result.append(block + valueStart, second - valueStart);
    }
    result += "\r\n";
  });
  return WithoutLastSeparator(result);
}

rt::Text HeaderName(kernel::TextRef line) {
  rt::Text name;
  NameAndValue(line.p, &name, nullptr);
  return name;
}

rt::Text HeaderValue(kernel::TextRef line) {
  rt::Text value;
  NameAndValue(line.p, nullptr, &value);
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
