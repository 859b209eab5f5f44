// The user's login for the site: cookies taken from the user's own browser (a pasted Cookie
// header line, a cookies.txt file in the Netscape format, Firefox's cookie store), kept in the
// user's configuration folder in a file only the user can read, and handed to the request engine
// as Netscape cookie lines, whose cookie engine matches domain, path, Secure and expiry.
//
// Only cookies of the site's domain (the domain itself and its subdomains) are taken; the rest
// of an imported file is ignored. Values are never shown or logged: list them by name.
// Ownership: a plain value object. Thread contract: one thread at a time.
#ifndef NET_LOGIN_COOKIES_H_
#define NET_LOGIN_COOKIES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

struct LoginCookie {
  std::string domain;  // as the browser keeps it: ".zhihu.com" (with subdomains) or "www.zhihu.com"
  bool includeSubdomains = true;
  std::string path = "/";
  bool secure = false;
  bool httpOnly = false;
  int64_t expires = 0;  // seconds since 1970; 0: until the browser's session ends
  std::string name;
  std::string value;
};

class LoginCookies {
 public:
  // `siteDomain`: the registrable domain the cookies belong to ("zhihu.com").
  explicit LoginCookies(std::string siteDomain) : siteDomain_(std::move(siteDomain)) {}

  // A Cookie header line as a browser's developer tools copy it ("Cookie: a=1; b=2", the name
  // optional): each entry becomes a session cookie for the site's domain and its subdomains,
  // path "/". Returns how many were taken.
  int AddHeaderLine(std::string_view line);
  // A cookies.txt text (Netscape format: domain, subdomains flag, path, Secure flag, expiry,
  // name, value, separated by tabs; "#HttpOnly_" before the domain marks an HttpOnly one).
  // Lines of other domains, comments and malformed lines are skipped. Returns how many were taken.
  int AddNetscapeText(std::string_view text);
  // Firefox's cookie store (cookies.sqlite) at `path`, read from a copy opened read-only, so
  // that a running browser's lock and its file stay untouched. Returns how many were taken, -1
  // when the store cannot be read.
  int AddFirefoxStore(const std::string& path);
  // The cookies.sqlite files of the user's Firefox profiles, the most recently used first.
  static std::vector<std::string> FirefoxStores();

  // A cookie replaces one of the same name, domain and path.
  void Add(LoginCookie cookie);
  void Clear() { cookies_.clear(); }
  bool empty() const { return cookies_.empty(); }
  const std::vector<LoginCookie>& cookies() const { return cookies_; }
  const std::string& siteDomain() const { return siteDomain_; }
  // Whether `domain` (leading dot allowed) is the site's domain or one of its subdomains.
  bool IsSiteDomain(std::string_view domain) const;

  // Whether the host of an http or https address is in the site's domain: the requests the
  // login may go with.
  bool CoversAddress(std::string_view address) const;

  // The cookies in the Netscape format, one line each, each ended by "\n".
  std::string NetscapeLines() const;

  // Writes the cookies to `path` (in the Netscape format, created with mode 0600 and replaced
  // whole); an empty store removes the file. False when it cannot be written.
  bool Save(const std::string& path) const;
  // Replaces the cookies by those in `path`; a missing file gives none. False when the file
  // exists and cannot be read.
  bool Load(const std::string& path);
  // "$XDG_CONFIG_HOME/videolens/login-cookies.txt", else "~/.config/videolens/login-cookies.txt"
  // (on Windows "%APPDATA%\\videolens\\login-cookies.txt", in UTF-8):
  // beside the program's settings.
  static std::string DefaultPath();

 private:
  std::string siteDomain_;
  std::vector<LoginCookie> cookies_;
};

}  // namespace net

#endif  // NET_LOGIN_COOKIES_H_
