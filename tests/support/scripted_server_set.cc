#include "tests/support/scripted_server_set.h"

#include <algorithm>
#include <chrono>

namespace testing_support {
namespace {

using std::chrono::milliseconds;

// Holds the connection open for up to `limit`, returning early when `stop` is raised or the
// peer closes.
void Hold(int fd, milliseconds limit, const std::atomic<bool>& stop) {
  auto end = std::chrono::steady_clock::now() + limit;
  char buf[512];
  while (!stop && std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    if (recv(fd, buf, sizeof buf, 0) <= 0) return;
  }
}

// Copies bytes both ways until either side closes, for at most about five seconds.
void Pump(int a, int b, const std::atomic<bool>& stop) {
  char buf[16384];
  for (int i = 0; i < 500 && !stop; ++i) {
    pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    if (poll(p, 2, 10) <= 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (!(p[k].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = recv(p[k].fd, buf, sizeof buf, 0);
      if (n <= 0 || !SendAllUnlessStopped(p[1 - k].fd, buf, static_cast<size_t>(n), stop)) return;
    }
  }
}

int ConnectLoopback(int port) {
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

// A route's pattern that also takes the absolute form ("https://host:port/path"), which a
// request through a proxy may keep inside its tunnel.
std::string Route(const std::string& pattern) { return "(?:https?://[^/]+)?" + pattern; }

// The path in origin form.
std::string OriginPath(const std::string& path) {
  size_t scheme = path.find("://");
  if (scheme == std::string::npos || path[0] == '/') return path;
  size_t slash = path.find('/', scheme + 3);
  return slash == std::string::npos ? "/" : path.substr(slash);
}

// The X-Echo header of every answer: what the server saw.
void Echo(const httplib::Request& req, httplib::Response& res) {
  std::vector<std::pair<std::string, std::string>> headers;
  // httplib keeps the headers sorted by name; among one name, in the order they came.
  for (const auto& [k, v] : req.headers) {
    if (k != "REMOTE_ADDR" && k != "REMOTE_PORT" && k != "LOCAL_ADDR" && k != "LOCAL_PORT")
      headers.emplace_back(k, v);
  }
  res.set_header("X-Echo", EchoedRequest::Encode(req.method, OriginPath(req.path), req.remote_port, headers));
}

}  // namespace

SocketBehaviourServer::SocketBehaviourServer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
  fd_ = BindLoopback(&port_);
  thread_ = std::thread([this] { Run(); });
}

SocketBehaviourServer::~SocketBehaviourServer() {
  stop_ = true;
  thread_.join();
  for (std::thread& t : connections_) t.join();
  close(fd_);
}

void SocketBehaviourServer::Run() {
  while (!stop_) {
    int c = AcceptWithin(fd_, 50);
    if (c < 0) continue;
    std::lock_guard<std::mutex> lock(mu_);
    connections_.emplace_back([this, c] {
      behaviour_(c, stop_);
      close(c);
    });
  }
}

ScriptedServerSet::ScriptedServerSet() {
  if (!TestCertificate::Get().ok()) return;
  for (LocalServer* s : {&http_, &https_}) {
    // Tests in several processes share the servers; stalls and slow answers each hold a thread.
    (*s)->new_task_queue = [] { return new httplib::ThreadPool(64); };  // owned by the server
    AddRoutes(*s);
    s->Start();
  }
  proxyAuth_ = std::make_unique<LocalProxy>("Basic dTpw");
  proxyOpen_ = std::make_unique<LocalProxy>("");
  auto add = [this](SocketBehaviourServer::Behaviour b) {
    sockets_.push_back(std::make_unique<SocketBehaviourServer>(std::move(b)));
    return sockets_.back()->port();
  };
  int httpsPort = https_.port();
  ports_.slowTls = add([httpsPort](int fd, const std::atomic<bool>& stop) {
    for (int i = 0; i < 80 && !stop; ++i) std::this_thread::sleep_for(milliseconds(10));
    int up = ConnectLoopback(httpsPort);
    if (up < 0) return;
    Pump(fd, up, stop);
    close(up);
  });
  // Reads nothing either, so that a large request body stops going out.
  ports_.silent = add([](int, const std::atomic<bool>& stop) {
    for (int i = 0; i < 500 && !stop; ++i) std::this_thread::sleep_for(milliseconds(10));
  });
  ports_.garbage = add([](int fd, const std::atomic<bool>& stop) {
    Hold(fd, milliseconds(100), stop);  // takes the client hello, or the request
    const std::string junk = "this is no TLS server\r\n\r\n";
    SendAllUnlessStopped(fd, junk.data(), junk.size(), stop);
    Hold(fd, milliseconds(200), stop);
  });
  ports_.cut = add([](int fd, const std::atomic<bool>& stop) {
    ReadHeadUnlessStopped(fd, 100, stop);
    const std::string half = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf";
    SendAllUnlessStopped(fd, half.data(), half.size(), stop);
  });
  ports_.http = http_.port();
  ports_.https = https_.port();
  ports_.proxyAuth = proxyAuth_->port();
  ports_.proxyOpen = proxyOpen_->port();
  ports_.closed = ClosedPort();
}

ScriptedServerSet::~ScriptedServerSet() = default;

void ScriptedServerSet::AddRoutes(LocalServer& server) {
  auto echo = [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.set_header("X-Reply", "yes");
    res.set_content("body:" + req.body, "text/plain");
  };
  server->Get(Route("/echo"), echo);
  server->Post(Route("/echo"), echo);
  server->Put(Route("/echo"), echo);
  server->Get(Route(R"(/p.*)"), echo);
  server->Get(Route("/redirect"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.set_header("Set-Cookie", "r=1; Path=/");
    res.set_redirect("/final", 302);
  });
  server->Get(Route("/final"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.set_header("Set-Cookie", "f=2");
    res.set_content("final", "text/plain");
  });
  server->Get(Route("/redirect-to"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.set_redirect(req.get_param_value("to"), 302);
  });
  server->Get(Route(R"(/hops/(\d+))"), [](const httplib::Request& req, httplib::Response& res) {
    int left = std::stoi(req.matches[1].str());
    if (left == 0) {
      res.set_content("final", "text/plain");
    } else {
      res.set_redirect("/hops/" + std::to_string(left - 1), 302);
    }
  });
  server->Get(Route("/to-file"), [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/hostname", 302);
  });
  server->Get(Route("/set-cookie"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.set_header("Set-Cookie", "s=1");
    res.set_content("ok", "text/plain");
  });
  server->Get(Route(R"(/status/(\d+))"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.status = std::stoi(req.matches[1].str());
    // A body after 204 or 304 would be read as the start of the connection's next answer.
    if (res.status != 204 && res.status != 304) res.set_content("x", "text/plain");
  });
  server->Get(Route("/stall"), [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(milliseconds(3000));
    res.set_content("late", "text/plain");
  });
  // Six pieces, 300 ms apart: slower in total than a receive time-out of 700 ms, never idle as long.
  server->Get(Route("/trickle"), [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= 6) {
        sink.done();
        return true;
      }
      std::this_thread::sleep_for(milliseconds(300));
      sink.write("x", 1);
      return true;
    });
  });
  server->Get(Route("/hello"), [](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    res.status = 201;
    res.set_content("\xE4\xB8\xAD", "text/plain");  // one Chinese character in UTF-8
  });
  server->Get(Route("/slow"), [this](const httplib::Request& req, httplib::Response& res) {
    Echo(req, res);
    std::string key = req.get_param_value("key");
    {
      std::lock_guard<std::mutex> lock(mu_);
      auto& [now, most] = held_[key];
      most = std::max(most, ++now);
    }
    std::this_thread::sleep_for(milliseconds(400));
    {
      std::lock_guard<std::mutex> lock(mu_);
      --held_[key].first;
    }
    res.set_content("done", "text/plain");
  });
  server->Get(Route("/most"), [this](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mu_);
    res.set_content(std::to_string(held_[req.get_param_value("key")].second), "text/plain");
  });
}

}  // namespace testing_support
