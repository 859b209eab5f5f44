#include "net/login_cookies.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/private_file.h"

namespace net {
namespace {

namespace fs = std::filesystem;

// A path's bytes are UTF-8 on Windows, where a narrow name would be read in the ANSI code page.
fs::path FilePath(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    if (a != b) return false;
  }
  return true;
}

// A name or value must not break the line it is written on.
bool Writable(std::string_view s) {
  return std::none_of(s.begin(), s.end(),
                      [](char c) { return c == '\t' || c == '\r' || c == '\n' || c == '\0'; });
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

}  // namespace

bool LoginCookies::IsSiteDomain(std::string_view domain) const {
  if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  if (domain.size() < siteDomain_.size() || siteDomain_.empty()) return false;
  std::string lower(domain);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  if (lower == siteDomain_) return true;
  return lower.size() > siteDomain_.size() && lower.ends_with(siteDomain_) &&
         lower[lower.size() - siteDomain_.size() - 1] == '.';
}

bool LoginCookies::CoversAddress(std::string_view address) const {
  const bool http = StartsWithIgnoreCase(address, "http://");
  if (!http && !StartsWithIgnoreCase(address, "https://")) return false;
  address.remove_prefix(http ? 7 : 8);
  std::string_view authority = address.substr(0, address.find_first_of("/?#"));
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority.substr(0, authority.find(':'));
  return !host.empty() && IsSiteDomain(host);
}

void LoginCookies::Add(LoginCookie cookie) {
  for (LoginCookie& c : cookies_) {
    if (c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path) {
      c = std::move(cookie);
      return;
    }
  }
  cookies_.push_back(std::move(cookie));
}

int LoginCookies::AddHeaderLine(std::string_view line) {
  line = Trim(line);
  if (StartsWithIgnoreCase(line, "Cookie:")) line = Trim(line.substr(7));
  int taken = 0;
  while (!line.empty()) {
    size_t end = line.find(';');
    std::string_view entry = Trim(line.substr(0, end));
    line = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
    size_t eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = Trim(entry.substr(0, eq));
    std::string_view value = Trim(entry.substr(eq + 1));
    if (name.empty() || !Writable(name) || !Writable(value)) continue;
    LoginCookie c;
    c.domain = "." + siteDomain_;
    c.name = std::string(name);
    c.value = std::string(value);
    Add(std::move(c));
    ++taken;
  }
  return taken;
}

int LoginCookies::AddNetscapeText(std::string_view text) {
  int taken = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    LoginCookie c;
    if (line.starts_with(kHttpOnlyPrefix)) {
      c.httpOnly = true;
      line.remove_prefix(kHttpOnlyPrefix.size());
    } else if (line.empty() || line.front() == '#') {
      continue;
    }
    std::vector<std::string_view> f = Fields(line);
    if (f.size() != 7 || f[0].empty() || f[5].empty() || !IsSiteDomain(f[0])) continue;
    // A stray CR or NUL inside a field would break the line the cookie is written on.
    if (!Writable(f[0]) || !Writable(f[2]) || !Writable(f[5]) || !Writable(f[6])) continue;
    c.domain = std::string(f[0]);
    c.includeSubdomains = f[1] == "TRUE";
    c.path = f[2].empty() ? std::string("/") : std::string(f[2]);
    c.secure = f[3] == "TRUE";
    char* stop = nullptr;
    std::string expires(f[4]);
    c.expires = std::strtoll(expires.c_str(), &stop, 10);
    if (stop == expires.c_str() || *stop != '\0' || c.expires < 0) continue;
    c.name = std::string(f[5]);
    c.value = std::string(f[6]);
    Add(std::move(c));
    ++taken;
  }
  return taken;
}

std::string LoginCookies::NetscapeLines() const {
  std::string out;
  for (const LoginCookie& c : cookies_) {
    if (c.httpOnly) out += kHttpOnlyPrefix;
    out += c.domain + '\t' + (c.includeSubdomains ? "TRUE" : "FALSE") + '\t' + c.path + '\t' +
           (c.secure ? "TRUE" : "FALSE") + '\t' + std::to_string(c.expires) + '\t' + c.name + '\t' + c.value +
           '\n';
  }
  return out;
}

bool LoginCookies::Save(const std::string& path) const {
  if (cookies_.empty()) {
    std::error_code ec;
    fs::remove(FilePath(path), ec);
    return !ec;
  }
  return platform::WritePrivateFile(path, "# Netscape HTTP Cookie File\n" + NetscapeLines());
}

bool LoginCookies::Load(const std::string& path) {
  cookies_.clear();
  std::ifstream in(FilePath(path), std::ios::binary);
  if (!in) return !fs::exists(FilePath(path));
  std::ostringstream text;
  text << in.rdbuf();
  AddNetscapeText(text.str());
  return true;
}

std::string LoginCookies::DefaultPath() {
#ifdef _WIN32
  // The user's roaming application data (%APPDATA%), in UTF-8 like every path of the program.
  if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData != nullptr && appData[0] != L'\0') {
    const std::u8string folder = std::filesystem::path(appData).u8string();
    return std::string(folder.begin(), folder.end()) + "\\videolens\\login-cookies.txt";
  }
#endif
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/.config";
  }
  return folder + "/videolens/login-cookies.txt";
}

}  // namespace net
