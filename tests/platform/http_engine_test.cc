// The request engine against the scripted test servers (tests/support/scripted_servers.h),
// which both builds reach: in the test's process on Linux, beside it on Windows.
#include "platform/http/http_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/http/response_sink.h"
#include "tests/support/scripted_servers.h"
#if !defined(_WIN32)
#include "tests/support/local_servers.h"
#endif

namespace platform::http {
namespace {

using testing_support::EchoedRequest;
using testing_support::ScriptedServers;
using Clock = std::chrono::steady_clock;

// What the server saw of the request whose response the engine holds.
EchoedRequest Seen(const HttpEngine& e) {
  return EchoedRequest::Decode(e.ResponseHeader("X-Echo").value_or(""));
}

class HttpEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    servers_ = testing_support::TestServers();
    if (servers_ == nullptr) GTEST_SKIP() << "no test servers: start test-servers and set WL_TEST_SERVERS";
  }
  std::string url(const std::string& path) const { return servers_->HttpUrl(path); }
  std::string secureUrl(const std::string& path) const { return servers_->HttpsUrl(path); }
  const ScriptedServers* servers_ = nullptr;
};

TEST_F(HttpEngineTest, SendsHeadersAsSetAndReadsTheResponse) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  EXPECT_TRUE(e.SetRequestHeader("X-Token", "first"));
  EXPECT_TRUE(e.SetRequestHeader("x-token", "second"));  // replaces, whatever the case
  EXPECT_TRUE(e.SetRequestHeader("User-Agent", "UA/1"));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EchoedRequest seen = Seen(e);
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.Count("X-Token"), 1u);
  EXPECT_EQ(seen.Header("X-Token"), "second");
  EXPECT_EQ(seen.Header("User-Agent"), "UA/1");
  EXPECT_EQ(seen.Count("Accept"), 0u);  // nothing the caller did not ask for
  EXPECT_EQ(e.status(), 200);
  EXPECT_EQ(e.statusText(), "OK");
  EXPECT_EQ(e.body(), "body:");
  std::string all = e.AllResponseHeaders();
  EXPECT_NE(all.find("X-Reply: yes\r\n"), std::string::npos) << all;
  EXPECT_NE(all.find("Content-Type: text/plain\r\n"), std::string::npos);
  EXPECT_EQ(all.find("HTTP/1.1"), std::string::npos);  // no status line
  EXPECT_EQ(all.substr(all.size() - 4), "\r\n\r\n");
  EXPECT_EQ(e.ResponseHeader("x-reply").value_or("-"), "yes");
  EXPECT_FALSE(e.ResponseHeader("X-Missing").has_value());

  ASSERT_TRUE(e.Open("GET", url("/status/204")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.status(), 204);
  EXPECT_EQ(e.statusText(), "No Content");
}

#if !defined(_WIN32)
// The scripted servers' parser drops an empty header line: the raw bytes need a server here.
TEST(HttpEngineRawTest, EmptyValueIsSentAsAnEmptyHeader) {
  testing_support::RawServer raw("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", raw.url("/")));
  ASSERT_TRUE(e.SetRequestHeader("X-Empty", ""));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.status(), 204);
  ASSERT_EQ(raw.heads().size(), 1u);
  EXPECT_NE((raw.heads()[0] + "\r\n").find("\r\nX-Empty:\r\n"), std::string::npos) << raw.heads()[0];
}
#endif

TEST_F(HttpEngineTest, BodiesMethodsAndHead) {
  HttpEngine e;
  const std::string bytes("a\0b\xFF", 4);
  ASSERT_TRUE(e.Open("POST", url("/echo")));
  ASSERT_TRUE(e.Send(bytes)) << e.lastError();
  EXPECT_EQ(Seen(e).method, "POST");
  EXPECT_EQ(Seen(e).Count("Content-Type"), 0u);  // no form type added behind the caller's back
  EXPECT_EQ(Seen(e).Count("Expect"), 0u);
  EXPECT_EQ(e.body(), "body:" + bytes);

  ASSERT_TRUE(e.Open("PUT", url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Content-Type", "text/plain"));
  ASSERT_TRUE(e.Send("text"));
  EXPECT_EQ(Seen(e).method, "PUT");
  EXPECT_EQ(e.body(), "body:text");
  EXPECT_EQ(Seen(e).Header("Content-Type"), "text/plain");

  ASSERT_TRUE(e.Open("HEAD", url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.status(), 200);
  EXPECT_TRUE(e.body().empty());
  EXPECT_NE(e.AllResponseHeaders().find("Content-Length"), std::string::npos);

  // Nothing of one request's method or body carries over to the next on the same engine.
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).method, "GET");
  EXPECT_EQ(e.body(), "body:");
}

TEST_F(HttpEngineTest, RedirectsFollowedOrNotAndOnlyTheFinalResponseIsKept) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", url("/redirect")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.status(), 200);
  EXPECT_EQ(e.body(), "final");
  std::string all = e.AllResponseHeaders();
  EXPECT_NE(all.find("Set-Cookie: f=2\r\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("Set-Cookie: r=1"), std::string::npos) << all;
  EXPECT_EQ(Seen(e).Header("Cookie"), "r=1");  // the object's own cookie state, across the hop

  HttpEngine n;
  n.SetFollowRedirects(false);
  ASSERT_TRUE(n.Open("GET", url("/redirect")));
  ASSERT_TRUE(n.Send(""));
  EXPECT_EQ(n.status(), 302);
  EXPECT_EQ(n.ResponseHeader("Location").value_or(""), "/final");

  // Only http and https are followed.
  ASSERT_TRUE(e.Open("GET", url("/to-file")));
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(e.status(), 0);
  EXPECT_TRUE(e.body().empty());
  EXPECT_EQ(e.failure(), RequestFailure::kOther);
}

TEST_F(HttpEngineTest, OneCookieLineWithTheCallersCookiesAndThoseOfTheRedirectChain) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", url("/redirect")));  // sets r=1, then /final
  ASSERT_TRUE(e.SetRequestHeader("Cookie", "c=9"));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(Seen(e).path, "/final");
  EXPECT_EQ(Seen(e).Count("Cookie"), 1u);
  EXPECT_EQ(Seen(e).Header("Cookie"), "r=1; c=9");
  // The same engine again: the cookies its responses set and the caller's, in one line.
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Cookie", "c=10"));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).Count("Cookie"), 1u);
  EXPECT_EQ(Seen(e).Header("Cookie"), "f=2; r=1; c=10");
  // A request of its own without a Cookie header sends the stored ones only.
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).Count("Cookie"), 1u);
  EXPECT_EQ(Seen(e).Header("Cookie"), "f=2; r=1");
}

TEST_F(HttpEngineTest, UserAgentAndTheAddressAfterRedirects) {
  HttpEngine e;
  e.SetUserAgent("Agent/2");
  ASSERT_TRUE(e.Open("GET", url("/redirect")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).Header("User-Agent"), "Agent/2");
  EXPECT_EQ(e.effectiveUrl(), url("/final"));
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("User-Agent", "Own/1"));  // the request's own line wins
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).Header("User-Agent"), "Own/1");
  EXPECT_EQ(e.effectiveUrl(), url("/echo"));
}

TEST_F(HttpEngineTest, EachSendGoesToTheAddressItsOpenGave) {
  auto first = std::make_unique<HttpEngine>();
  for (const char* path : {"/p1", "/p2?q=1"}) {
    ASSERT_TRUE(first->Open("GET", url(path)));
    ASSERT_TRUE(first->Send(""));
    EXPECT_EQ(Seen(*first).path, std::string(path).substr(0, 3));
  }
  // A refused address leaves nothing of the one before to send.
  EXPECT_FALSE(first->Open("GET", url("/p3") + "\r\nX: y"));
  EXPECT_FALSE(first->Send(""));
  EXPECT_FALSE(first->hasResponse());
  EXPECT_EQ(first->failure(), RequestFailure::kBadAddress);
  // An engine on the ended one's transfer handle sends to its own address.
  first.reset();
  HttpEngine second;
  ASSERT_TRUE(second.Open("GET", url("/p4")));
  ASSERT_TRUE(second.Send(""));
  EXPECT_EQ(Seen(second).path, "/p4");
}

TEST_F(HttpEngineTest, CookieStateIsPerObjectWhileConnectionsAreShared) {
  auto a = std::make_unique<HttpEngine>();
  HttpEngine b;
  ASSERT_TRUE(a->Open("GET", url("/set-cookie")));
  ASSERT_TRUE(a->Send(""));
  ASSERT_TRUE(b.Open("GET", url("/echo")));
  ASSERT_TRUE(b.Send(""));
  EXPECT_EQ(Seen(b).Count("Cookie"), 0u);
  ASSERT_TRUE(a->Open("GET", url("/echo")));
  ASSERT_TRUE(a->Send(""));
  EXPECT_EQ(Seen(*a).Header("Cookie"), "s=1");
  // b's and a's second requests came over one connection from the process-wide cache.
  EXPECT_NE(Seen(b).remotePort, 0);
  EXPECT_EQ(Seen(b).remotePort, Seen(*a).remotePort);
  // Engines made after a's end (one of them on a's recycled transfer handle) have no cookies.
  a.reset();
  HttpEngine c, d;
  for (HttpEngine* e : {&c, &d}) {
    ASSERT_TRUE(e->Open("GET", url("/echo")));
    ASSERT_TRUE(e->Send(""));
    EXPECT_EQ(Seen(*e).Count("Cookie"), 0u);
  }
}

TEST_F(HttpEngineTest, RefusesUnsafeAddressesAndHeaders) {
  HttpEngine e;
  EXPECT_FALSE(e.Open("GET", url("/echo\r\nX-Injected: 1")));
  EXPECT_FALSE(e.opened());
  EXPECT_FALSE(e.SetRequestHeader("A", "b"));
  EXPECT_FALSE(e.Send(""));
  EXPECT_FALSE(e.hasResponse());
  EXPECT_FALSE(e.Open("GET", url("/echo\x7F")));
  EXPECT_FALSE(e.Open("GET", std::string("http://127.0.0.1/\0x", 19)));
  EXPECT_FALSE(e.Open("GET", "file:///etc/hostname"));
  EXPECT_FALSE(e.Open("GET", "ftp://127.0.0.1/"));
  EXPECT_EQ(e.failure(), RequestFailure::kBadAddress);
  EXPECT_FALSE(e.Open("GET", "not an address"));
  EXPECT_FALSE(e.Open("G ET", url("/echo")));

  ASSERT_TRUE(e.Open("GET", url("/echo")));
  EXPECT_EQ(e.failure(), RequestFailure::kNone);
  EXPECT_FALSE(e.SetRequestHeader("", "v"));
  EXPECT_FALSE(e.SetRequestHeader("Bad Name", "v"));
  EXPECT_FALSE(e.SetRequestHeader("Bad:Name", "v"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", "v\r\nX-Injected: 1"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", "v\nX"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", std::string("v\0x", 3)));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(Seen(e).Count("X-Injected"), 0u);
  EXPECT_EQ(Seen(e).Count("X-A"), 0u);
}

TEST_F(HttpEngineTest, NonAsciiAddressBytesArePercentEncodedUtf8) {
  EXPECT_EQ(HttpEngine::EncodeAddress("http://h/\xE4\xB8\xAD a?q=\xC3\xA9"),
            "http://h/%E4%B8%AD%20a?q=%C3%A9");
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", url("/p\xE4\xB8\xAD")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(Seen(e).path, "/p\xE4\xB8\xAD");  // the server decodes it back to the same bytes
}

TEST_F(HttpEngineTest, ReceiveTimeOutMeansNoProgressNotTheWholeTransfer) {
  HttpEngine e;
  e.SetTimeouts(1000, 1000, 1000, 700);
  ASSERT_TRUE(e.Open("GET", url("/trickle")));
  ASSERT_TRUE(e.Send("")) << e.lastError();  // 1.8 s in all, never 700 ms without a byte
  EXPECT_EQ(e.body(), "xxxxxx");

  ASSERT_TRUE(e.Open("GET", url("/stall")));
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(e.Send(""));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2900));
  EXPECT_EQ(e.failure(), RequestFailure::kReceiveTimeout);
  EXPECT_EQ(e.status(), 0);
  EXPECT_TRUE(e.body().empty());
  EXPECT_TRUE(e.AllResponseHeaders().empty());  // nothing of the earlier response is left
  EXPECT_EQ(e.statusText(), "");
}

// Each kind of failure against a server that shows it, in each phase where it can happen.
TEST_F(HttpEngineTest, EachFailureIsToldApartAndLeavesNoResponse) {
  auto get = [](const std::string& address, int timeoutMs, const std::string& body = "",
                const std::string& proxy = "") {
    HttpEngine e;
    e.SetTimeouts(timeoutMs, timeoutMs, timeoutMs, timeoutMs);
    if (!proxy.empty()) e.SetNamedProxy(proxy);
    if (!e.Open(body.empty() ? "GET" : "POST", address)) return e.failure();
    e.Send(body);
    if (e.hasResponse()) return RequestFailure::kNone;
    EXPECT_EQ(e.status(), 0);
    EXPECT_TRUE(e.AllResponseHeaders().empty());
    return e.failure();
  };
  EXPECT_EQ(get(url("/status/503"), 5000), RequestFailure::kNone);  // a response, whatever its status
  EXPECT_EQ(get("ftp://127.0.0.1/", 5000), RequestFailure::kBadAddress);
  EXPECT_EQ(get("http://no-such-host.invalid/", 5000), RequestFailure::kHostNotFound);
  EXPECT_EQ(get(ScriptedServers::Url(servers_->closed, "/"), 5000), RequestFailure::kConnectFailed);
  EXPECT_EQ(get(ScriptedServers::Url(servers_->garbage, "/", "https"), 5000), RequestFailure::kTlsFailed);
  EXPECT_EQ(get(ScriptedServers::Url(servers_->cut, "/"), 5000), RequestFailure::kConnectionLost);
  // A silent server: the handshake never ends, the answer never comes, a large body stops going out.
  EXPECT_EQ(get(ScriptedServers::Url(servers_->silent, "/", "https"), 700), RequestFailure::kConnectTimeout);
  EXPECT_EQ(get(ScriptedServers::Url(servers_->silent, "/"), 700), RequestFailure::kReceiveTimeout);
  EXPECT_EQ(get(ScriptedServers::Url(servers_->silent, "/"), 700, std::string(32 << 20, 'b')),
            RequestFailure::kSendTimeout);
  // A proxy that refuses the tunnel (it wants credentials that are not given), and one not there.
#if defined(_WIN32)
  // Wine ends a refused tunnel as a failed handshake (error 12157), leaving no answer of the
  // proxy's to tell it by.
  const RequestFailure refusedTunnel = RequestFailure::kTlsFailed;
#else
  const RequestFailure refusedTunnel = RequestFailure::kProxyFailed;
#endif
  EXPECT_EQ(get(secureUrl("/echo"), 5000, "", ScriptedServers::Address(servers_->proxyAuth)), refusedTunnel);
  EXPECT_EQ(get(secureUrl("/echo"), 5000, "", ScriptedServers::Address(servers_->closed)),
            RequestFailure::kProxyFailed);
}

TEST_F(HttpEngineTest, AtMostSixConnectionsToOneHostAndTheRestWait) {
  // A key of this run's own: other test processes share the server.
  std::string key = std::to_string(Clock::now().time_since_epoch().count());
  std::vector<std::unique_ptr<HttpEngine>> engines;
  for (int i = 0; i < 10; ++i) {
    engines.push_back(std::make_unique<HttpEngine>());
    ASSERT_TRUE(engines.back()->Open("GET", url("/slow?key=" + key)));
    ASSERT_TRUE(engines.back()->Start(""));
  }
  for (auto& e : engines) {
    ASSERT_TRUE(e->Wait(10000));
    EXPECT_EQ(e->body(), "done");
  }
  HttpEngine most;
  ASSERT_TRUE(most.Open("GET", url("/most?key=" + key)));
  ASSERT_TRUE(most.Send(""));
  EXPECT_EQ(most.body(), "6");
}

TEST_F(HttpEngineTest, EachHopConnectsUnderTheConnectTimeOut) {
  // The second hop's connection takes 800 ms: within the connect limit, over the receive one.
  HttpEngine e;
  e.SetTimeouts(0, 5000, 5000, 300);
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(
      e.Open("GET", url("/redirect-to?to=" + ScriptedServers::Url(servers_->slowTls, "/final", "https"))));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "final");
}

TEST_F(HttpEngineTest, RedirectsFromHttpsToHttpOnlyWhenAllowed) {
  const std::string down = secureUrl("/redirect-to?to=" + url("/final"));
  HttpEngine e;
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  EXPECT_FALSE(e.allowHttpsToHttpRedirects());
  ASSERT_TRUE(e.Open("GET", down));
  EXPECT_FALSE(e.Send(""));  // refused, as the platform's object refuses it
  EXPECT_EQ(e.status(), 0);
  EXPECT_EQ(e.failure(), RequestFailure::kOther);
  e.SetAllowHttpsToHttpRedirects(true);
  ASSERT_TRUE(e.Open("GET", down));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "final");
  // An https address that stays on https is followed either way.
  e.SetAllowHttpsToHttpRedirects(false);
  ASSERT_TRUE(e.Open("GET", secureUrl("/redirect-to?to=" + secureUrl("/final"))));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "final");
}

TEST_F(HttpEngineTest, RedirectChainsEndAtTheLimit) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", url("/hops/10")));  // ten redirects: followed
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "final");
  ASSERT_TRUE(e.Open("GET", url("/hops/11")));  // one more: refused
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(e.failure(), RequestFailure::kOther);
}

// Records each end notification: on which thread it came, and what the sink had by then.
struct EndRecord {
  std::mutex mu;
  std::vector<std::thread::id> threads;
  std::vector<size_t> bodyBytes;
};

class CountingSink : public ResponseSink {
 public:
  bool OnResponse(int32_t, const std::vector<std::string>&) override { return true; }
  bool OnBody(std::string_view bytes) override {
    bytes_ += bytes.size();
    return true;
  }
  size_t bytes() const { return bytes_; }

 private:
  std::atomic<size_t> bytes_{0};
};

TEST_F(HttpEngineTest, EveryStartedRequestTellsItsEndOnceOnTheLoopsThreadAfterItsSink) {
  auto record = std::make_shared<EndRecord>();
  auto sink = std::make_shared<CountingSink>();
  auto wait = [&](size_t n) {
    for (int i = 0; i < 300; ++i) {
      {
        std::lock_guard<std::mutex> lock(record->mu);
        if (record->threads.size() >= n) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  {
    HttpEngine e;
    e.SetTimeouts(1000, 1000, 1000, 1000);
    e.SetResponseSink(sink);
    e.SetOnEnded([record, sink] {
      std::lock_guard<std::mutex> lock(record->mu);
      record->threads.push_back(std::this_thread::get_id());
      record->bodyBytes.push_back(sink->bytes());
    });
    // Complete.
    ASSERT_TRUE(e.Open("GET", url("/final")));
    ASSERT_TRUE(e.Send(""));
    ASSERT_TRUE(wait(1));
    // Failed: nothing listens there.
    ASSERT_TRUE(e.Open("GET", ScriptedServers::Url(servers_->closed, "/")));
    EXPECT_FALSE(e.Send(""));
    ASSERT_TRUE(wait(2));
    // Aborted, and then the engine is gone before the loop has let the transfer go.
    ASSERT_TRUE(e.Open("GET", url("/stall")));
    ASSERT_TRUE(e.Start(""));
    e.Abort();
  }
  ASSERT_TRUE(wait(3));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::lock_guard<std::mutex> lock(record->mu);
  ASSERT_EQ(record->threads.size(), 3u);  // once each, never twice
  for (std::thread::id id : record->threads) EXPECT_NE(id, std::this_thread::get_id());
  EXPECT_EQ(record->bodyBytes[0], 5u);  // "final": the sink had the whole body first
}

TEST_F(HttpEngineTest, SelfSignedCertificateAcceptedOnlyUnderTheMask) {
  HttpEngine strict;
  strict.SetTimeouts(2000, 2000, 2000, 2000);
  ASSERT_TRUE(strict.Open("GET", secureUrl("/final")));
  EXPECT_FALSE(strict.Send(""));
  EXPECT_EQ(strict.status(), 0);
  EXPECT_EQ(strict.failure(), RequestFailure::kTlsFailed);

  HttpEngine partial;  // one flag alone never loosens the chain check
  partial.SetCertificateErrorMask(kIgnoreCertDateInvalid);
  ASSERT_TRUE(partial.Open("GET", secureUrl("/final")));
  EXPECT_FALSE(partial.Send(""));

  HttpEngine relaxed;
  relaxed.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(relaxed.Open("GET", secureUrl("/final")));
  ASSERT_TRUE(relaxed.Send("")) << relaxed.lastError();
  EXPECT_EQ(relaxed.status(), 200);
  EXPECT_EQ(relaxed.body(), "final");
}

// Sets an environment variable and restores it on scope exit.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = getenv(name);
    if (old) old_ = old, had_ = true;
    Set(value);
  }
  ~ScopedEnv() { Set(had_ ? old_ : std::string()); }

 private:
  void Set(const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name_, value.c_str());  // an empty value removes it
#else
    if (value.empty() && !had_) {
      unsetenv(name_);
    } else {
      setenv(name_, value.c_str(), 1);
    }
#endif
  }
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class HttpEngineProxyTest : public HttpEngineTest {
 protected:
  static constexpr char kAuth[] = "Basic dTpw";  // "u:p"
};

TEST_F(HttpEngineProxyTest, NamedProxyGetsTheCredentialsAndNoProxyDoesNotBypassIt) {
  ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");
  HttpEngine e;
  ASSERT_TRUE(e.SetNamedProxy(ScriptedServers::Address(servers_->proxyAuth)));
  ASSERT_TRUE(e.Open("GET", url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.status(), 200);  // the proxy let it through: it had the credentials
  EXPECT_EQ(Seen(e).Header("Via"), "test-proxy");
  EXPECT_EQ(Seen(e).Count("Proxy-Authorization"), 0u);

  HttpEngine noCredentials;
  ASSERT_TRUE(noCredentials.SetNamedProxy(ScriptedServers::Address(servers_->proxyAuth)));
  ASSERT_TRUE(noCredentials.Open("GET", url("/echo")));
  ASSERT_TRUE(noCredentials.Send(""));
  EXPECT_EQ(noCredentials.status(), 407);
}

TEST_F(HttpEngineProxyTest, CredentialsNeverReachTheSiteBehindATunnel) {
#if defined(_WIN32)
  // Wine's WinHTTP never answers a proxy's request for a tunnel's credentials: the tunnel goes
  // through the proxy that wants none, with the credentials given all the same.
  const int proxy = servers_->proxyOpen;
#else
  const int proxy = servers_->proxyAuth;
#endif
  HttpEngine e;
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(e.SetNamedProxy(ScriptedServers::Address(proxy)));
  ASSERT_TRUE(e.Open("GET", secureUrl("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "body:") << e.status() << " " << e.AllResponseHeaders();
  EXPECT_EQ(Seen(e).Count("Proxy-Authorization"), 0u);
  EXPECT_EQ(Seen(e).Count("Via"), 0u);  // tunnelled, not forwarded
  EXPECT_EQ(e.AllResponseHeaders().find("Connection established"), std::string::npos);
}

TEST_F(HttpEngineProxyTest, EnvironmentProxyHonouredUnlessDirect) {
  ScopedEnv httpProxy("http_proxy", "http://" + ScriptedServers::Address(servers_->proxyAuth));
  ScopedEnv noProxy("no_proxy", "");
  HttpEngine viaEnvironment;
  ASSERT_TRUE(viaEnvironment.Open("GET", url("/echo")));
  ASSERT_TRUE(viaEnvironment.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(viaEnvironment.Send(""));
  EXPECT_EQ(viaEnvironment.status(), 200);
  EXPECT_EQ(Seen(viaEnvironment).Header("Via"), "test-proxy");

  HttpEngine direct;
  direct.SetDirect();
  ASSERT_TRUE(direct.Open("GET", url("/echo")));
  ASSERT_TRUE(direct.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(direct.Send(""));
  EXPECT_EQ(direct.status(), 200);
  EXPECT_EQ(Seen(direct).Count("Via"), 0u);
  EXPECT_EQ(Seen(direct).Count("Proxy-Authorization"), 0u);  // never to the site itself
}

TEST(HttpEngineProxySettingTest, ProxyListsAndRefusals) {
  HttpEngine e;
  EXPECT_FALSE(e.SetNamedProxy(""));
  EXPECT_FALSE(e.SetNamedProxy("a\r\nb:1"));
  EXPECT_EQ(e.proxyMode(), ProxyMode::kEnvironment);
  EXPECT_TRUE(e.SetNamedProxy("http=127.0.0.1:1;https=127.0.0.1:2", "a;b"));
  EXPECT_EQ(e.proxyMode(), ProxyMode::kNamed);
}

}  // namespace
}  // namespace platform::http
