// Sockets on 127.0.0.1 for the test servers: a listening socket on an ephemeral port, taking
// its connections in bounded waits, and a port that nothing listens on.
#ifndef TESTS_SUPPORT_LOOPBACK_SOCKET_H_
#define TESTS_SUPPORT_LOOPBACK_SOCKET_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <string>

namespace testing_support {

// A socket bound to 127.0.0.1 on an ephemeral port; listening when `listening`. The port goes
// to `*port`.
inline int BindLoopback(int* port, bool listening = true) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (listening) listen(fd, 16);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return fd;
}

// The next connection on a listening socket, or -1 when none came within `ms` milliseconds (so
// that a server loop can look at its stop flag in between).
inline int AcceptWithin(int listenFd, int ms) {
  pollfd p{listenFd, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return -1;
  return accept(listenFd, nullptr, nullptr);
}

// Sends everything unless the peer goes away or `stop` is raised (looked at every 50 ms);
// false when not all went.
inline bool SendAllUnlessStopped(int fd, const char* data, size_t size, const std::atomic<bool>& stop) {
  size_t off = 0;
  while (off < size && !stop) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    ssize_t n = send(fd, data + off, size - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return off == size;
}

// Reads until the end of a request head, the peer closes, `stop` is raised or about
// `rounds` x 20 ms have passed.
inline std::string ReadHeadUnlessStopped(int fd, int rounds, const std::atomic<bool>& stop) {
  std::string head;
  char buf[4096];
  for (int i = 0; i < rounds && !stop && head.find("\r\n\r\n") == std::string::npos; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<size_t>(n));
  }
  return head;
}

// A port on 127.0.0.1 that nothing listens on (bound, then closed).
inline int ClosedPort() {
  int port = 0;
  close(BindLoopback(&port, false));
  return port;
}

}  // namespace testing_support

#endif  // TESTS_SUPPORT_LOOPBACK_SOCKET_H_
