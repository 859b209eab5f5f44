// WebRequest against servers that misbehave: every case must end within its time-out and give
// the empty results of a request without a response (empty body, empty headers, status 0), or
// exactly what the server did send when the transfer completed. Each case prints one line of
// the fault matrix ("FAULT | case | time-out | result | elapsed"). Beside every case, healthy
// requests are in flight on the same transfer loop, and they must come through whole: a fault
// holds up only its own transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "json/json_document.h"
#include "net/web_request.h"
#include "platform/com/automation.h"
#include "runtime/dll_commands.h"
#include "tests/support/fault_server.h"
#include "tests/support/local_servers.h"
#include "text/charsets.h"

namespace net {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing_support::FaultServer;

struct Outcome {
  std::string body;
  std::string headers;
  int32_t status = -1;
  double elapsed = 0;  // seconds
};

class WebRequestFaultsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const rt::ProgramHeader& program = app::ProgramDescription();
    rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
    platform::com::RegisterBuiltinClasses();
    healthy_ = std::make_unique<testing_support::LocalServer>();
    (*healthy_)->Get("/healthy", [](const httplib::Request&, httplib::Response& res) {
      std::this_thread::sleep_for(milliseconds(200));
      res.set_content(std::string(64 * 1024, 'h'), "text/plain");
    });
    healthy_->Start();
  }
  static void TearDownTestSuite() { healthy_.reset(); }
  void SetUp() override {
    for (int i = 0; i < 3; ++i) beside_.push_back(StartWebRequest(healthy_->url("/healthy")));
  }
  void TearDown() override {
    for (PendingWebRequest& r : beside_) {
      EXPECT_EQ(FinishWebRequest(r).view(), std::string(64 * 1024, 'h')) << "a request beside the fault";
    }
  }

  // One GET; `timeout` in seconds as the routine takes it (0: the default 15 s).
  static Outcome Get(const std::string& url, int32_t timeout, bool noRedirect = false) {
    Outcome o;
    rt::Text returnedHeaders;
    auto start = std::chrono::steady_clock::now();
    rt::ByteSet body =
        WebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, nullptr, &returnedHeaders, &o.status,
                   noRedirect, std::nullopt, std::nullopt, timeout);
    o.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    o.body = std::string(body.view());
    o.headers = returnedHeaders.str();
    return o;
  }

  // The matrix line, and an upper bound far above what the case should take.
  static void Report(const char* name, int32_t timeout, const Outcome& o) {
    const int32_t limit = timeout < 1 ? 15 : timeout;
    char line[256];
    std::snprintf(line, sizeof line,
                  "FAULT | %-36s | %2d s | body %9zu B, status %3d, headers %5zu B | %6.2f s", name, limit,
                  o.body.size(), o.status, o.headers.size(), o.elapsed);
    std::printf("%s\n", line);
    ::testing::Test::RecordProperty(name, line);
    EXPECT_LT(o.elapsed, limit + 5.0) << name;
  }

  static void ExpectNoResponse(const Outcome& o) {
    EXPECT_EQ(o.body.size(), 0u);
    EXPECT_EQ(o.headers, "");
    EXPECT_EQ(o.status, 0);
  }

  // A server that answers every request with `response`, which the request must refuse whole.
  static void ExpectRefused(const char* name, const std::string& response) {
    SCOPED_TRACE(name);
    FaultServer server([&response](FaultServer& s, int fd) {
      s.ReadHead(fd);
      s.SendAll(fd, response);
    });
    Outcome o = Get(server.url("/"), 5);
    Report(name, 5, o);
    ExpectNoResponse(o);
  }

  static std::string Head(const std::string& statusLine, const std::string& lines) {
    return statusLine + "\r\n" + lines + "Connection: close\r\n\r\n";
  }

  static inline std::unique_ptr<testing_support::LocalServer> healthy_;
  std::vector<PendingWebRequest> beside_;
};

TEST_F(WebRequestFaultsTest, RefusedConnection) {
  Outcome o = Get("http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()) + "/", 5);
  Report("refused connection", 5, o);
  ExpectNoResponse(o);
}

TEST_F(WebRequestFaultsTest, ResetInTheMiddleOfTheBody) {
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, Head("HTTP/1.1 200 OK", "Content-Length: 1000000\r\n"));
    s.SendAll(fd, std::string(65536, 'x'));
    s.Wait(fd, milliseconds(100));
    FaultServer::Reset(fd);
  });
  Outcome o = Get(server.url("/reset"), 5);
  Report("reset in the middle of a body", 5, o);
  ExpectNoResponse(o);  // no part of the body survives a failed transfer
}

TEST_F(WebRequestFaultsTest, StallAfterTheHeaders) {
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, Head("HTTP/1.1 200 OK", "Content-Length: 1000\r\n") + "only ten b");
    s.Wait(fd, seconds(10));  // the rest never comes
  });
  Outcome o = Get(server.url("/stall"), 1);
  Report("stall after the headers", 1, o);
  ExpectNoResponse(o);
}

TEST_F(WebRequestFaultsTest, StallInTheMiddleOfAChunkedBody) {
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, Head("HTTP/1.1 200 OK", "Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\n");
    s.Wait(fd, seconds(10));
  });
  Outcome o = Get(server.url("/chunks"), 2);
  Report("stall inside a chunked body", 2, o);
  ExpectNoResponse(o);
}

TEST_F(WebRequestFaultsTest, FiftyMegabyteBodyArrivesWhole) {
  constexpr size_t kSize = 50u << 20;
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, Head("HTTP/1.1 200 OK", "Content-Length: " + std::to_string(kSize) + "\r\n"));
    std::string chunk(1 << 20, '\0');
    for (size_t off = 0; off < kSize; off += chunk.size()) {
      for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>((off + i) % 251);
      if (!s.SendAll(fd, chunk)) return;
    }
  });
  Outcome o = Get(server.url("/big"), 0);  // the default time-out, as the lookup uses it
  Report("50 MB body", 0, o);
  ASSERT_EQ(o.body.size(), kSize);
  EXPECT_EQ(o.status, 200);
  size_t wrong = 0;
  for (size_t i = 0; i < kSize; i += 4093) wrong += o.body[i] != static_cast<char>(i % 251);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(o.body.back(), static_cast<char>((kSize - 1) % 251));
}

TEST_F(WebRequestFaultsTest, RedirectLoop) {
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, Head("HTTP/1.1 302 Found", "Location: /loop\r\nContent-Length: 0\r\n"));
  });
  Outcome o = Get(server.url("/loop"), 5);
  Report("redirect loop", 5, o);
  ExpectNoResponse(o);
  EXPECT_LE(server.connections(), 12);  // the chain is cut after a bounded number of hops

  // Not following: the redirect itself is the answer.
  Outcome own = Get(server.url("/loop"), 5, true);
  Report("redirect loop, redirects off", 5, own);
  EXPECT_EQ(own.status, 302);
  EXPECT_NE(own.headers.find("Location: /loop"), std::string::npos);
}

TEST_F(WebRequestFaultsTest, MalformedStatusLines) {
  const std::pair<const char*, std::string> cases[] = {
      {"status line: letters for a code", "HTTP/1.1 abc OK\r\nContent-Length: 2\r\n\r\nhi"},
      {"status line: not HTTP at all", "SSH-2.0-OpenSSH_9.2\r\n\r\nhi"},
      {"status line: code of five digits", "HTTP/1.1 20000 OK\r\nContent-Length: 2\r\n\r\nhi"},
      {"status line: nothing, then close", ""},
  };
  for (const auto& [name, response] : cases) ExpectRefused(name, response);
}

TEST_F(WebRequestFaultsTest, MalformedHeaders) {
  // A length that is no number, two lengths that disagree and a line without a colon make the
  // response unusable: nothing of it is shown.
  const std::pair<const char*, std::string> refused[] = {
      {"header: Content-Length not a number", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nhi"},
      {"header: two different lengths",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 5\r\n\r\nhi"},
      {"header: line without a colon", "HTTP/1.1 200 OK\r\nX-No-Colon\r\nContent-Length: 2\r\n\r\nhi"},
  };
  for (const auto& [name, response] : refused) ExpectRefused(name, response);
  // Bytes above 0x7F in a value and a value-less header: the response itself is whole.
  FaultServer server([](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd,
              Head("HTTP/1.1 200 OK", "X-High: \xff\xfe\x80\r\nX-Empty:\r\nContent-Length: 2\r\n") + "hi");
  });
  Outcome o = Get(server.url("/"), 5);
  Report("header: high bytes, empty value", 5, o);
  EXPECT_EQ(o.body, "hi");
  EXPECT_EQ(o.status, 200);
  EXPECT_NE(o.headers.find("X-Empty:"), std::string::npos);
}

TEST_F(WebRequestFaultsTest, InvalidUtf8InAPageAndADescription) {
  const std::string page =
      "<title>bad \xff\xfe title</title> \xc3\x28 \xe2\x82 "
      "<a data-lens-id=\"1234\"></a> \xed\xa0\x80 \xf8\x88\x80\x80\x80 end";
  const std::string description =
      "{\"cover_url\":\"https://pic.example/c.jpg\",\"title\":\"t\xff\xc3\x28x\","
      "\"playlist\":{\"HD\":{\"play_url\":\"https://v.example/\xe2\x82.mp4\"}}}";
  FaultServer server([&](FaultServer& s, int fd) {
    std::string head = s.ReadHead(fd);
    const std::string& body = head.find("GET /description") == 0 ? description : page;
    s.SendAll(fd, Head("HTTP/1.1 200 OK", "Content-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                              std::to_string(body.size()) + "\r\n") +
                      body);
  });
  Outcome o = Get(server.url("/page"), 5);
  Report("invalid UTF-8 in a page", 5, o);
  EXPECT_EQ(o.body, page);  // the bytes come back as they were sent
  EXPECT_EQ(o.status, 200);
  // The lookup's conversion keeps the ASCII around the bad sequences.
  rt::Text text = text::Utf8BytesToText(rt::ByteSet(o.body));
  EXPECT_NE(text.str().find("<a data-lens-id=\"1234\"></a>"), std::string::npos);
  EXPECT_NE(text.str().find(" end"), std::string::npos);

  Outcome d = Get(server.url("/description"), 5);
  Report("invalid UTF-8 in a description", 5, d);
  ASSERT_EQ(d.body, description);
  rt::Text converted = text::Utf8BytesToText(rt::ByteSet(d.body));
  json::类_JSON document;
  document.初始化();
  document.解析文本(converted.c_str());
  EXPECT_EQ(document.取值("cover_url", std::nullopt, nullptr, true).str(), "https://pic.example/c.jpg");
  std::string title = document.取值("title", std::nullopt, nullptr, true).str();
  ASSERT_GE(title.size(), 2u);
  EXPECT_EQ(title.front(), 't');
  EXPECT_EQ(title.back(), 'x');
}

TEST_F(WebRequestFaultsTest, TlsHandshakeFailures) {
  {
    FaultServer server([](FaultServer& s, int fd) {
      s.Wait(fd, milliseconds(100));  // takes the client hello
      s.SendAll(fd, "this is no TLS server\r\n\r\n");
    });
    Outcome o = Get(server.url("/", "https"), 5);
    Report("TLS: server speaks plain text", 5, o);
    ExpectNoResponse(o);
  }
  {
    FaultServer server([](FaultServer& s, int fd) {
      s.Wait(fd, milliseconds(100));  // takes the client hello, then hangs up
      FaultServer::Reset(fd);
    });
    Outcome o = Get(server.url("/", "https"), 5);
    Report("TLS: reset after the client hello", 5, o);
    ExpectNoResponse(o);
  }
  {
    FaultServer server([](FaultServer& s, int fd) { s.Wait(fd, seconds(10)); });
    Outcome o = Get(server.url("/", "https"), 1);
    Report("TLS: handshake never answered", 1, o);
    ExpectNoResponse(o);
  }
}

}  // namespace
}  // namespace net
