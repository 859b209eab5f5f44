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
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace platform::http
