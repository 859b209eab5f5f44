#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>  // mkdtemp

#include <filesystem>

#include "net/login_cookies.h"

namespace net {
namespace {

namespace fs = std::filesystem;

class FirefoxCookiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "firefox-cookies-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (fs::path(dir_) / name).string(); }
  std::string dir_;
};

// Firefox's store, as the browser keeps it (expiry in milliseconds in newer profiles), read from
// a copy: the file is left as it was.
TEST_F(FirefoxCookiesTest, StoreIsReadFromACopy) {
  const std::string path = Path("cookies.sqlite");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(
                db,
                "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT, name TEXT, "
                "value TEXT, host TEXT, path TEXT, expiry INTEGER, isSecure INTEGER, isHttpOnly INTEGER);"
                "INSERT INTO moz_cookies VALUES (1,'','z_c0','ff-login','.zhihu.com','/',1900000000000,1,1);"
                "INSERT INTO moz_cookies VALUES (2,'','sid','x','www.zhihu.com','/',1900000000,0,0);"
                "INSERT INTO moz_cookies VALUES (3,'','ad','y','.ads.example','/',1900000000,0,0);",
                nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const auto before = fs::last_write_time(path);

  LoginCookies c("zhihu.com");
  EXPECT_EQ(c.AddFirefoxStore(path), 2);
  EXPECT_EQ(c.NetscapeLines(),
            "#HttpOnly_.zhihu.com\tTRUE\t/\tTRUE\t1900000000\tz_c0\tff-login\n"
            "www.zhihu.com\tFALSE\t/\tFALSE\t1900000000\tsid\tx\n");
  EXPECT_EQ(fs::last_write_time(path), before);
  EXPECT_EQ(c.AddFirefoxStore(Path("missing.sqlite")), -1);
}

}  // namespace
}  // namespace net
