// The demo site: an HTTPS server (and a plain HTTP twin) on loopback that serves the demo
// content for any host, streams the CDN's files with Range support and their faults, can hold
// every response back to simulate a slow network, and records every request; plus
// DemoEnvironment, the site together with the forward proxy that brings the real host names to it.
//
// Ownership and threads: each object owns its servers and their threads. Every connection has a
// worker of its own (made when all are busy), so sleeping, stalled or idle kept-alive
// connections never hold up another. Start and Stop are called from one controlling thread;
// Stop (also run by the destructor) ends every server thread within a few seconds, stalled
// downloads and waiting responses included. Requests(), SetLatency() and latency() may be called
// from any thread while requests run.
#ifndef DEMO_DEMO_SITE_H_
#define DEMO_DEMO_SITE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "demo/demo_content.h"
#include "demo/demo_proxy.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace demo {

struct RecordedRequest {
  std::string scheme;  // "https" or "http"
  std::string method;
  std::string host;                                          // Host header as sent
  std::string path;                                          // origin-form path, query excluded
  std::string query;                                         // text after "?", empty when none
  std::string referer;                                       // Referer header, empty when none
  std::string user_agent;                                    // User-Agent header, empty when none
  int status = 0;                                            // status the site answered
  std::vector<std::pair<std::string, std::string>> headers;  // every request header, by name

  // Scheme, host and path (with the query), as a client would have written the address.
  std::string Url() const;
};

class DemoSite {
 public:
  DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;
  ~DemoSite();

  // Binds 127.0.0.1 on the given ports (0: ephemeral) and starts serving. REQUIRES: not started.
  // Returns false when a port cannot be bound or the certificate cannot be made. Also makes a
  // write to a closed connection an error instead of a signal (SIGPIPE ignored process-wide).
  bool Start(uint16_t https_port = 0, uint16_t http_port = 0);
  void Stop();

  uint16_t https_port() const { return https_port_; }
  uint16_t http_port() const { return http_port_; }
  const DemoContent& content() const { return *content_; }

  // Every response waits this many milliseconds before its first byte, on both servers (0: no
  // wait); connections are accepted at once. Applies to requests that arrive afterwards; it
  // lasts across Stop and Start. REQUIRES: 0 <= milliseconds.
  void SetLatency(int milliseconds) { latency_ms_ = milliseconds; }
  int latency() const { return latency_ms_; }

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();

 private:
  void Answer(const std::string& scheme, const httplib::Request& req, httplib::Response& res);
  int ServeFile(const DemoFile& file, const httplib::Request& req, httplib::Response& res);
  // Waits `time`, or less when the site stops meanwhile; false when it stops.
  bool Wait(std::chrono::milliseconds time) const;
  void Record(RecordedRequest request);

  std::shared_ptr<const DemoContent> content_;
  std::unique_ptr<httplib::Server> https_;
  std::unique_ptr<httplib::Server> http_;
  std::thread https_thread_;
  std::thread http_thread_;
  uint16_t https_port_ = 0;
  uint16_t http_port_ = 0;
  std::atomic<int> latency_ms_{0};
  mutable std::mutex stop_mutex_;
  mutable std::condition_variable stop_signal_;
  bool stopping_ = false;  // under stop_mutex_
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
};

// The site and the proxy, started together on loopback.
class DemoEnvironment {
 public:
  DemoEnvironment() = default;
  ~DemoEnvironment() { Stop(); }

  // Starts the site on ephemeral ports, answering after `latency_ms` (DemoSite::SetLatency),
  // and the proxy on `proxy_port` (0: ephemeral). REQUIRES: 0 <= latency_ms.
  bool Start(uint16_t proxy_port = 0, int latency_ms = 0);
  // Stops the proxy first (closing its tunnels), then the site.
  void Stop();
  // The site's response latency, as DemoSite::SetLatency; any thread.
  void SetLatency(int milliseconds) { site_.SetLatency(milliseconds); }

  DemoSite& site() { return site_; }
  DemoProxy& proxy() { return proxy_; }
  uint16_t proxy_port() const { return proxy_.port(); }
  // "http://127.0.0.1:PORT", the value for https_proxy and http_proxy.
  std::string ProxyUrl() const;

 private:
  DemoSite site_;
  DemoProxy proxy_;
};

// Points the standard proxy variables (https_proxy, HTTPS_PROXY, http_proxy) at a proxy URL and
// removes no_proxy and NO_PROXY for its lifetime, so that any HTTP client of the process that
// honours them (libcurl does) reaches the demo site under the real host names; the previous
// values come back on destruction. Changes the process environment: create it while no other
// thread reads or writes the environment.
class ProxyVariables {
 public:
  explicit ProxyVariables(const std::string& proxy_url);
  ProxyVariables(const ProxyVariables&) = delete;
  ProxyVariables& operator=(const ProxyVariables&) = delete;
  ~ProxyVariables();

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace demo

#endif  // DEMO_DEMO_SITE_H_
