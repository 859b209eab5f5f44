#include "net/web_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/program.h"
#include "platform/com/automation.h"
#include "platform/http/winhttp_request.h"
#include "runtime/dll_commands.h"
#include "tests/support/recording_request.h"
#include "tests/support/scripted_servers.h"
#if !defined(_WIN32)
#include "tests/support/local_servers.h"
#endif

namespace net {
namespace {

using Calls = std::vector<std::string>;
using testing_support::ScopedRecordingRequest;

class WebRequestEnvironment : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const rt::ProgramHeader& program = app::ProgramDescription();
    rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
    platform::com::RegisterBuiltinClasses();
  }
};

class WebRequestCallsTest : public WebRequestEnvironment {
 protected:
  ScopedRecordingRequest recorder_;
  const Calls& calls() { return recorder_.log().calls; }
  static Calls Reads() { return {"ResponseBody", "GetAllResponseHeaders", "Status"}; }
};

TEST_F(WebRequestCallsTest, OnlyUrlAndHeadersGiven) {
  rt::Text headers("user-agent: X");
  rt::ByteSet body = WebRequest("U", std::nullopt, std::nullopt, nullptr, nullptr, &headers);
  Calls expected = {"SetTimeouts 15000|15000|15000|15000",
                    "Open 'GET'|'U'|false",
                    "Option 4|13056",
                    "SetRequestHeader 'User-Agent'|'X'",
                    "SetRequestHeader 'Accept'|'*/*'",
                    "SetRequestHeader 'Referer'|'U'",
                    "SetRequestHeader 'Accept-Language'|'zh-cn'",
                    "Send ''"};
  for (const std::string& r : Reads()) expected.push_back(r);
  EXPECT_EQ(calls(), expected);
  EXPECT_EQ(body.view(), "hi");
  EXPECT_EQ(headers.str(), "User-Agent: X\r\nAccept: */*\r\nReferer: U\r\nAccept-Language: zh-cn");
  EXPECT_EQ(recorder_.log().created, 1);
}

TEST_F(WebRequestCallsTest, TheTwoHalvesMakeTheSameCallsWithAnAsynchronousOpen) {
  rt::Text headers("user-agent: X");
  PendingWebRequest pending = StartWebRequest("U", std::nullopt, std::nullopt, nullptr, nullptr, &headers);
  Calls sent = {"SetTimeouts 15000|15000|15000|15000",
                "Open 'GET'|'U'|true",
                "Option 4|13056",
                "SetRequestHeader 'User-Agent'|'X'",
                "SetRequestHeader 'Accept'|'*/*'",
                "SetRequestHeader 'Referer'|'U'",
                "SetRequestHeader 'Accept-Language'|'zh-cn'",
                "Send ''"};
  EXPECT_EQ(calls(), sent);  // sent, nothing read yet
  EXPECT_EQ(headers.str(), "User-Agent: X\r\nAccept: */*\r\nReferer: U\r\nAccept-Language: zh-cn");
  EXPECT_TRUE(pending.pending());
  EXPECT_TRUE(pending.IsComplete());
  rt::ByteSet body = FinishWebRequest(pending);
  Calls all = sent;
  all.push_back("WaitForResponse 0");
  all.push_back("WaitForResponse");
  for (const std::string& r : Reads()) all.push_back(r);
  EXPECT_EQ(calls(), all);
  EXPECT_EQ(body.view(), "hi");
  EXPECT_FALSE(pending.pending());
  EXPECT_TRUE(FinishWebRequest(pending).empty());  // finished once: nothing more is called
  EXPECT_EQ(calls().size(), all.size());

  // A request given up before its end is aborted, not left to its time-out.
  recorder_.log().calls.clear();
  { PendingWebRequest dropped = StartWebRequest("U"); }
  ASSERT_FALSE(calls().empty());
  EXPECT_EQ(calls().back(), "Abort");
}

TEST_F(WebRequestCallsTest, MethodNumbers) {
  for (auto [number, text] : {std::pair{9, "GET"}, {-1, "GET"}, {3, "PUT"}, {7, "CONNECT"}}) {
    recorder_.log().calls.clear();
    WebRequest("U", number, std::nullopt, nullptr, nullptr, nullptr, nullptr, nullptr, std::nullopt,
               std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr,
               std::nullopt, false);
    ASSERT_GE(calls().size(), 2u);
    EXPECT_EQ(calls()[1], "Open '" + std::string(text) + "'|'U'|false");
  }
}

TEST_F(WebRequestCallsTest, TimeOuts) {
  auto first = [this](std::optional<int32_t> seconds) {
    recorder_.log().calls.clear();
    WebRequest("U", std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, nullptr, std::nullopt,
               std::nullopt, std::nullopt, seconds);
    return calls().at(0);
  };
  EXPECT_EQ(first(std::nullopt), "SetTimeouts 15000|15000|15000|15000");
  EXPECT_EQ(first(0), "SetTimeouts 15000|15000|15000|15000");
  EXPECT_EQ(first(30), "SetTimeouts 30000|30000|30000|30000");
  EXPECT_EQ(first(-5), "SetTimeouts 15000|15000|15000|15000");
  EXPECT_EQ(first(-1), "Open 'GET'|'U'|false");  // no SetTimeouts at all
  // Too long for 32-bit milliseconds: the longest time-out, not a wrapped one.
  EXPECT_EQ(first(3000000), "SetTimeouts 2147483647|2147483647|2147483647|2147483647");
}

TEST_F(WebRequestCallsTest, ProxyAndCredentials) {
  auto run = [this](std::optional<kernel::TextRef> proxy, std::optional<int32_t> mode) {
    recorder_.log().calls.clear();
    WebRequest("U", std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, nullptr, true,
               std::nullopt, proxy, -1, "user", "pw", mode, nullptr, std::nullopt, false);
    return calls();
  };
  Calls none = run(std::nullopt, std::nullopt);
  for (const std::string& c : none) {
    EXPECT_EQ(c.find("SetProxy"), std::string::npos);
    EXPECT_EQ(c.find("Proxy-Authorization"), std::string::npos);
  }
  Calls withProxy = run("127.0.0.1:8080", std::nullopt);
  EXPECT_EQ(withProxy.at(0), "SetProxy 2|'127.0.0.1:8080'");
  EXPECT_EQ(withProxy.at(1), "Open 'GET'|'U'|false");
  EXPECT_EQ(withProxy.at(2), "Option 6|0");  // noRedirect
  EXPECT_EQ(withProxy.at(3), "Option 4|13056");
  EXPECT_EQ(withProxy.at(4), "SetRequestHeader 'Proxy-Authorization'|'Basic dXNlcjpwdw=='");
  for (int32_t mode : {0, 2}) {
    for (const std::string& c : run("127.0.0.1:8080", mode))
      EXPECT_EQ(c.find("Proxy-Authorization"), std::string::npos);
  }
}

TEST_F(WebRequestCallsTest, CookiesAndBodies) {
  rt::Text cookies;  // given, empty
  rt::Text returned;
  recorder_.log().responseHeaders = "Set-Cookie: n=1; Path=/\r\n\r\n";
  WebRequest("U", 1, "text", &cookies, &returned, nullptr, nullptr, nullptr, std::nullopt, rt::ByteSet("raw"),
             std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr, std::nullopt,
             false);
  EXPECT_EQ(calls().at(3), "SetRequestHeader 'Cookie'|''");
  EXPECT_NE(std::find(calls().begin(), calls().end(), "Send <bytes:raw>"), calls().end());  // only the bytes
  EXPECT_EQ(cookies.str(), "n=1");
  EXPECT_EQ(returned.str(), "n=1");

  recorder_.log().calls.clear();
  rt::Text noMerge("a=0");
  WebRequest("U", std::nullopt, "text", &noMerge, &returned, nullptr, nullptr, nullptr, std::nullopt,
             std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr,
             false, false);
  EXPECT_EQ(noMerge.str(), "a=0");
  EXPECT_EQ(returned.str(), "n=1");
  EXPECT_NE(std::find(calls().begin(), calls().end(), "Send 'text'"), calls().end());

  recorder_.log().calls.clear();
  WebRequest("U", std::nullopt, std::nullopt, nullptr, &returned);  // cookies omitted: no header, no merge
  for (const std::string& c : calls()) EXPECT_EQ(c.find("'Cookie'"), std::string::npos);
  EXPECT_EQ(returned.str(), "n=1");
}

TEST_F(WebRequestCallsTest, CallersObjectIsUsedAndStaysAlive) {
  platform::com::CoInitialize(nullptr);
  {
    rt::com::ComObject mine;
    ASSERT_TRUE(rt::com::Create(mine, "WinHttp.WinHttpRequest.5.1"));
    int32_t status = 0;
    WebRequest("U", std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, &status, std::nullopt,
               std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, &mine);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(recorder_.log().created, 1);  // no second object
    EXPECT_FALSE(mine.empty());
    recorder_.log().calls.clear();
    EXPECT_EQ(rt::com::GetNumber(mine, "Status"), 200);  // still usable
    EXPECT_EQ(calls(), Calls{"Status"});
  }
  platform::com::CoUninitialize();
}

TEST_F(WebRequestEnvironment, NoObjectMeansNoCallsAndOutputsUntouched) {
  platform::com::UnregisterClass(platform::http::kWinHttpRequestClsid);
  rt::Text headers("h: 1"), returnedHeaders("keep"), returned("keep");
  int32_t status = 7;
  rt::ByteSet body =
      WebRequest("U", std::nullopt, std::nullopt, nullptr, &returned, &headers, &returnedHeaders, &status);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers.str(), "h: 1");
  EXPECT_EQ(returnedHeaders.str(), "keep");
  EXPECT_EQ(returned.str(), "keep");
  EXPECT_EQ(status, 7);
  platform::com::RegisterClass(platform::http::kWinHttpRequestProgId, platform::http::kWinHttpRequestClsid,
                               &platform::http::NewWinHttpRequest);
}

// ---- Against loopback servers ---------------------------------------------------------------

// The scripted test servers (tests/support/scripted_servers.h), which both builds reach.
class WebRequestServerTest : public WebRequestEnvironment {
 protected:
  void SetUp() override {
    servers_ = testing_support::TestServers();
    if (servers_ == nullptr) GTEST_SKIP() << "no test servers: start test-servers and set WL_TEST_SERVERS";
  }
  std::string url(const std::string& path) const { return servers_->HttpUrl(path); }
  // What the server saw, from the X-Echo line among the returned headers.
  static testing_support::EchoedRequest Seen(const rt::Text& returnedHeaders) {
    std::string_view all = returnedHeaders.view();
    size_t at = all.find("X-Echo: ");
    if (at == std::string_view::npos) return {};
    size_t end = all.find("\r\n", at);
    return testing_support::EchoedRequest::Decode(all.substr(at + 8, end - at - 8));
  }
  const testing_support::ScriptedServers* servers_ = nullptr;
};

TEST_F(WebRequestServerTest, ServerReceivesTheNormalisedHeadersAndBodies) {
  std::string address = url("/echo");
  rt::Text headers("x-custom-thing: v");
  rt::Text returnedHeaders;
  int32_t status = 0;
  rt::ByteSet body =
      WebRequest(address, std::nullopt, std::nullopt, nullptr, nullptr, &headers, &returnedHeaders, &status);
  EXPECT_EQ(body.view(), "body:");
  EXPECT_EQ(status, 200);
  testing_support::EchoedRequest seen = Seen(returnedHeaders);
  EXPECT_EQ(seen.Header("X-Custom-Thing"), "v");
  EXPECT_EQ(seen.Header("Referer"), address);
  EXPECT_EQ(seen.Header("Accept"), "*/*");
  EXPECT_EQ(seen.Header("Accept-Language"), "zh-cn");
  EXPECT_EQ(seen.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_NE(returnedHeaders.view().find("Content-Type: text/plain\r\n"), std::string_view::npos);

  body = WebRequest(url("/echo"), 1, "a=1&b=2", nullptr, nullptr, nullptr, &returnedHeaders);
  EXPECT_EQ(body.view(), "body:a=1&b=2");
  EXPECT_EQ(Seen(returnedHeaders).Header("Content-Type"), "application/x-www-form-urlencoded");
  const std::string bytes("\x01\x00\xFF", 3);
  body = WebRequest(url("/echo"), 1, std::nullopt, nullptr, nullptr, nullptr, nullptr, nullptr, std::nullopt,
                    rt::ByteSet(bytes));
  EXPECT_EQ(body.view(), "body:" + bytes);
}

// The user's login as cookies.txt lines joins the caller's own cookies in one Cookie line, each
// cookie only where its path and expiry allow; comments and malformed lines are skipped, an
// "#HttpOnly_" line is a cookie. (Both engines: libcurl's store, the Windows engine's own.)
TEST_F(WebRequestServerTest, LoginLinesJoinTheCookieLineWhereTheyBelong) {
  const std::string lines =
      "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tz_c0\tlogin\n"
      "127.0.0.1\tFALSE\t/echo\tFALSE\t4102444800\td_c0\tdeep\n"
      "127.0.0.1\tFALSE\t/\tFALSE\t1000000000\told\texpired\n"
      "# a comment\nnot a cookie line\n";
  auto cookieSeen = [&](const std::string& path, rt::Text* own) {
    rt::Text returnedHeaders;
    PendingWebRequest r = StartWebRequest(
        url(path), std::nullopt, std::nullopt, own, nullptr, nullptr, &returnedHeaders, nullptr, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr,
        std::nullopt, std::nullopt, std::optional<kernel::TextRef>(lines));
    FinishWebRequest(r);
    return Seen(returnedHeaders).Header("Cookie");
  };
  rt::Text own("own=1");
  EXPECT_EQ(cookieSeen("/echo", &own), "d_c0=deep; z_c0=login; own=1");
  EXPECT_EQ(cookieSeen("/p1", nullptr), "z_c0=login");
}

TEST_F(WebRequestServerTest, RedirectsAndCookies) {
  rt::Text cookies("old=0");
  rt::Text returned, returnedHeaders;
  int32_t status = 0;
  rt::ByteSet body =
      WebRequest(url("/redirect"), std::nullopt, std::nullopt, nullptr, &returned, nullptr, nullptr, &status);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.view(), "final");
  EXPECT_EQ(returned.str(), "f=2");  // the final response's cookies only

  body = WebRequest(url("/redirect"), std::nullopt, std::nullopt, &cookies, &returned, nullptr, nullptr,
                    &status, true);
  EXPECT_EQ(status, 302);
  EXPECT_EQ(cookies.str(), "r=1; old=0");
  EXPECT_EQ(returned.str(), "r=1; old=0");
  // The merged text goes back out with the next request.
  WebRequest(url("/echo"), std::nullopt, std::nullopt, &cookies, nullptr, nullptr, &returnedHeaders);
  EXPECT_EQ(Seen(returnedHeaders).Header("Cookie"), "r=1; old=0");
}

TEST_F(WebRequestServerTest, RequestsInFlightTogetherGiveWhatOneAtATimeGives) {
  rt::Text cookies("old=0"), returned, returnedHeaders;
  int32_t status = 0;
  PendingWebRequest hop = StartWebRequest(url("/redirect"), std::nullopt, std::nullopt, &cookies, &returned,
                                          nullptr, &returnedHeaders, &status, true);
  std::vector<PendingWebRequest> pages;
  for (int i = 0; i < 4; ++i) pages.push_back(StartWebRequest(url("/final")));
  // Finished in another order than they were started.
  for (auto it = pages.rbegin(); it != pages.rend(); ++it) EXPECT_EQ(FinishWebRequest(*it).view(), "final");
  EXPECT_TRUE(hop.Wait(10));
  EXPECT_EQ(status, 0);  // the outputs are written by the finish half
  EXPECT_EQ(FinishWebRequest(hop).view(), "");
  EXPECT_EQ(status, 302);
  EXPECT_EQ(cookies.str(), "r=1; old=0");
  EXPECT_EQ(returned.str(), "r=1; old=0");
  EXPECT_NE(returnedHeaders.view().find("Location: /final\r\n"), std::string_view::npos);
}

#if !defined(_WIN32)
// Header bytes no server library sends as they are: a raw server in this process.
TEST(WebRequestHeaderBytesTest, HeaderBytesThatAreNotUtf8ComeBackInTheCodePage) {
  const rt::ProgramHeader& program = app::ProgramDescription();
  rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  platform::com::RegisterBuiltinClasses();
  // 中文 in GBK, a UTF-8 line beside it, and a Latin-1 byte that is no character of either.
  testing_support::RawServer raw(
      "HTTP/1.1 200 OK\r\nSet-Cookie: n=\xD6\xD0\xCE\xC4; Path=/\r\nX-Utf8: \xE4\xB8\xAD\r\n"
      "X-Latin: caf\xE9\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
  rt::Text cookies("a=1"), returned, returnedHeaders;
  rt::ByteSet body =
      WebRequest(raw.url("/"), std::nullopt, std::nullopt, &cookies, &returned, nullptr, &returnedHeaders);
  EXPECT_EQ(body.view(), "ok");
  EXPECT_NE(returnedHeaders.view().find("Set-Cookie: n=\xD6\xD0\xCE\xC4; Path=/\r\n"),
            std::string_view::npos);
  EXPECT_NE(returnedHeaders.view().find("X-Utf8: \xD6\xD0\r\n"), std::string_view::npos);  // 中 in GBK
  EXPECT_NE(returnedHeaders.view().find("X-Latin: caf?\r\nContent-Length: 2\r\n"), std::string_view::npos)
      << returnedHeaders.str();
  EXPECT_EQ(returned.str(), "n=\xD6\xD0\xCE\xC4; a=1");
  EXPECT_EQ(cookies.str(), "n=\xD6\xD0\xCE\xC4; a=1");
}

#endif

TEST_F(WebRequestServerTest, AddressWithLineBreakSendsNothing) {
  rt::Text headers;
  int32_t status = 5;
  rt::ByteSet body = WebRequest(url("/echo") + "\r\nX-Injected: 1", std::nullopt, std::nullopt, nullptr,
                                nullptr, &headers, nullptr, &status);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
}

TEST_F(WebRequestServerTest, StalledServerAndClosedPortGiveEmptyResults) {
  rt::Text returnedHeaders("x"), returned("y");
  int32_t status = 9;
  auto start = std::chrono::steady_clock::now();
  rt::ByteSet body = WebRequest(url("/stall"), std::nullopt, std::nullopt, nullptr, &returned, nullptr,
                                &returnedHeaders, &status, std::nullopt, std::nullopt, std::nullopt, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(returnedHeaders.str(), "");
  EXPECT_EQ(returned.str(), "");

  std::string closed = testing_support::ScriptedServers::Url(servers_->closed, "/");
  rt::Text cookies("k=v");
  body =
      WebRequest(closed, std::nullopt, std::nullopt, &cookies, &returned, nullptr, &returnedHeaders, &status);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(returnedHeaders.str(), "");
  EXPECT_EQ(returned.str(), "k=v");  // the caller's cookies merged with nothing
}

TEST_F(WebRequestServerTest, ProxyRequiringBasicCredentials) {
  const std::string proxy = testing_support::ScriptedServers::Address(servers_->proxyAuth);
  int32_t status = 0;
  rt::Text returnedHeaders;
  rt::ByteSet body =
      WebRequest(url("/echo"), std::nullopt, std::nullopt, nullptr, nullptr, nullptr, &returnedHeaders,
                 &status, std::nullopt, std::nullopt, proxy, std::nullopt, "u", "p");
  EXPECT_EQ(status, 200);  // the proxy let it through: it had the credentials
  EXPECT_EQ(body.view(), "body:");
  EXPECT_EQ(Seen(returnedHeaders).Header("Via"), "test-proxy");
  EXPECT_EQ(Seen(returnedHeaders).Header("Proxy-Authorization"), "<none>");

  WebRequest(url("/echo"), std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, &status,
             std::nullopt, std::nullopt, proxy, std::nullopt, "u", "p", 0);
  EXPECT_EQ(status, 407);
}

TEST_F(WebRequestServerTest, SelfSignedSiteAcceptedThroughTheMask) {
  int32_t status = 0;
  rt::ByteSet body = WebRequest(servers_->HttpsUrl("/final"), std::nullopt, std::nullopt, nullptr, nullptr,
                                nullptr, nullptr, &status);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.view(), "final");
}

// What ended a request, as the request object tells it: each kind of failure against a loopback
// server that shows it, and a response (of any status) as none.
class WebRequestFailureTest : public WebRequestServerTest {
 protected:
  struct Ended {
    RequestFailure failure = RequestFailure::kNone;
    int32_t status = -1;
  };
  static Ended Get(const std::string& url, int32_t timeoutSeconds = 0, const char* proxy = nullptr) {
    Ended e;
    PendingWebRequest r = StartWebRequest(
        url, std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, &e.status, std::nullopt,
        std::nullopt, proxy ? std::optional<kernel::TextRef>(proxy) : std::nullopt, timeoutSeconds);
    FinishWebRequest(r, &e.failure);
    return e;
  }
};

TEST_F(WebRequestFailureTest, EachFailureIsToldApartAndAResponseIsNone) {
  using testing_support::ScriptedServers;
  Ended e = Get(url("/status/503"));
  EXPECT_EQ(e.failure, RequestFailure::kNone);
  EXPECT_EQ(e.status, 503);
  EXPECT_EQ(Get(url("/status/200")).failure, RequestFailure::kNone);

  EXPECT_EQ(Get("ftp://127.0.0.1/").failure, RequestFailure::kBadAddress);
  EXPECT_EQ(Get("not an address").failure, RequestFailure::kBadAddress);
  EXPECT_EQ(Get("http://no-such-host.invalid/").failure, RequestFailure::kHostNotFound);
  e = Get(ScriptedServers::Url(servers_->closed, "/"));
  EXPECT_EQ(e.failure, RequestFailure::kConnectFailed);
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(Get(ScriptedServers::Url(servers_->garbage, "/", "https"), 5).failure,
            RequestFailure::kTlsFailed);

  // Each phase under a time-out of one second: the handshake, then the answer.
  EXPECT_EQ(Get(ScriptedServers::Url(servers_->silent, "/", "https"), 1).failure,
            RequestFailure::kConnectTimeout);
  EXPECT_EQ(Get(ScriptedServers::Url(servers_->silent, "/"), 1).failure, RequestFailure::kReceiveTimeout);
  EXPECT_EQ(Get(ScriptedServers::Url(servers_->cut, "/"), 5).failure, RequestFailure::kConnectionLost);

  // A proxy that refuses the tunnel (it wants credentials that are not given).
  const std::string refusing = ScriptedServers::Address(servers_->proxyAuth);
#if defined(_WIN32)
  // Wine ends a refused tunnel as a failed handshake, leaving no answer of the proxy's to tell it by.
  EXPECT_EQ(Get("https://www.example.invalid/", 5, refusing.c_str()).failure, RequestFailure::kTlsFailed);
#else
  EXPECT_EQ(Get("https://www.example.invalid/", 5, refusing.c_str()).failure, RequestFailure::kProxyFailed);
#endif
  // And one that is not there at all.
  const std::string gone = ScriptedServers::Address(servers_->closed);
  EXPECT_EQ(Get("https://www.example.invalid/", 5, gone.c_str()).failure, RequestFailure::kProxyFailed);
}

#if !defined(_WIN32)
// The user's login as Netscape lines: the cookie store adds each cookie where its domain, path
// and expiry allow, in one Cookie line with the request's own; never on a redirect to another
// host, never once expired, and without lines the request is what it always was. (Every hop's
// Cookie line is recorded: servers in this process.)
TEST_F(WebRequestFailureTest, LoginCookieLinesGoOnlyWhereTheyBelong) {
  std::vector<std::string> seen;  // "path|Cookie" of every request
  std::mutex mutex;
  testing_support::LocalServer other;
  other->Get("/landing", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back("other|" + req.get_header_value("Cookie"));
    res.set_content("other", "text/plain");
  });
  other.Start();
  // The same loopback server under another name: a host the cookies do not belong to.
  std::string otherUrl = other.url("/landing");
  otherUrl.replace(otherUrl.find("127.0.0.1"), 9, "localhost");
  testing_support::LocalServer site;
  site->Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      seen.push_back(req.path + "|" + req.get_header_value("Cookie"));
    }
    if (req.path == "/away") {
      res.set_redirect(otherUrl);
      return;
    }
    res.set_content("site", "text/plain");
  });
  site.Start();
  const std::string lines =
      "127.0.0.1\tFALSE\t/\tFALSE\t0\tz_c0\tlogin\n"
      "127.0.0.1\tFALSE\t/api\tFALSE\t4102444800\td_c0\tapi-only\n"
      "127.0.0.1\tFALSE\t/\tFALSE\t1000000000\told\texpired\n";
  auto get = [&](const std::string& url, rt::Text* cookies, bool login) {
    PendingWebRequest r = StartWebRequest(
        url, std::nullopt, std::nullopt, cookies, nullptr, nullptr, nullptr, nullptr, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr,
        std::nullopt, std::nullopt, login ? std::optional<kernel::TextRef>(lines) : std::nullopt);
    return std::string(FinishWebRequest(r).view());
  };
  rt::Text own("own=1");
  EXPECT_EQ(get(site.url("/page"), &own, true), "site");
  EXPECT_EQ(get(site.url("/api/v4/videos/1"), nullptr, true), "site");
  EXPECT_EQ(get(site.url("/away"), nullptr, true), "other");
  EXPECT_EQ(get(site.url("/plain"), nullptr, false), "site");
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], "/page|z_c0=login; own=1");
  EXPECT_EQ(seen[1], "/api/v4/videos/1|d_c0=api-only; z_c0=login");
  EXPECT_EQ(seen[2], "/away|z_c0=login");
  EXPECT_EQ(seen[3], "other|");
  EXPECT_EQ(seen[4], "/plain|");
}
#endif

}  // namespace
}  // namespace net
