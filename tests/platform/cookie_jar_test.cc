#include "platform/http/cookie_jar.h"

#include <gtest/gtest.h>

namespace platform::http {
namespace {

constexpr int64_t kNow = 1700000000;

HttpAddress At(const char* url) { return *ParseHttpAddress(url); }

TEST(CookieJarTest, CookiesGoBackToTheirHostPathAndScheme) {
  CookieJar jar;
  jar.Store(At("http://a.example.com/app/login"), "host=1", kNow);  // default path /app
  jar.Store(At("http://a.example.com/app/login"), "dom=2; Domain=.Example.com; Path=/", kNow);
  jar.Store(At("https://a.example.com/"), "sec=3; Secure; HttpOnly", kNow);
  jar.Store(At("http://a.example.com/"), "foreign=4; Domain=other.com", kNow);  // not the sender's
  jar.Store(At("http://a.example.com/"), "no-value-pair", kNow);

  EXPECT_EQ(jar.CookieLine(At("http://a.example.com/app/x"), kNow), "host=1; dom=2");
  EXPECT_EQ(jar.CookieLine(At("http://a.example.com/application"), kNow), "dom=2");
  EXPECT_EQ(jar.CookieLine(At("http://b.example.com/app/x"), kNow), "dom=2");  // host-only stays home
  EXPECT_EQ(jar.CookieLine(At("https://a.example.com/"), kNow), "sec=3; dom=2");
  EXPECT_EQ(jar.CookieLine(At("http://other.com/"), kNow), "");
}

TEST(CookieJarTest, LongerPathsFirstThenNewerAndAReplacedCookieKeepsItsPlace) {
  CookieJar jar;
  HttpAddress site = At("http://127.0.0.1:8080/redirect");
  jar.Store(site, "r=1; Path=/", kNow);
  jar.Store(At("http://127.0.0.1:8080/final"), "f=2", kNow);
  jar.Store(site, "deep=3; Path=/p", kNow);
  EXPECT_EQ(jar.CookieLine(At("http://127.0.0.1:8080/p/q"), kNow), "deep=3; f=2; r=1");
  jar.Store(site, "r=9; Path=/", kNow);
  EXPECT_EQ(jar.CookieLine(At("http://127.0.0.1:8080/"), kNow), "f=2; r=9");
}

TEST(CookieJarTest, MaxAgeAndExpiresDecideHowLongACookieLives) {
  CookieJar jar;
  HttpAddress site = At("http://h/");
  jar.Store(site, "short=1; Max-Age=10", kNow);
  jar.Store(site, "dated=2; Expires=Wed, 15 Nov 2023 00:00:00 GMT", kNow);  // kNow is 14 Nov 2023 22:13
  jar.Store(site, "both=3; Max-Age=100000; Expires=Thu, 01 Jan 1970 00:00:00 GMT", kNow);  // Max-Age wins
  EXPECT_EQ(jar.CookieLine(site, kNow), "dated=2; short=1; both=3");  // longer names, then newer
  EXPECT_EQ(jar.CookieLine(site, kNow + 11), "dated=2; both=3");
  EXPECT_EQ(jar.CookieLine(site, kNow + 7200), "both=3");

  jar.Store(site, "both=x; Max-Age=0", kNow);                             // deletes
  jar.Store(site, "dated=x; Expires=Sun, 06-Nov-94 08:49:37 GMT", kNow);  // a past date deletes too
  EXPECT_EQ(jar.CookieLine(site, kNow), "short=1");

  EXPECT_EQ(CookieJar::ParseDate("Thu, 01 Jan 1970 00:00:00 GMT").value_or(-1), 0);
  EXPECT_EQ(CookieJar::ParseDate("Sun, 06-Nov-94 08:49:37 GMT").value_or(-1), 784111777);
  EXPECT_FALSE(CookieJar::ParseDate("tomorrow").has_value());
  EXPECT_FALSE(CookieJar::ParseDate("Thu, 01 Foo 1970 00:00:00 GMT").has_value());
  EXPECT_FALSE(CookieJar::ParseDate("Thu, 32 Jan 1970 00:00:00 GMT").has_value());
}

TEST(CookieJarTest, CookiesTxtLinesKeepTheirDomainPathSecureAndExpiry) {
  CookieJar jar;
  jar.StoreFileLine(".zhihu.com\tTRUE\t/\tFALSE\t0\tz_c0\tlogin", kNow);
  jar.StoreFileLine("www.zhihu.com\tFALSE\t/api\tTRUE\t1800000000\tq_c1\tsecure-api\r", kNow);
  jar.StoreFileLine("#HttpOnly_.zhihu.com\tTRUE\t/\tFALSE\t1600000000\tgone\texpired", kNow);
  jar.StoreFileLine("# Netscape HTTP Cookie File", kNow);
  jar.StoreFileLine("zhihu.com\tTRUE\t/\tFALSE\tsoon\tbad\texpiry", kNow);
  jar.StoreFileLine("zhihu.com\tTRUE\t/", kNow);
  EXPECT_EQ(jar.CookieLine(At("https://www.zhihu.com/api/v4/x"), kNow), "q_c1=secure-api; z_c0=login");
  EXPECT_EQ(jar.CookieLine(At("http://www.zhihu.com/api/v4/x"), kNow), "z_c0=login");  // not Secure
  EXPECT_EQ(jar.CookieLine(At("https://zhuanlan.zhihu.com/"), kNow), "z_c0=login");  // host-only q_c1
  EXPECT_EQ(jar.CookieLine(At("https://example.com/"), kNow), "");
  // A line again replaces its cookie; an expired one removes it.
  jar.StoreFileLine("zhihu.com\tTRUE\t/\tFALSE\t0\tz_c0\tnew", kNow);
  EXPECT_EQ(jar.CookieLine(At("https://zhihu.com/"), kNow), "z_c0=new");
  jar.StoreFileLine("zhihu.com\tTRUE\t/\tFALSE\t1\tz_c0\tnew", kNow);
  EXPECT_EQ(jar.CookieLine(At("https://zhihu.com/"), kNow), "");
}

}  // namespace
}  // namespace platform::http
