// Loopback servers for network tests: HTTP and HTTPS servers (cpp-httplib) with a
// self-signed certificate made at test time, and a small forwarding proxy that requires Basic
// credentials. Everything listens on 127.0.0.1 only.
//
// Ownership: each server owns its listening thread and stops it in its destructor.
#ifndef TESTS_SUPPORT_LOCAL_SERVERS_H_
#define TESTS_SUPPORT_LOCAL_SERVERS_H_

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_socket.h"

namespace testing_support {

// A private temporary folder holding cert.pem and key.pem for "localhost" and 127.0.0.1,
// made once per process with the openssl command.
class TestCertificate {
 public:
  static const TestCertificate& Get() {
    static TestCertificate cert;
    return cert;
  }
  std::string certPath() const { return dir_ + "/cert.pem"; }
  std::string keyPath() const { return dir_ + "/key.pem"; }
  bool ok() const { return ok_; }

 private:
  TestCertificate() {
    char tmpl[] = "/tmp/wl-cert-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    std::string cmd =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1"
        " -keyout '" +
        keyPath() + "' -out '" + certPath() + "' >/dev/null 2>&1";
    ok_ = std::system(cmd.c_str()) == 0;
  }
  ~TestCertificate() {
    if (!dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }
  std::string dir_;
  bool ok_ = false;
};

// An httplib server on 127.0.0.1 and a free port, running on its own thread.
class LocalServer {
 public:
  explicit LocalServer(bool tls = false) {
    if (tls) {
      const TestCertificate& cert = TestCertificate::Get();
      server_ = std::make_unique<httplib::SSLServer>(cert.certPath().c_str(), cert.keyPath().c_str());
    } else {
      server_ = std::make_unique<httplib::Server>();
    }
    server_->set_keep_alive_timeout(1);
    tls_ = tls;
  }
  ~LocalServer() { Stop(); }
  httplib::Server& operator*() { return *server_; }
  httplib::Server* operator->() { return server_.get(); }

  // Call after the handlers are registered.
  void Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 500 && !server_->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  void Stop() {
    if (thread_.joinable()) {
      server_->stop();
      thread_.join();
    }
  }
  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  bool tls_ = false;
};

// A forwarding proxy on 127.0.0.1: CONNECT tunnels and absolute-form requests, one request
// per connection, each checked for `Proxy-Authorization: <expected>` (407 otherwise). It
// records every Proxy-Authorization value it receives, and adds "Via: test-proxy" to what it
// forwards in origin form.
class LocalProxy {
 public:
  explicit LocalProxy(std::string expectedAuthorization) : expected_(std::move(expectedAuthorization)) {
    listenFd_ = BindLoopback(&port_);
    thread_ = std::thread([this] { Run(); });
  }
  ~LocalProxy() {
    stop_ = true;
    thread_.join();
    for (std::thread& t : workers_) t.join();
    close(listenFd_);
  }
  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_; }
  std::vector<std::string> authorizations() const {
    std::lock_guard<std::mutex> lock(mu_);
    return seen_;
  }

 private:
  void Run() {
    while (!stop_) {
      int fd = AcceptWithin(listenFd_, 50);
      if (fd < 0) continue;
      workers_.emplace_back([this, fd] { Serve(fd); });
    }
  }

  static bool ReadHead(int fd, std::string* head, std::string* rest) {
    char buf[4096];
    for (int i = 0; i < 200; ++i) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return false;
      head->append(buf, static_cast<size_t>(n));
      size_t end = head->find("\r\n\r\n");
      if (end != std::string::npos) {
        *rest = head->substr(end + 4);
        head->resize(end + 4);
        return true;
      }
    }
    return false;
  }

  static std::string HeaderOf(const std::string& head, const std::string& name) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::string key = "\r\n" + name + ":";
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find(key);
    if (at == std::string::npos) return std::string();
    size_t start = at + key.size();
    size_t end = head.find("\r\n", start);
    std::string v = head.substr(start, end - start);
    while (!v.empty() && v.front() == ' ') v.erase(0, 1);
    return v;
  }

  static int ConnectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd);
      return -1;
    }
    return fd;
  }

  static void SendAll(int fd, const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
      ssize_t n = send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return;
      off += static_cast<size_t>(n);
    }
  }

  void Relay(int a, int b) {
    char buf[16384];
    while (!stop_) {
      pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
      if (poll(p, 2, 50) <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (p[i].revents & (POLLIN | POLLHUP | POLLERR)) {
          ssize_t n = recv(p[i].fd, buf, sizeof buf, 0);
          if (n <= 0) return;
          SendAll(i == 0 ? b : a, std::string(buf, static_cast<size_t>(n)));
        }
      }
    }
  }

  void Serve(int fd) {
    std::string head, rest;
    if (ReadHead(fd, &head, &rest)) {
      ++requests_;
      std::string auth = HeaderOf(head, "Proxy-Authorization");
      {
        std::lock_guard<std::mutex> lock(mu_);
        seen_.push_back(auth);
      }
      std::string method = head.substr(0, head.find(' '));
      size_t targetStart = method.size() + 1;
      std::string target = head.substr(targetStart, head.find(' ', targetStart) - targetStart);
      if (auth != expected_) {
        SendAll(fd,
                "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"t\"\r\n"
                "Content-Length: 0\r\nConnection: close\r\n\r\n");
      } else if (method == "CONNECT") {
        int port = std::atoi(target.substr(target.rfind(':') + 1).c_str());
        int up = ConnectTo(port);
        if (up >= 0) {
          SendAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n");
          Relay(fd, up);
          close(up);
        }
      } else {
        // "http://127.0.0.1:port/path": forward in origin form, without the proxy's header.
        size_t hostStart = target.find("//") + 2;
        size_t pathStart = target.find('/', hostStart);
        std::string hostPort = target.substr(hostStart, pathStart - hostStart);
        int port = std::atoi(hostPort.substr(hostPort.rfind(':') + 1).c_str());
        std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
        // One request per connection, so a reused connection never skips the check.
        std::string forwarded = method + " " + path + head.substr(head.find(" HTTP/"));
        forwarded.insert(forwarded.find("\r\n") + 2, "Connection: close\r\nVia: test-proxy\r\n");
        size_t pa = forwarded.find("\r\nProxy-Authorization:");
        if (pa != std::string::npos) forwarded.erase(pa, forwarded.find("\r\n", pa + 2) - pa);
        int up = ConnectTo(port);
        if (up >= 0) {
          SendAll(up, forwarded + rest);
          Relay(fd, up);
          close(up);
        }
      }
    }
    close(fd);
  }

  std::string expected_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
  std::vector<std::thread> workers_;
  mutable std::mutex mu_;
  std::vector<std::string> seen_;
};

// A one-request-per-connection server on 127.0.0.1 that keeps the raw bytes of every
// request head (request line and header lines as they arrived) and answers with `response`.
class RawServer {
 public:
  explicit RawServer(std::string response) : response_(std::move(response)) {
    fd_ = BindLoopback(&port_);
    thread_ = std::thread([this] { Run(); });
  }
  ~RawServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> heads() const {
    std::lock_guard<std::mutex> lock(mu_);
    return heads_;
  }

 private:
  void Run() {
    while (!stop_) {
      int c = AcceptWithin(fd_, 50);
      if (c < 0) continue;
      std::string head;
      char buf[4096];
      for (int i = 0; i < 100 && head.find("\r\n\r\n") == std::string::npos; ++i) {
        pollfd q{c, POLLIN, 0};
        if (poll(&q, 1, 20) <= 0) continue;
        ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
      }
      {
        std::lock_guard<std::mutex> lock(mu_);
        heads_.push_back(head.substr(0, head.find("\r\n\r\n")));
      }
      send(c, response_.data(), response_.size(), MSG_NOSIGNAL);
      close(c);
    }
  }
  std::string response_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mu_;
  std::vector<std::string> heads_;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_LOCAL_SERVERS_H_
