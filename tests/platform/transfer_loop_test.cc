// The process-wide transfer loop, seen through request engines: transfers side by side within
// the per-host bound, connections shared across engines, aborts that take effect at once, and
// waits that keep the GUI thread's events flowing.
#include "platform/http/transfer_loop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/http/http_engine.h"
#include "tests/support/local_servers.h"

namespace platform::http {
namespace {

using testing_support::LocalServer;

// A server whose answers take `delayMs`, counting how many requests it holds at once.
class SlowServer {
 public:
  explicit SlowServer(int delayMs) {
    server_->new_task_queue = [] { return new httplib::ThreadPool(40); };  // owned by the server
    server_->Get("/slow", [this, delayMs](const httplib::Request& req, httplib::Response& res) {
      int now = ++inside_;
      {
        std::lock_guard<std::mutex> lock(mu_);
        most_ = std::max(most_, now);
        ports_.insert(req.remote_port);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      --inside_;
      res.set_content("done", "text/plain");
    });
    server_.Start();
  }
  std::string url() const { return server_.url("/slow"); }
  int most() {
    std::lock_guard<std::mutex> lock(mu_);
    return most_;
  }
  std::set<int> ports() {
    std::lock_guard<std::mutex> lock(mu_);
    return ports_;
  }

 private:
  LocalServer server_;
  std::atomic<int> inside_{0};
  std::mutex mu_;
  int most_ = 0;
  std::set<int> ports_;
};

// Waits (bounded) until the loop runs no transfer.
bool LoopGoesIdle() {
  for (int i = 0; i < 300; ++i) {
    if (TransferLoop::Get().RunningCountForTesting() == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(TransferLoopTest, TransfersRunSideBySideWithinThePerHostBoundOnSharedConnections) {
  SlowServer server(150);
  constexpr int kRequests = 20;
  std::vector<std::unique_ptr<HttpEngine>> engines;
  for (int i = 0; i < kRequests; ++i) {
    engines.push_back(std::make_unique<HttpEngine>());
    ASSERT_TRUE(engines.back()->Open("GET", server.url()));
    ASSERT_TRUE(engines.back()->Start(""));
  }
  for (auto& e : engines) {
    ASSERT_TRUE(e->Wait(20000));
    ASSERT_TRUE(e->hasResponse()) << e->lastError();
    EXPECT_EQ(e->body(), "done");
  }
  // Side by side, but never more than the browser's six connections to one host.
  EXPECT_EQ(server.most(), static_cast<int>(kMaxConnectionsPerHost));
  EXPECT_LE(server.ports().size(), static_cast<size_t>(kMaxConnectionsPerHost));

  // New engines, one after another, reuse those connections instead of opening their own.
  std::set<int> before = server.ports();
  for (int i = 0; i < 3; ++i) {
    HttpEngine e;
    ASSERT_TRUE(e.Open("GET", server.url()));
    ASSERT_TRUE(e.Send(""));
  }
  EXPECT_EQ(server.ports(), before);
}

TEST(TransferLoopTest, KeptConnectionsThatDiedWhileIdleAreReplacedByFreshOnes) {
  // The demo site closes a kept connection after 2 s idle, behind its proxy and TLS, where the
  // transfer library cannot see it: after a pause every kept connection to the host is dead.
  demo::DemoEnvironment env;
  ASSERT_TRUE(env.Start());
  auto batch = [&env] {
    std::vector<std::unique_ptr<HttpEngine>> engines;
    for (int i = 0; i < 8; ++i) {
      engines.push_back(std::make_unique<HttpEngine>());
      HttpEngine& e = *engines.back();
      e.SetNamedProxy(env.ProxyUrl());
      e.SetCertificateErrorMask(kIgnoreAllCertErrors);
      EXPECT_TRUE(e.Open("GET", std::string("https://www.zhihu.com") + demo::kTwoVideoPagePath));
      EXPECT_TRUE(e.Start(""));
    }
    int answered = 0;
    for (auto& e : engines) answered += e->Wait(20000) && e->status() == 200 ? 1 : 0;
    return answered;
  };
  EXPECT_EQ(batch(), 8);
  std::this_thread::sleep_for(std::chrono::milliseconds(2600));
  EXPECT_EQ(batch(), 8);
}

TEST(TransferLoopTest, AbortAndDestructionEndATransferAtOnceAndTheEngineStaysUsable) {
  SlowServer stalled(1500);
  LocalServer quick;
  quick->Get("/",
             [](const httplib::Request&, httplib::Response& res) { res.set_content("quick", "text/plain"); });
  quick.Start();

  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", stalled.url()));
  ASSERT_TRUE(e.Start(""));
  EXPECT_TRUE(e.running());
  EXPECT_FALSE(e.Wait(50));
  e.Abort();
  EXPECT_FALSE(e.running());
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.hasResponse());
  EXPECT_EQ(e.status(), 0);
  EXPECT_TRUE(LoopGoesIdle());  // its connection closed, not left to the server's 1.5 s

  // The same engine takes the next request at once.
  ASSERT_TRUE(e.Open("GET", quick.url("/")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.body(), "quick");

  // An engine destroyed mid-transfer takes its transfer with it, and an Open of a running
  // engine aborts the request before.
  {
    HttpEngine doomed;
    ASSERT_TRUE(doomed.Open("GET", stalled.url()));
    ASSERT_TRUE(doomed.Start(""));
  }
  ASSERT_TRUE(e.Open("GET", stalled.url()));
  ASSERT_TRUE(e.Start(""));
  ASSERT_TRUE(e.Open("GET", quick.url("/")));
  EXPECT_FALSE(e.running());
  EXPECT_TRUE(LoopGoesIdle());
}

TEST(TransferLoopTest, AWaitOnTheGuiThreadKeepsHandlingEvents) {
  ASSERT_NE(QCoreApplication::instance(), nullptr);
  SlowServer server(400);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(10);
  HttpEngine e;
  ASSERT_TRUE(e.Open("GET", server.url()));
  ASSERT_TRUE(e.Send(""));  // synchronous: returns with the response
  EXPECT_EQ(e.body(), "done");
  // The timer's events ran during the 400 ms wait (about 40 of them on a quiet machine).
  EXPECT_GE(ticks, 5);

  // A routine run by an event during the wait may abort the request waited for: the wait
  // then ends at once, without a response.
  ASSERT_TRUE(e.Open("GET", server.url()));
  ASSERT_TRUE(e.Start(""));
  QTimer::singleShot(20, [&e] { e.Abort(); });
  EXPECT_TRUE(e.Wait(10000));
  EXPECT_FALSE(e.hasResponse());
}

TEST(TransferLoopTest, AWaitOffTheGuiThreadBlocksWithoutEvents) {
  SlowServer server(100);
  std::string body;
  std::thread worker([&] {
    HttpEngine e;
    if (e.Open("GET", server.url()) && e.Send("")) body = e.body();
  });
  worker.join();
  EXPECT_EQ(body, "done");
}

// Collects what a transfer hands it; refuses a status of 400 and up, or fails after `failAfter`
// body bytes.
class CollectingSink : public ResponseSink {
 public:
  explicit CollectingSink(int64_t failAfter = -1) : failAfter_(failAfter) {}
  bool OnResponse(int32_t status, const std::vector<std::string>& headers) override {
    ++responses;
    this->status = status;
    this->headers = headers;
    return status < 400;
  }
  bool OnBody(std::string_view bytes) override {
    if (failAfter_ >= 0 && static_cast<int64_t>(body.size() + bytes.size()) > failAfter_) return false;
    body.append(bytes);
    ++pieces;
    return true;
  }
  int responses = 0, pieces = 0;
  int32_t status = 0;
  std::vector<std::string> headers;
  std::string body;

 private:
  int64_t failAfter_;
};

TEST(TransferLoopTest, ASinkTakesTheFinalResponseAsItArrives) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 11));
  LocalServer server;
  server->Get("/moved", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("the redirect's own body", "text/plain");
    res.set_redirect("/file", 302);
  });
  server->Get("/file", [&big](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "application/octet-stream");
  });
  server->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("not here", "text/plain");
  });
  server.Start();

  auto sink = std::make_shared<CollectingSink>();
  HttpEngine e;
  e.SetResponseSink(sink);
  ASSERT_TRUE(e.Open("GET", server.url("/moved")));
  ASSERT_TRUE(e.Send("")) << e.lastError();
  EXPECT_EQ(sink->responses, 1);  // the redirect's response never reached it
  EXPECT_EQ(sink->status, 200);
  EXPECT_TRUE(sink->body == big);
  EXPECT_GT(sink->pieces, 1);
  EXPECT_TRUE(e.body().empty());
  EXPECT_EQ(e.status(), 200);
  EXPECT_EQ(e.receivedBytes(), static_cast<int64_t>(big.size()));
  EXPECT_EQ(e.expectedBytes(), static_cast<int64_t>(big.size()));

  // Refused at its headers: nothing of the body is taken, and the request fails.
  auto refusing = std::make_shared<CollectingSink>();
  e.SetResponseSink(refusing);
  ASSERT_TRUE(e.Open("GET", server.url("/missing")));
  EXPECT_FALSE(e.Send(""));
  EXPECT_EQ(refusing->status, 404);
  EXPECT_TRUE(refusing->body.empty());

  // A write that fails midway ends the transfer.
  auto failing = std::make_shared<CollectingSink>(1024 * 1024);
  e.SetResponseSink(failing);
  ASSERT_TRUE(e.Open("GET", server.url("/file")));
  EXPECT_FALSE(e.Send(""));
  EXPECT_LE(failing->body.size(), 1024u * 1024u);
  EXPECT_EQ(e.lastError(), "the response was refused by its receiver");

  // Without a sink the engine keeps bodies again.
  e.SetResponseSink(nullptr);
  ASSERT_TRUE(e.Open("GET", server.url("/missing")));
  ASSERT_TRUE(e.Send(""));
  EXPECT_EQ(e.body(), "not here");
}

}  // namespace
}  // namespace platform::http
