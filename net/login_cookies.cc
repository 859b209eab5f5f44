#include "net/login_cookies.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace net {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
// Firefox keeps expiry in milliseconds in newer profiles, in seconds in older ones: no date in
// seconds reaches this (the year 5138).
constexpr int64_t kMillisecondsFrom = 100'000'000'000;

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

// Removes the temporary copy of a store, whatever happens while it is read.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "videolens-cookies-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

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

int LoginCookies::AddFirefoxStore(const std::string& path) {
  TemporaryFolder folder;
  if (folder.path().empty()) return -1;
  // The store with its write-ahead log, if one is open, so that the latest cookies are in.
  std::error_code ec;
  const fs::path copy = fs::path(folder.path()) / "cookies.sqlite";
  if (!fs::copy_file(path, copy, ec) || ec) return -1;
  fs::copy_file(path + "-wal", copy.string() + "-wal", ec);  // absent when no log is open

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  int taken = -1;
  sqlite3_stmt* query = nullptr;
  if (rc == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT host, path, isSecure, expiry, name, value, isHttpOnly FROM moz_cookies",
                         -1, &query, nullptr) == SQLITE_OK) {
    taken = 0;
    auto text = [&](int column) {
      const unsigned char* t = sqlite3_column_text(query, column);
      return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    while (sqlite3_step(query) == SQLITE_ROW) {
      LoginCookie c;
      c.domain = text(0);
      if (!IsSiteDomain(c.domain)) continue;
      // Firefox writes a domain cookie with its leading dot and a host cookie without.
      c.includeSubdomains = c.domain.starts_with('.');
      c.path = text(1).empty() ? std::string("/") : text(1);
      c.secure = sqlite3_column_int(query, 2) != 0;
      c.expires = sqlite3_column_int64(query, 3);
      if (c.expires >= kMillisecondsFrom) c.expires /= 1000;
      c.name = text(4);
      c.value = text(5);
      c.httpOnly = sqlite3_column_int(query, 6) != 0;
      if (c.name.empty() || !Writable(c.name) || !Writable(c.value) || !Writable(c.path) ||
          !Writable(c.domain))
        continue;
      Add(std::move(c));
      ++taken;
    }
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  return taken;
}

std::vector<std::string> LoginCookies::FirefoxStores() {
  std::vector<std::pair<fs::file_time_type, std::string>> found;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  for (const char* root : {"/.mozilla/firefox", "/snap/firefox/common/.mozilla/firefox"}) {
    std::error_code ec;
    for (const fs::directory_entry& profile : fs::directory_iterator(std::string(home) + root, ec)) {
      fs::path store = profile.path() / "cookies.sqlite";
      std::error_code e;
      if (!fs::is_regular_file(store, e)) continue;
      found.emplace_back(fs::last_write_time(store, e), store.string());
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> stores;
  for (auto& f : found) stores.push_back(std::move(f.second));
  return stores;
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
  std::error_code ec;
  if (cookies_.empty()) {
    fs::remove(path, ec);
    return !ec;
  }
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty() && !fs::exists(parent, ec)) {
    fs::create_directories(parent, ec);
    if (ec) return false;
    fs::permissions(parent, fs::perms::owner_all, ec);
  }
  // Written beside the file and renamed over it: a reader never sees half a file, and the
  // file never exists with a wider mode than the user's own.
  const std::string temporary = path + ".new";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string text = "# Netscape HTTP Cookie File\n" + NetscapeLines();
  bool ok = ::fchmod(fd, 0600) == 0;
  size_t written = 0;
  while (ok && written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n <= 0)
      ok = false;
    else
      written += static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool LoginCookies::Load(const std::string& path) {
  cookies_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return !fs::exists(path);
  std::ostringstream text;
  text << in.rdbuf();
  AddNetscapeText(text.str());
  return true;
}

std::string LoginCookies::DefaultPath() {
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
