// Firefox's cookie store, read through the system's SQLite library: the login's import from the
// browser. Linux only for now; the Windows build has no SQLite library to link.
#include <sqlite3.h>
#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "net/login_cookies.h"

namespace net {
namespace {

namespace fs = std::filesystem;

// Firefox keeps expiry in milliseconds in newer profiles, in seconds in older ones: no date in
// seconds reaches this (the year 5138).
constexpr int64_t kMillisecondsFrom = 100'000'000'000;

// A name or value must not break the line it is written on.
bool Writable(std::string_view s) {
  return std::none_of(s.begin(), s.end(),
                      [](char c) { return c == '\t' || c == '\r' || c == '\n' || c == '\0'; });
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

}  // namespace net
