// The servers behind ScriptedServers (tests/support/scripted_servers.h), hosted in this process:
// what the test-servers program runs beside the Windows tests and the Linux tests start in their
// own process. Linux only (cpp-httplib, OpenSSL, POSIX sockets).
//
// Ownership: the set owns every server and its threads; the destructor stops them all.
#ifndef TESTS_SUPPORT_SCRIPTED_SERVER_SET_H_
#define TESTS_SUPPORT_SCRIPTED_SERVER_SET_H_

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/local_servers.h"
#include "tests/support/scripted_servers.h"

namespace testing_support {

// A listening socket on 127.0.0.1 whose connections are each served on a thread of their own
// (tests in several processes share it) by a fixed behaviour, which must watch `stop`.
class SocketBehaviourServer {
 public:
  using Behaviour = std::function<void(int fd, const std::atomic<bool>& stop)>;
  explicit SocketBehaviourServer(Behaviour behaviour);
  SocketBehaviourServer(const SocketBehaviourServer&) = delete;
  SocketBehaviourServer& operator=(const SocketBehaviourServer&) = delete;
  ~SocketBehaviourServer();
  int port() const { return port_; }

 private:
  void Run();
  Behaviour behaviour_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::vector<std::thread> connections_;
  std::thread thread_;
};

class ScriptedServerSet {
 public:
  ScriptedServerSet();
  ScriptedServerSet(const ScriptedServerSet&) = delete;
  ScriptedServerSet& operator=(const ScriptedServerSet&) = delete;
  ~ScriptedServerSet();
  // Zero ports when the certificate could not be made.
  const ScriptedServers& ports() const { return ports_; }

 private:
  void AddRoutes(LocalServer& server);

  std::mutex mu_;
  std::map<std::string, std::pair<int, int>> held_;  // /slow's key: now, most
  LocalServer http_;
  LocalServer https_{true};
  std::unique_ptr<LocalProxy> proxyAuth_, proxyOpen_;
  std::vector<std::unique_ptr<SocketBehaviourServer>> sockets_;
  ScriptedServers ports_;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_SCRIPTED_SERVER_SET_H_
