// A misbehaving server for fault tests: a listening socket on 127.0.0.1 whose connections are
// served one after another by a caller-given behaviour (stall, reset, garbage, a huge body...).
//
// Ownership: the server owns its socket and its one thread; the destructor raises the stop flag,
// which every behaviour must watch (through Wait and the bounded helpers here), and joins.
#ifndef TESTS_SUPPORT_FAULT_SERVER_H_
#define TESTS_SUPPORT_FAULT_SERVER_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/loopback_socket.h"

namespace testing_support {

class FaultServer {
 public:
  // Called on the server thread for each accepted connection; the connection is closed after it.
  using Behaviour = std::function<void(FaultServer& server, int fd)>;

  explicit FaultServer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    fd_ = BindLoopback(&port_);
    thread_ = std::thread([this] { Run(); });
  }
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;
  ~FaultServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }

  std::string url(const std::string& path, const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
  }
  int port() const { return port_; }
  int connections() const { return connections_; }
  bool stopping() const { return stop_; }

  // Reads until the end of a request head, the peer closes, or about two seconds have passed.
  std::string ReadHead(int fd) { return ReadHeadUnlessStopped(fd, 100, stop_); }
  // Sends everything unless the peer goes away or the server stops; false when not all went.
  bool SendAll(int fd, const char* data, size_t size) { return SendAllUnlessStopped(fd, data, size, stop_); }
  bool SendAll(int fd, const std::string& s) { return SendAll(fd, s.data(), s.size()); }
  // Holds the connection open for up to `limit`, returning early when the server stops or
  // the peer closes.
  void Wait(int fd, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    char buf[512];
    while (!stop_ && std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
  }
  // Closes with a reset instead of an orderly shutdown.
  static void Reset(int fd) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }

 private:
  void Run() {
    while (!stop_) {
      int c = AcceptWithin(fd_, 50);
      if (c < 0) continue;
      ++connections_;
      behaviour_(*this, c);
      close(c);
    }
  }

  Behaviour behaviour_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_FAULT_SERVER_H_
