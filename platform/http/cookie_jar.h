// The cookies one request engine's responses set: stored from Set-Cookie values and sent back
// to the addresses they belong to, as one Cookie line. For a backend whose transfer library keeps
// no cookies per engine.
//
// Kept rules: host-only cookies unless a Domain that the sender belongs to is given; Path, or the
// sender's directory; Secure cookies go to https only; Max-Age and Expires (a date in the past,
// or Max-Age 0 or less, deletes); a cookie of the same name, domain and path replaces the stored
// one and keeps its place. The line lists longer paths first, then longer domains and names, then
// newer cookies first.
//
// Thread contract: any thread; a jar is guarded by its own lock (an engine's running transfer
// stores into it while the engine may start reading it for the next request).
#ifndef PLATFORM_HTTP_COOKIE_JAR_H_
#define PLATFORM_HTTP_COOKIE_JAR_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http/http_address.h"

namespace platform::http {

class CookieJar {
 public:
  // The stored cookies that go to `to`, "name=value" entries joined by "; "; empty for none.
  // `now`: seconds since 1970.
  std::string CookieLine(const HttpAddress& to, int64_t now);
  std::string CookieLine(const HttpAddress& to);
  // Takes one Set-Cookie value of a response from `from`.
  void Store(const HttpAddress& from, std::string_view setCookie, int64_t now);
  void Store(const HttpAddress& from, std::string_view setCookie);
  // Takes one line of a cookies.txt file (Netscape's format: domain, subdomains TRUE/FALSE,
  // path, secure TRUE/FALSE, expiry in seconds since 1970 with 0 for a session cookie, name,
  // value, separated by tabs), as the user's login gives them. Comments, blank and malformed
  // lines are skipped.
  void StoreFileLine(std::string_view line, int64_t now);
  void StoreFileLine(std::string_view line);

  // "Wdy, DD Mon YYYY HH:MM:SS GMT" (dashes between the date's parts and two-digit years
  // allowed) in seconds since 1970; nothing for another form.
  static std::optional<int64_t> ParseDate(std::string_view text);

 private:
  struct Cookie {
    std::string name, value, domain, path;
    bool hostOnly = true;
    bool secure = false;
    int64_t expires = -1;  // seconds since 1970; -1: for the jar's life
    uint64_t order = 0;
  };

  // Stores `c`, replacing a cookie of the same name, domain and path (which keeps its place);
  // an expired one removes it.
  void Keep(Cookie c, int64_t now);

  std::mutex mu_;
  std::vector<Cookie> cookies_;
  uint64_t next_ = 0;
};

}  // namespace platform::http

#endif  // PLATFORM_HTTP_COOKIE_JAR_H_
