#include "net/login_cookies.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace net {
namespace {

namespace fs = std::filesystem;

class LoginCookiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "login-cookies-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (fs::path(dir_) / name).string(); }
  static std::vector<std::string> Names(const LoginCookies& c) {
    std::vector<std::string> names;
    for (const LoginCookie& k : c.cookies()) names.push_back(k.name + "@" + k.domain + k.path);
    return names;
  }
  std::string dir_;
};

TEST_F(LoginCookiesTest, AHeaderLineAndACookiesTxtGiveTheSitesCookiesOnly) {
  LoginCookies c("zhihu.com");
  EXPECT_EQ(c.AddHeaderLine("Cookie: z_c0=2|1:0|abc==; d_c0=\"AB=C\";__zse_ck=x ;broken; =nameless"), 3);
  EXPECT_EQ(Names(c),
            (std::vector<std::string>{"z_c0@.zhihu.com/", "d_c0@.zhihu.com/", "__zse_ck@.zhihu.com/"}));
  EXPECT_EQ(c.cookies()[0].value, "2|1:0|abc==");  // "=" inside a value stays
  EXPECT_EQ(c.cookies()[1].value, "\"AB=C\"");
  EXPECT_EQ(c.AddHeaderLine("z_c0=new"), 1);  // without the name, and replacing the old one
  EXPECT_EQ(c.cookies().size(), 3u);
  EXPECT_EQ(c.cookies()[0].value, "new");

  LoginCookies t("zhihu.com");
  const int taken = t.AddNetscapeText(
      "# Netscape HTTP Cookie File\r\n"
      ".zhihu.com\tTRUE\t/\tTRUE\t1900000000\tz_c0\tv1\r\n"
      "#HttpOnly_www.zhihu.com\tFALSE\t/question\tFALSE\t0\tq_c1\tv2\n"
      ".example.com\tTRUE\t/\tFALSE\t0\tother\tv3\n"
      ".notzhihu.com\tTRUE\t/\tFALSE\t0\tlook\talike\n"
      "zhihu.com\tTRUE\t/\tFALSE\tsoon\tbad\texpiry\n"
      ".zhihu.com\tTRUE\t/\tFALSE\t0\tcr\tin\rside\n"
      "too\tfew\tfields\n");
  EXPECT_EQ(taken, 2);
  EXPECT_EQ(Names(t), (std::vector<std::string>{"z_c0@.zhihu.com/", "q_c1@www.zhihu.com/question"}));
  EXPECT_TRUE(t.cookies()[0].secure);
  EXPECT_EQ(t.cookies()[0].expires, 1900000000);
  EXPECT_TRUE(t.cookies()[1].httpOnly);
  EXPECT_FALSE(t.cookies()[1].includeSubdomains);
  // Written back in the same form, the HttpOnly mark included.
  EXPECT_EQ(t.NetscapeLines(),
            ".zhihu.com\tTRUE\t/\tTRUE\t1900000000\tz_c0\tv1\n"
            "#HttpOnly_www.zhihu.com\tFALSE\t/question\tFALSE\t0\tq_c1\tv2\n");

  EXPECT_TRUE(t.CoversAddress("https://www.zhihu.com/question/1"));
  EXPECT_TRUE(t.CoversAddress("HTTP://user@lens.zhihu.com:443/api"));
  EXPECT_FALSE(t.CoversAddress("https://vdn.vzuu.com/hd/x.mp4"));
  EXPECT_FALSE(t.CoversAddress("https://pic1.zhimg.com/v2.jpg"));
  EXPECT_FALSE(t.CoversAddress("https://zhihu.com.evil.example/"));
  EXPECT_FALSE(t.CoversAddress("zhihu.com/question/1"));
}

TEST_F(LoginCookiesTest, SavedWithModeSixHundredLoadedBackAndRemovedWhenCleared) {
  const std::string path = Path("config/videolens/login-cookies.txt");
  LoginCookies c("zhihu.com");
  c.AddHeaderLine("Cookie: z_c0=secret-value; d_c0=other");
  ASSERT_TRUE(c.Save(path));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(fs::exists(path + ".new"));
  // A file made by hand with a wider mode is replaced by one of the user's own.
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  ASSERT_TRUE(c.Save(path));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  LoginCookies back("zhihu.com");
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.NetscapeLines(), c.NetscapeLines());
  back.Clear();
  ASSERT_TRUE(back.Save(path));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(back.Load(path));  // no file: no cookies, no error
  EXPECT_TRUE(back.empty());

  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(LoginCookies::DefaultPath(), "/cfg/videolens/login-cookies.txt");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace net
