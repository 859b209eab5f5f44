#include "net/headers.h"

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

}  // namespace

void AddDefaultHeaders(rt::Text& headers, kernel::TextRef url, int32_t method) {
  for (const DefaultHeader& d : kDefaultHeaders) {
    if (d.postOnly && method != kMethodPost) continue;
    if (kernel::FindText(headers, d.sought, std::nullopt, true) != -1) continue;
    headers = d.appendUrl ? Concat({headers, d.appended, url}) : Concat({headers, d.appended});
  }
}

rt::Text CapitalizeFirst(kernel::TextRef text) {
  rt::Text first = kernel::ToUpper(kernel::LeftText(text, 1));
  return Concat({first, kernel::MidText(text, 2, kernel::TextLength(text))});
}

rt::Text NormalizeHeaders(kernel::TextRef headers) {
  rt::Text result;
  rt::TextArray lines = kernel::SplitText(headers, "\r\n");
  for (int64_t i = 1; i <= lines.size(); ++i) {
    const char* line = lines.at(i);
    if (kernel::FindText(line, ": ") == -1) continue;
    rt::TextArray parts = kernel::SplitText(line, ": ");
    if (parts.size() == 0) continue;
    const char* name = parts.at(1);
    rt::Text newName;
    if (kernel::FindText(name, "-") == -1) {
      newName = CapitalizeFirst(name);
    } else {
      rt::TextArray words = kernel::SplitText(name, "-");
      for (int64_t w = 1; w <= words.size(); ++w) {
        newName =
            w == 1 ? CapitalizeFirst(words.at(w)) : Concat({newName, "-", CapitalizeFirst(words.at(w))});
      }
    }
    if (parts.size() == 2) {
      result = Concat({result, newName, ": ", parts.at(2), "\r\n"});
    } else {
      result = Concat({result, newName, ": \r\n"});
    }
  }
  return DropLastTwo(result);
}

rt::Text HeaderName(kernel::TextRef line) {
  int32_t colon = kernel::FindText(line, ":");
  if (colon == -1) return rt::Text();
  return kernel::TrimSpaces(kernel::LeftText(line, colon - 1));
}

rt::Text HeaderValue(kernel::TextRef line) {
  int32_t colon = kernel::FindText(line, ":");
  if (colon == -1) return rt::Text();
  return kernel::TrimSpaces(kernel::MidText(line, colon + 1, kernel::TextLength(line)));
}

void SendHeaderLines(rt::com::ComObject& request, kernel::TextRef headers) {
  if (kernel::FindText(headers, "\r\n") != -1) {
    rt::TextArray lines = kernel::SplitText(headers, "\r\n");
    for (int64_t i = 1; i <= lines.size(); ++i) {
      const char* line = lines.at(i);
      if (line[0] == '\0') continue;
      rt::com::Call(request, "SetRequestHeader",
                    {rt::TextArg(HeaderName(line)), rt::TextArg(HeaderValue(line))});
    }
  } else {
    rt::com::Call(request, "SetRequestHeader",
                  {rt::TextArg(HeaderName(headers)), rt::TextArg(HeaderValue(headers))});
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
