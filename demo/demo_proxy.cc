#include "demo/demo_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

namespace demo {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kHeadTimeoutMs = 10000;
constexpr int kIdleTimeoutMs = 60000;
constexpr int kWriteTimeoutMs = 10000;

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

// Writes every byte, waiting while the socket is full; false on error, time-out or stop.
bool WriteAll(int fd, const char* data, std::size_t size, int wake) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
      int r = poll(p, 2, kWriteTimeoutMs);
      if (r <= 0 || (p[1].revents & POLLIN)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool WriteAll(int fd, std::string_view text, int wake) {
  return WriteAll(fd, text.data(), text.size(), wake);
}

int ConnectLoopback(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  SetNonBlocking(fd);
  return fd;
}

// Copies bytes both ways until both sides have ended, the link is idle too long, or stop.
void Relay(int a, int b, int wake) {
  bool a_open = true, b_open = true;
  char buffer[64 * 1024];
  while (a_open || b_open) {
    pollfd p[3] = {{a_open ? a : -1, POLLIN, 0}, {b_open ? b : -1, POLLIN, 0}, {wake, POLLIN, 0}};
    int r = poll(p, 3, kIdleTimeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[2].revents & POLLIN)) return;
    for (int side = 0; side < 2; ++side) {
      if (!(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      int from = side == 0 ? a : b, to = side == 0 ? b : a;
      ssize_t n = recv(from, buffer, sizeof buffer, 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      if (n <= 0) {
        if (n < 0) return;  // a reset ends the whole link
        (side == 0 ? a_open : b_open) = false;
        shutdown(to, SHUT_WR);
        continue;
      }
      if (!WriteAll(to, buffer, static_cast<std::size_t>(n), wake)) return;
    }
  }
}

}  // namespace

DemoProxy::~DemoProxy() { Stop(); }

bool DemoProxy::Start(uint16_t tls_upstream, uint16_t plain_upstream, uint16_t port) {
  tls_upstream_ = tls_upstream;
  plain_upstream_ = plain_upstream;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  wake_read_ = pipe_fds[0];
  wake_write_ = pipe_fds[1];
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 1024) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    Stop();
    return false;
  }
  SetNonBlocking(listen_fd_);
  port_ = ntohs(addr.sin_port);
  accept_thread_ = std::thread(&DemoProxy::AcceptLoop, this);
  return true;
}

void DemoProxy::Stop() {
  if (wake_write_ >= 0) {
    char byte = 1;
    ssize_t ignored = write(wake_write_, &byte, 1);
    (void)ignored;
  }
  if (accept_thread_.joinable()) accept_thread_.join();
  Reap(true);
  for (int* fd : {&listen_fd_, &wake_read_, &wake_write_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  port_ = 0;
}

void DemoProxy::Reap(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void DemoProxy::AcceptLoop() {
  while (true) {
    pollfd p[2] = {{listen_fd_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    int r = poll(p, 2, 1000);
    if (r < 0 && errno != EINTR) return;
    if (p[1].revents & POLLIN) return;
    Reap(false);
    if (r <= 0 || !(p[0].revents & POLLIN)) continue;
    int client = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) continue;
    int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto worker = std::make_unique<Worker>();
    Worker* w = worker.get();
    worker->thread = std::thread([this, client, w] {
      Serve(client);
      close(client);
      w->done = true;
    });
    workers_.push_back(std::move(worker));
  }
}

void DemoProxy::Serve(int client) {
  // Read the request head.
  std::string head;
  std::size_t end = std::string::npos;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHeadTimeoutMs);
  char buffer[8192];
  while ((end = head.find("\r\n\r\n")) == std::string::npos) {
    if (head.size() > kMaxHead) return;
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd p[2] = {{client, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    int r = poll(p, 2, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[1].revents & POLLIN)) return;
    ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  std::string line = head.substr(0, head.find("\r\n"));
  {
    std::lock_guard lock(targets_mutex_);
    targets_.push_back(line);
  }
  std::size_t sp1 = line.find(' ');
  std::size_t sp2 = line.find(' ', sp1 == std::string::npos ? 0 : sp1 + 1);
  if (sp1 == std::string::npos || sp2 == std::string::npos) {
    WriteAll(client, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
             wake_read_);
    return;
  }
  std::string method = line.substr(0, sp1);
  std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  int upstream = -1;
  std::string forward;
  if (method == "CONNECT") {
    std::size_t colon = target.rfind(':');
    uint16_t port =
        colon == std::string::npos ? 443 : static_cast<uint16_t>(std::atoi(target.c_str() + colon + 1));
    upstream = ConnectLoopback(port == 80 ? plain_upstream_ : tls_upstream_);
    if (upstream < 0) {
      WriteAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
               wake_read_);
      return;
    }
    if (!WriteAll(client, "HTTP/1.1 200 Connection established\r\n\r\n", wake_read_)) {
      close(upstream);
      return;
    }
    forward = head.substr(end + 4);
  } else if (target.size() > 7 && strncasecmp(target.c_str(), "http://", 7) == 0) {
    // The site itself understands the absolute form, so the request goes on unchanged.
    upstream = ConnectLoopback(plain_upstream_);
    if (upstream < 0) {
      WriteAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
               wake_read_);
      return;
    }
    forward = head;
  } else {
    WriteAll(client, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
             wake_read_);
    return;
  }
  if (forward.empty() || WriteAll(upstream, forward, wake_read_)) Relay(client, upstream, wake_read_);
  close(upstream);
}

std::vector<std::string> DemoProxy::Targets() const {
  std::lock_guard lock(targets_mutex_);
  return targets_;
}

void DemoProxy::ClearTargets() {
  std::lock_guard lock(targets_mutex_);
  targets_.clear();
}

}  // namespace demo
