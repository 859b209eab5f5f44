// A forward proxy on loopback that sends every host to the demo site: CONNECT tunnels to the
// site's HTTPS port (its plain HTTP port for port 80), absolute-form plain requests go to its
// HTTP port.
//
// Ownership and threads: the proxy owns a listening socket, an accept thread and one thread per
// client connection. Start and Stop are called from one controlling thread; Stop (also run by
// the destructor) wakes every thread, closes every socket and joins the threads within about a
// second. Targets() may be called from any thread.
#ifndef DEMO_DEMO_PROXY_H_
#define DEMO_DEMO_PROXY_H_

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demo {

class DemoProxy {
 public:
  DemoProxy() = default;
  DemoProxy(const DemoProxy&) = delete;
  DemoProxy& operator=(const DemoProxy&) = delete;
  ~DemoProxy();

  // Listens on 127.0.0.1:`port` (0: an ephemeral port). REQUIRES: not started.
  // Returns false when the socket cannot be made.
  bool Start(uint16_t tls_upstream, uint16_t plain_upstream, uint16_t port = 0);
  void Stop();

  uint16_t port() const { return port_; }

  // The request line that opened each client connection ("CONNECT www.zhihu.com:443 HTTP/1.1").
  // Later requests on a kept-alive plain connection are relayed without being listed.
  std::vector<std::string> Targets() const;
  void ClearTargets();

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(int client);
  void Reap(bool all);

  uint16_t tls_upstream_ = 0;
  uint16_t plain_upstream_ = 0;
  uint16_t port_ = 0;
  int listen_fd_ = -1;
  int wake_read_ = -1;  // readable once Stop has begun
  int wake_write_ = -1;
  std::thread accept_thread_;
  std::list<std::unique_ptr<Worker>> workers_;  // touched by the accept thread, then by Stop
  mutable std::mutex targets_mutex_;
  std::vector<std::string> targets_;
};

}  // namespace demo

#endif  // DEMO_DEMO_PROXY_H_
