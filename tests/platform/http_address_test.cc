#include "platform/http/http_address.h"

#include <gtest/gtest.h>

namespace platform::http {
namespace {

TEST(HttpAddressTest, TakesApartWellFormedAddressesAndRefusesTheRest) {
  std::optional<HttpAddress> a = ParseHttpAddress("HTTPS://User:pw@Example.COM:8443?q=1#frag");
  ASSERT_TRUE(a.has_value());
  EXPECT_TRUE(a->https);
  EXPECT_EQ(a->host, "example.com");
  EXPECT_EQ(a->port, 8443);
  EXPECT_EQ(a->target, "/?q=1");  // a query without a path gets the root; the fragment is dropped
  EXPECT_EQ(a->ToString(), "https://example.com:8443/?q=1");

  std::optional<HttpAddress> v6 = ParseHttpAddress("http://[::1]/a/b?c");
  ASSERT_TRUE(v6.has_value());
  EXPECT_EQ(v6->port, 80);
  EXPECT_EQ(v6->bareHost(), "::1");
  EXPECT_EQ(v6->path(), "/a/b");
  EXPECT_EQ(v6->ToString(), "http://[::1]/a/b?c");  // the scheme's own port is left out

  for (const char* bad : {"ftp://h/", "file:///etc/hostname", "not an address", "http:///path", "http://h:0/",
                          "http://h:65536/", "http://h:8a/", "http://[::1/", "http://h{x}/"}) {
    EXPECT_FALSE(ParseHttpAddress(bad).has_value()) << bad;
  }
}

TEST(HttpAddressTest, ResolvesEveryFormOfLocation) {
  HttpAddress base = *ParseHttpAddress("http://h:81/dir/page?x=1");
  EXPECT_EQ(ResolveLocation(base, "https://o/p"), "https://o/p");
  EXPECT_EQ(ResolveLocation(base, "//o/p"), "http://o/p");
  EXPECT_EQ(ResolveLocation(base, "/root"), "http://h:81/root");
  EXPECT_EQ(ResolveLocation(base, "?y=2"), "http://h:81/dir/page?y=2");
  EXPECT_EQ(ResolveLocation(base, "next b"), "http://h:81/dir/next%20b");
  EXPECT_EQ(ResolveLocation(base, " /\xE4\xB8\xAD "), "http://h:81/%E4%B8%AD");
  // A colon later in a relative path is not a scheme.
  EXPECT_EQ(ResolveLocation(base, "a?u=http://x"), "http://h:81/dir/a?u=http://x");
}

TEST(HttpAddressTest, BypassListsMatchHostsAndTheirSubdomains) {
  EXPECT_TRUE(ProxyBypassed("*", "any.host"));
  EXPECT_TRUE(ProxyBypassed("a.com, example.com", "www.Example.com"));
  EXPECT_TRUE(ProxyBypassed(".example.com;b", "example.com"));
  EXPECT_TRUE(ProxyBypassed("*.example.com", "x.example.com"));
  EXPECT_TRUE(ProxyBypassed("127.0.0.1:8080", "127.0.0.1"));
  EXPECT_TRUE(ProxyBypassed("<local>", "intranet"));
  EXPECT_FALSE(ProxyBypassed("<local>", "intranet.example"));
  EXPECT_FALSE(ProxyBypassed("example.com", "badexample.com"));
  EXPECT_FALSE(ProxyBypassed("", "example.com"));
}

}  // namespace
}  // namespace platform::http
