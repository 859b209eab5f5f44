#include "platform/http/header_lines.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace platform::http {

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (unsigned char c : s) {
    if (c >= '0' && c <= '9') continue;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') continue;
    if (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr) continue;
    return false;
  }
  return true;
}

bool HasControlByte(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    return c < 0x20 || c == 0x7F;
  });
}
namespace {

unsigned char LowerAscii(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<std::string_view> HeaderValue(const std::vector<std::string>& lines, std::string_view name) {
  for (const std::string& line : lines) {
    std::string_view l(line);
    size_t colon = l.find(':');
    if (colon != std::string_view::npos && EqualsIgnoreCase(TrimBlanks(l.substr(0, colon)), name)) {
      return TrimBlanks(l.substr(colon + 1));
    }
  }
  return std::nullopt;
}

int64_t HeaderLength(std::string_view value) {
  int64_t v = -1;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (ec != std::errc() || end != value.data() + value.size() || v < 0) return -1;
  return v;
}

bool ParseContentRange(std::string_view value, ContentRange* out) {
  value = TrimBlanks(value);
  if (!StartsWithIgnoreCase(value, "bytes ")) return false;
  value = TrimBlanks(value.substr(6));
  size_t slash = value.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view range = TrimBlanks(value.substr(0, slash));
  std::string_view total = TrimBlanks(value.substr(slash + 1));
  ContentRange r;
  if (total != "*") {
    r.total = HeaderLength(total);
    if (r.total < 0) return false;
  }
  if (range == "*") {
    if (r.total < 0) return false;  // "bytes */*" says nothing
  } else {
    size_t dash = range.find('-');
    if (dash == std::string_view::npos) return false;
    r.first = HeaderLength(range.substr(0, dash));
    r.last = HeaderLength(range.substr(dash + 1));
    if (r.first < 0 || r.last < r.first || (r.total >= 0 && r.last >= r.total)) return false;
  }
  *out = r;
  return true;
}

}  // namespace platform::http
