#include "platform/http/http_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/http/transfer_loop.h"
#include "tests/support/fault_server.h"
#include "tests/support/local_servers.h"

namespace platform::http {
namespace {

using testing_support::LocalProxy;
using testing_support::LocalServer;
using Clock = std::chrono::steady_clock;

// What the server saw of the last request.
struct Seen {
  std::mutex mu;
  httplib::Headers headers;
  std::string method, path, body;
  std::vector<int> remotePorts;
  int count = 0;

  void Record(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(mu);
    headers = req.headers;
    method = req.method;
    path = req.path;
    body = req.body;
    remotePorts.push_back(req.remote_port);
    ++count;
  }
  size_t HeaderCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(mu);
    return headers.count(name);
  }
  std::string Header(const std::string& name) {
    std::lock_guard<std::mutex> lock(mu);
    auto it = headers.find(name);
    return it == headers.end() ? std::string("<none>") : it->second;
  }
};

void AddRoutes(LocalServer& server, Seen& seen) {
  auto echo = [&seen](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_header("X-Reply", "yes");
    res.set_content("body:" + req.body, "text/plain");
  };
  server->Get("/echo", echo);
  server->Post("/echo", echo);
  server->Put("/echo", echo);
  server->Get(R"(/p.*)", echo);
  server->Get("/redirect", [&seen](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_header("Set-Cookie", "r=1; Path=/");
    res.set_redirect("/final", 302);
  });
  server->Get("/final", [&seen](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_header("Set-Cookie", "f=2");
    res.set_content("final", "text/plain");
  });
  server->Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/hostname", 302);
  });
  server->Get("/set-cookie", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "s=1");
    res.set_content("ok", "text/plain");
  });
  server->Get("/stall", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    res.set_content("late", "text/plain");
  });
  // Six pieces, 300 ms apart: slower in total than the receive time-out, never idle as long.
  server->Get("/trickle", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= 6) {
        sink.done();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sink.write("x", 1);
      return true;
    });
  });
}

class HttpEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddRoutes(server_, seen_);
    server_.Start();
  }
  LocalServer server_;
  Seen seen_;
};

TEST_F(HttpEngineTest, SendsHeadersAsSetAndReadsTheResponse) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  EXPECT_TRUE(e.SetRequestHeader("X-Token", "first"));
  EXPECT_TRUE(e.SetRequestHeader("x-token", "second"));  // replaces, whatever the case
  EXPECT_TRUE(e.SetRequestHeader("User-Agent", "UA/1"));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(seen_.method, "GET");
  EXPECT_EQ(seen_.HeaderCount("X-Token"), 1u);
  EXPECT_EQ(seen_.Header("X-Token"), "second");
  EXPECT_EQ(seen_.Header("User-Agent"), "UA/1");
  EXPECT_EQ(seen_.HeaderCount("Accept"), 0u);  // nothing the caller did not ask for
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
}

TEST(HttpEngineRawTest, EmptyValueIsSentAsAnEmptyHeader) {
  testing_support::RawServer raw("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", raw.url("/")));
  ASSERT_TRUE(e.SetRequestHeader("X-Empty", ""));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.status(), 204);
  EXPECT_EQ(e.statusText(), "No Content");
  ASSERT_EQ(raw.heads().size(), 1u);
  EXPECT_NE((raw.heads()[0] + "\r\n").find("\r\nX-Empty:\r\n"), std::string::npos) << raw.heads()[0];
}

TEST_F(HttpEngineTest, BodiesMethodsAndHead) {
  HttpEngine e;
  const std::string bytes("a\0b\xFF", 4);
  ASSERT_TRUE(e.Open("POST", server_.url("/echo")));
  ASSERT_TRUE(e.Send(bytes));
  EXPECT_EQ(seen_.method, "POST");
  EXPECT_EQ(seen_.body, bytes);
  EXPECT_EQ(seen_.HeaderCount("Content-Type"), 0u);  // no form type added behind the caller's back
  EXPECT_EQ(seen_.HeaderCount("Expect"), 0u);
  EXPECT_EQ(e.body(), "body:" + bytes);

  ASSERT_TRUE(e.Open("PUT", server_.url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Content-Type", "text/plain"));
  ASSERT_TRUE(e.Send("text"));
  EXPECT_EQ(seen_.method, "PUT");
  EXPECT_EQ(seen_.body, "text");
  EXPECT_EQ(seen_.Header("Content-Type"), "text/plain");

  ASSERT_TRUE(e.Open("HEAD", server_.url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.status(), 200);
  EXPECT_TRUE(e.body().empty());
  EXPECT_NE(e.AllResponseHeaders().find("Content-Length"), std::string::npos);

  // Nothing of one request's method or body carries over to the next on the same engine.
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.method, "GET");
  EXPECT_EQ(seen_.body, "");
  EXPECT_EQ(e.body(), "body:");
}

TEST_F(HttpEngineTest, RedirectsFollowedOrNotAndOnlyTheFinalResponseIsKept) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", server_.url("/redirect")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.status(), 200);
  EXPECT_EQ(e.body(), "final");
  std::string all = e.AllResponseHeaders();
  EXPECT_NE(all.find("Set-Cookie: f=2\r\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("r=1"), std::string::npos) << all;
  EXPECT_EQ(seen_.Header("Cookie"), "r=1");  // the object's own cookie state, across the hop

  HttpEngine n;
  n.SetFollowRedirects(false);
  ASSERT_TRUE(n.Open("GET", server_.url("/redirect")));
  ASSERT_TRUE(n.Send(""));
  EXPECT_EQ(n.status(), 302);
  EXPECT_EQ(n.ResponseHeader("Location").value_or(""), "/final");

  // Only http and https are followed.
  ASSERT_TRUE(e.Open("GET", server_.url("/to-file")));
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(e.status(), 0);
  EXPECT_TRUE(e.body().empty());
}

TEST_F(HttpEngineTest, OneCookieLineWithTheCallersCookiesAndThoseOfTheRedirectChain) {
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", server_.url("/redirect")));  // sets r=1, then /final
  ASSERT_TRUE(e.SetRequestHeader("Cookie", "c=9"));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(seen_.path, "/final");
  EXPECT_EQ(seen_.HeaderCount("Cookie"), 1u);
  EXPECT_EQ(seen_.Header("Cookie"), "r=1; c=9");
  // The same engine again: the cookies its responses set and the caller's, in one line.
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Cookie", "c=10"));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.HeaderCount("Cookie"), 1u);
  EXPECT_EQ(seen_.Header("Cookie"), "f=2; r=1; c=10");
  // A request of its own without a Cookie header sends the stored ones only.
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.HeaderCount("Cookie"), 1u);
  EXPECT_EQ(seen_.Header("Cookie"), "f=2; r=1");
}

TEST_F(HttpEngineTest, UserAgentAndTheAddressAfterRedirects) {
  HttpEngine e;
  e.SetUserAgent("Agent/2");
  ASSERT_TRUE(e.Open("GET", server_.url("/redirect")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.Header("User-Agent"), "Agent/2");
  EXPECT_EQ(e.effectiveUrl(), server_.url("/final"));
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("User-Agent", "Own/1"));  // the request's own line wins
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.Header("User-Agent"), "Own/1");
  EXPECT_EQ(e.effectiveUrl(), server_.url("/echo"));
}

TEST_F(HttpEngineTest, EachSendGoesToTheAddressItsOpenGave) {
  auto first = std::make_unique<HttpEngine>();
  for (const char* path : {"/p1", "/p2?q=1"}) {
    ASSERT_TRUE(first->Open("GET", server_.url(path)));
    ASSERT_TRUE(first->Send(""));
    EXPECT_EQ(seen_.path, std::string(path).substr(0, 3));
  }
  // A refused address leaves nothing of the one before to send.
  int before = seen_.count;
  EXPECT_FALSE(first->Open("GET", server_.url("/p3") + "\r\nX: y"));
  EXPECT_FALSE(first->Send(""));
  EXPECT_EQ(seen_.count, before);
  // An engine on the ended one's transfer handle sends to its own address.
  first.reset();
  HttpEngine second;
  ASSERT_TRUE(second.Open("GET", server_.url("/p4")));
  ASSERT_TRUE(second.Send(""));
  EXPECT_EQ(seen_.path, "/p4");
}

TEST_F(HttpEngineTest, CookieStateIsPerObjectWhileConnectionsAreShared) {
  auto a = std::make_unique<HttpEngine>();
  HttpEngine b;
  ASSERT_TRUE(a->Open("GET", server_.url("/set-cookie")));
  ASSERT_TRUE(a->Send(""));
  ASSERT_TRUE(b.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(b.Send(""));
  EXPECT_EQ(seen_.HeaderCount("Cookie"), 0u);
  ASSERT_TRUE(a->Open("GET", server_.url("/echo")));
  ASSERT_TRUE(a->Send(""));
  EXPECT_EQ(seen_.Header("Cookie"), "s=1");
  {
    // b's and a's second requests came over one connection from the process-wide cache.
    std::lock_guard<std::mutex> lock(seen_.mu);
    ASSERT_EQ(seen_.remotePorts.size(), 2u);
    EXPECT_EQ(seen_.remotePorts[0], seen_.remotePorts[1]);
  }
  // Engines made after a's end (one of them on a's recycled transfer handle) have no cookies.
  a.reset();
  HttpEngine c, d;
  for (HttpEngine* e : {&c, &d}) {
    ASSERT_TRUE(e->Open("GET", server_.url("/echo")));
    ASSERT_TRUE(e->Send(""));
    EXPECT_EQ(seen_.HeaderCount("Cookie"), 0u);
  }
}

TEST_F(HttpEngineTest, RefusesUnsafeAddressesAndHeaders) {
  HttpEngine e;
  EXPECT_FALSE(e.Open("GET", server_.url("/echo\r\nX-Injected: 1")));
  EXPECT_FALSE(e.opened());
  EXPECT_FALSE(e.SetRequestHeader("A", "b"));
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(seen_.count, 0);
  EXPECT_FALSE(e.Open("GET", server_.url("/echo\x7F")));
  EXPECT_FALSE(e.Open("GET", std::string("http://127.0.0.1/\0x", 19)));
  EXPECT_FALSE(e.Open("GET", "file:///etc/hostname"));
  EXPECT_FALSE(e.Open("GET", "ftp://127.0.0.1/"));
  EXPECT_FALSE(e.Open("GET", "not an address"));
  EXPECT_FALSE(e.Open("G ET", server_.url("/echo")));

  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  EXPECT_FALSE(e.SetRequestHeader("", "v"));
  EXPECT_FALSE(e.SetRequestHeader("Bad Name", "v"));
  EXPECT_FALSE(e.SetRequestHeader("Bad:Name", "v"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", "v\r\nX-Injected: 1"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", "v\nX"));
  EXPECT_FALSE(e.SetRequestHeader("X-A", std::string("v\0x", 3)));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(seen_.HeaderCount("X-Injected"), 0u);
  EXPECT_EQ(seen_.HeaderCount("X-A"), 0u);
}

TEST_F(HttpEngineTest, NonAsciiAddressBytesArePercentEncodedUtf8) {
  EXPECT_EQ(HttpEngine::EncodeAddress("http://h/\xE4\xB8\xAD a?q=\xC3\xA9"),
            "http://h/%E4%B8%AD%20a?q=%C3%A9");
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", server_.url("/p\xE4\xB8\xAD")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(seen_.path, "/p\xE4\xB8\xAD");  // the server decodes it back to the same bytes
}

TEST_F(HttpEngineTest, ReceiveTimeOutMeansNoProgressNotTheWholeTransfer) {
  HttpEngine e;
  e.SetTimeouts(1000, 1000, 1000, 700);
  ASSERT_TRUE(e.Open("GET", server_.url("/trickle")));
  ASSERT_TRUE(e.Send("")) << e.lastError();  // 1.8 s in all, never 700 ms without a byte
  EXPECT_EQ(e.body(), "xxxxxx");

  ASSERT_TRUE(e.Open("GET", server_.url("/stall")));
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(e.Send(""));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2900));
  EXPECT_EQ(e.status(), 0);
  EXPECT_TRUE(e.body().empty());
  EXPECT_TRUE(e.AllResponseHeaders().empty());  // nothing of the earlier response is left
  EXPECT_EQ(e.statusText(), "");
}

// Accepts a connection, waits `delayMs` and only then relays it to `upstreamPort`: a server
// whose connections take that long to become ready (the TLS handshake waits).
class SlowHandshakeRelay {
 public:
  SlowHandshakeRelay(int upstreamPort, int delayMs)
      : server_([upstreamPort, delayMs](testing_support::FaultServer& s, int fd) {
          for (int i = 0; i < delayMs / 10 && !s.stopping(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          int up = socket(AF_INET, SOCK_STREAM, 0);
          sockaddr_in a{};
          a.sin_family = AF_INET;
          a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
          a.sin_port = htons(static_cast<uint16_t>(upstreamPort));
          if (connect(up, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) Pump(s, fd, up);
          close(up);
        }) {}
  std::string url(const std::string& path) const { return server_.url(path, "https"); }

 private:
  // Copies bytes both ways until either side closes, for at most about five seconds.
  static void Pump(testing_support::FaultServer& s, int a, int b) {
    char buf[16384];
    for (int i = 0; i < 500 && !s.stopping(); ++i) {
      pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
      if (poll(p, 2, 10) <= 0) continue;
      for (int k = 0; k < 2; ++k) {
        if (!(p[k].revents & (POLLIN | POLLHUP))) continue;
        ssize_t n = recv(p[k].fd, buf, sizeof buf, 0);
        if (n <= 0 || !s.SendAll(p[1 - k].fd, buf, static_cast<size_t>(n))) return;
      }
    }
  }
  testing_support::FaultServer server_;
};

TEST(HttpEngineRedirectTest, EachHopConnectsUnderTheConnectTimeOut) {
  ASSERT_TRUE(testing_support::TestCertificate::Get().ok());
  LocalServer secure(true);
  secure->Get("/final", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("there", "text/plain");
  });
  secure.Start();
  SlowHandshakeRelay relay(secure.port(), 800);
  LocalServer plain;
  plain->Get("/hop", [&relay](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(relay.url("/final"), 302);
  });
  plain.Start();

  // The second hop's connection takes 800 ms: within the connect limit, over the receive one.
  HttpEngine e;
  e.SetTimeouts(0, 5000, 5000, 300);
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(e.Open("GET", plain.url("/hop")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "there");
}

TEST_F(HttpEngineTest, RedirectsFromHttpsToHttpOnlyWhenAllowed) {
  ASSERT_TRUE(testing_support::TestCertificate::Get().ok());
  LocalServer secure(true);
  std::string target = server_.url("/final");
  secure->Get("/down",
              [&target](const httplib::Request&, httplib::Response& res) { res.set_redirect(target, 302); });
  secure->Get("/up",
              [](const httplib::Request&, httplib::Response& res) { res.set_content("up", "text/plain"); });
  secure.Start();
  HttpEngine e;
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  EXPECT_FALSE(e.allowHttpsToHttpRedirects());
  ASSERT_TRUE(e.Open("GET", secure.url("/down")));
  EXPECT_FALSE(e.Send(""));  // refused, as the platform's object refuses it
  EXPECT_EQ(e.status(), 0);
  e.SetAllowHttpsToHttpRedirects(true);
  ASSERT_TRUE(e.Open("GET", secure.url("/down")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "final");
  // An https address that stays on https is followed either way.
  e.SetAllowHttpsToHttpRedirects(false);
  target = secure.url("/up");
  ASSERT_TRUE(e.Open("GET", secure.url("/down")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "up");
}

TEST(HttpEngineFailureTest, ClosedPortGivesNoResponse) {
  HttpEngine e;
  e.SetTimeouts(1000, 1000, 1000, 1000);
  ASSERT_TRUE(e.Open("GET", "http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()) + "/"));
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(e.status(), 0);
  EXPECT_FALSE(e.hasResponse());
  EXPECT_TRUE(e.AllResponseHeaders().empty());
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
    ASSERT_TRUE(e.Open("GET", server_.url("/final")));
    ASSERT_TRUE(e.Send(""));
    ASSERT_TRUE(wait(1));
    // Failed: nothing listens there.
    ASSERT_TRUE(e.Open("GET", "http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()) + "/"));
    EXPECT_FALSE(e.Send(""));
    ASSERT_TRUE(wait(2));
    // Aborted, and then the engine is gone before the loop has let the transfer go.
    ASSERT_TRUE(e.Open("GET", server_.url("/stall")));
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

TEST(HttpEngineTlsTest, SelfSignedCertificateAcceptedOnlyUnderTheMask) {
  ASSERT_TRUE(testing_support::TestCertificate::Get().ok());
  LocalServer server(true);
  server->Get(
      "/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secure", "text/plain"); });
  server.Start();
  HttpEngine strict;
  strict.SetTimeouts(2000, 2000, 2000, 2000);
  ASSERT_TRUE(strict.Open("GET", server.url("/")));
  EXPECT_FALSE(strict.Send(""));
  EXPECT_EQ(strict.status(), 0);

  HttpEngine partial;  // one flag alone never loosens the chain check
  partial.SetCertificateErrorMask(kIgnoreCertDateInvalid);
  ASSERT_TRUE(partial.Open("GET", server.url("/")));
  EXPECT_FALSE(partial.Send(""));

  HttpEngine relaxed;
  relaxed.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(relaxed.Open("GET", server.url("/")));
  ASSERT_TRUE(relaxed.Send("")) << relaxed.lastError();
  EXPECT_EQ(relaxed.status(), 200);
  EXPECT_EQ(relaxed.body(), "secure");
}

// Restores an environment variable on scope exit.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = getenv(name);
    if (old) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class HttpEngineProxyTest : public HttpEngineTest {
 protected:
  static constexpr char kAuth[] = "Basic dTpw";  // "u:p"
};

TEST_F(HttpEngineProxyTest, NamedProxyGetsTheCredentialsAndNoProxyDoesNotBypassIt) {
  LocalProxy proxy(kAuth);
  ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");
  HttpEngine e;
  ASSERT_TRUE(e.SetNamedProxy(proxy.address()));
  ASSERT_TRUE(e.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(e.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.status(), 200);
  EXPECT_EQ(proxy.requests(), 1);
  ASSERT_EQ(proxy.authorizations().size(), 1u);
  EXPECT_EQ(proxy.authorizations()[0], kAuth);

  HttpEngine noCredentials;
  ASSERT_TRUE(noCredentials.SetNamedProxy(proxy.address()));
  ASSERT_TRUE(noCredentials.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(noCredentials.Send(""));
  EXPECT_EQ(noCredentials.status(), 407);
}

TEST_F(HttpEngineProxyTest, CredentialsNeverReachTheSiteBehindATunnel) {
  ASSERT_TRUE(testing_support::TestCertificate::Get().ok());
  LocalServer site(true);
  Seen seen;
  site->Get("/", [&seen](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_content("tunnelled", "text/plain");
  });
  site.Start();
  LocalProxy proxy(kAuth);
  HttpEngine e;
  e.SetCertificateErrorMask(kIgnoreAllCertErrors);
  ASSERT_TRUE(e.SetNamedProxy(proxy.address()));
  ASSERT_TRUE(e.Open("GET", site.url("/")));
  ASSERT_TRUE(e.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(e.body(), "tunnelled");
  EXPECT_EQ(proxy.authorizations().at(0), kAuth);
  EXPECT_EQ(seen.HeaderCount("Proxy-Authorization"), 0u);
  EXPECT_EQ(e.AllResponseHeaders().find("Connection established"), std::string::npos);
}

TEST_F(HttpEngineProxyTest, EnvironmentProxyHonouredUnlessDirect) {
  LocalProxy proxy(kAuth);
  ScopedEnv httpProxy("http_proxy", "http://" + proxy.address());
  ScopedEnv noProxy("no_proxy", "");
  HttpEngine viaEnvironment;
  ASSERT_TRUE(viaEnvironment.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(viaEnvironment.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(viaEnvironment.Send(""));
  EXPECT_EQ(viaEnvironment.status(), 200);
  EXPECT_EQ(proxy.requests(), 1);

  HttpEngine direct;
  direct.SetDirect();
  ASSERT_TRUE(direct.Open("GET", server_.url("/echo")));
  ASSERT_TRUE(direct.SetRequestHeader("Proxy-Authorization", kAuth));
  ASSERT_TRUE(direct.Send(""));
  EXPECT_EQ(direct.status(), 200);
  EXPECT_EQ(proxy.requests(), 1);
  EXPECT_EQ(seen_.HeaderCount("Proxy-Authorization"), 0u);  // never to the site itself
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
