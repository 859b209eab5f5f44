#include "platform/http/cookie_jar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/http/header_lines.h"

namespace platform::http {
namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool DomainMatches(const std::string& host, const std::string& domain) {
  return host == domain || (host.size() > domain.size() &&
                            host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
                            host[host.size() - domain.size() - 1] == '.');
}

bool PathMatches(const std::string& path, const std::string& cookiePath) {
  if (path.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return path.size() == cookiePath.size() || cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

std::optional<int64_t> CookieJar::ParseDate(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c == '-') c = ' ';
  }
  size_t comma = s.find(',');
  if (comma != std::string::npos) s = s.substr(comma + 1);
  int day = 0, year = 0, h = 0, mi = 0, sec = 0;
  char month[4] = {};
  if (std::sscanf(s.c_str(), " %d %3s %d %d:%d:%d", &day, month, &year, &h, &mi, &sec) != 6)
    return std::nullopt;
  if (day < 1 || day > 31 || h > 23 || mi > 59 || sec > 60 || year < 0) return std::nullopt;
  static const char kMonths[] = "janfebmaraprmayjunjulaugsepoctnovdec";
  std::string m = ToLowerAscii(month);
  const char* found = m.size() == 3 ? std::strstr(kMonths, m.c_str()) : nullptr;
  if (found == nullptr || (found - kMonths) % 3 != 0) return std::nullopt;
  if (year < 100) year += year < 70 ? 2000 : 1900;
  unsigned mon = static_cast<unsigned>((found - kMonths) / 3 + 1);
  return DaysFromCivil(year, mon, static_cast<unsigned>(day)) * 86400 + h * 3600 + mi * 60 + sec;
}

std::string CookieJar::CookieLine(const HttpAddress& to) { return CookieLine(to, Now()); }

std::string CookieJar::CookieLine(const HttpAddress& to, int64_t now) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<const Cookie*> match;
  std::string path = to.path();
  for (const Cookie& c : cookies_) {
    if (c.expires >= 0 && c.expires <= now) continue;
    if (c.secure && !to.https) continue;
    if (c.hostOnly ? to.host != c.domain : !DomainMatches(to.host, c.domain)) continue;
    if (!PathMatches(path, c.path)) continue;
    match.push_back(&c);
  }
  std::sort(match.begin(), match.end(), [](const Cookie* x, const Cookie* y) {
    if (x->path.size() != y->path.size()) return x->path.size() > y->path.size();
    if (x->domain.size() != y->domain.size()) return x->domain.size() > y->domain.size();
    if (x->name.size() != y->name.size()) return x->name.size() > y->name.size();
    return x->order > y->order;
  });
  std::string line;
  for (const Cookie* c : match) {
    if (!line.empty()) line += "; ";
    line += c->name + "=" + c->value;
  }
  return line;
}

void CookieJar::Store(const HttpAddress& from, std::string_view setCookie) { Store(from, setCookie, Now()); }

void CookieJar::Store(const HttpAddress& from, std::string_view setCookie, int64_t now) {
  size_t semi = setCookie.find(';');
  std::string_view pair = setCookie.substr(0, semi);
  size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  Cookie c;
  c.name = std::string(TrimBlanks(pair.substr(0, eq)));
  c.value = std::string(TrimBlanks(pair.substr(eq + 1)));
  if (c.name.empty()) return;
  c.domain = from.host;
  // The default path: the sender's directory, without its last slash unless it is the root.
  std::string path = from.path();
  size_t lastSlash = path.rfind('/');
  c.path = lastSlash == 0 || lastSlash == std::string::npos ? "/" : path.substr(0, lastSlash);
  std::string_view attrs = semi == std::string_view::npos ? std::string_view() : setCookie.substr(semi + 1);
  std::optional<int64_t> maxAge;
  while (!attrs.empty()) {
    size_t end = attrs.find(';');
    std::string_view attr = attrs.substr(0, end);
    attrs = end == std::string_view::npos ? std::string_view() : attrs.substr(end + 1);
    size_t aeq = attr.find('=');
    std::string_view name = TrimBlanks(attr.substr(0, aeq));
    std::string_view value =
        aeq == std::string_view::npos ? std::string_view() : TrimBlanks(attr.substr(aeq + 1));
    if (EqualsIgnoreCase(name, "Domain") && !value.empty()) {
      while (!value.empty() && value.front() == '.') value.remove_prefix(1);
      std::string domain = ToLowerAscii(value);
      if (!DomainMatches(from.host, domain)) return;  // not the sender's to set
      c.domain = domain;
      c.hostOnly = domain == from.host;
    } else if (EqualsIgnoreCase(name, "Path") && !value.empty() && value.front() == '/') {
      c.path = std::string(value);
    } else if (EqualsIgnoreCase(name, "Secure")) {
      c.secure = true;
    } else if (EqualsIgnoreCase(name, "Max-Age")) {
      std::string v(value);
      char* stop = nullptr;
      long long seconds = std::strtoll(v.c_str(), &stop, 10);
      if (!v.empty() && stop != nullptr && *stop == '\0') maxAge = seconds;
    } else if (EqualsIgnoreCase(name, "Expires")) {
      if (std::optional<int64_t> when = ParseDate(value)) c.expires = *when;
    }
  }
  // Max-Age wins over Expires.
  if (maxAge) c.expires = *maxAge <= 0 ? 0 : now + *maxAge;
  Keep(std::move(c), now);
}

void CookieJar::StoreFileLine(std::string_view line) { StoreFileLine(line, Now()); }

void CookieJar::StoreFileLine(std::string_view line, int64_t now) {
  // "#HttpOnly_" marks a cookie scripts may not read; any other '#' starts a comment.
  constexpr std::string_view kHttpOnly = "#HttpOnly_";
  if (line.substr(0, kHttpOnly.size()) == kHttpOnly) line.remove_prefix(kHttpOnly.size());
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return;
  std::string_view fields[7];
  for (int i = 0; i < 7; ++i) {
    size_t tab = i < 6 ? line.find('\t') : std::string_view::npos;
    if (i < 6 && tab == std::string_view::npos) return;  // fewer than seven fields
    fields[i] = line.substr(0, tab);
    line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
  }
  Cookie c;
  std::string_view domain = fields[0];
  while (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  c.domain = ToLowerAscii(domain);
  c.hostOnly = !EqualsIgnoreCase(fields[1], "TRUE");
  c.path = fields[2].empty() || fields[2].front() != '/' ? "/" : std::string(fields[2]);
  c.secure = EqualsIgnoreCase(fields[3], "TRUE");
  std::string expires(fields[4]);
  char* stop = nullptr;
  long long when = std::strtoll(expires.c_str(), &stop, 10);
  if (expires.empty() || stop == nullptr || *stop != '\0') return;
  c.expires = when == 0 ? -1 : when;  // 0: a session cookie
  c.name = std::string(fields[5]);
  c.value = std::string(fields[6]);
  if (c.name.empty() || c.domain.empty()) return;
  Keep(std::move(c), now);
}

void CookieJar::Keep(Cookie c, int64_t now) {
  bool remove = c.expires >= 0 && c.expires <= now;
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
    if (it->name == c.name && it->domain == c.domain && it->path == c.path) {
      if (remove) {
        cookies_.erase(it);
      } else {
        c.order = it->order;  // a replaced cookie keeps its place
        *it = std::move(c);
      }
      return;
    }
  }
  if (remove) return;
  c.order = ++next_;
  cookies_.push_back(std::move(c));
}

}  // namespace platform::http
