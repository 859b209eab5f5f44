#include "demo/demo_site.h"

#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>

namespace demo {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
  void operator()(X509* p) const { X509_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Cert = std::unique_ptr<X509, X509Free>;

// A fresh P-256 key and a self-signed certificate for the site's host names, valid from a day
// ago for a year.
bool MakeCertificate(Pkey& key, Cert& cert) {
  key.reset(EVP_EC_gen("P-256"));
  cert.reset(X509_new());
  if (!key || !cert) return false;
  X509* x = cert.get();
  uint32_t serial = 0;
  RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial);
  X509_set_version(x, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(x), static_cast<long>(serial & 0x7fffffff));
  X509_gmtime_adj(X509_getm_notBefore(x), -86400L);
  X509_gmtime_adj(X509_getm_notAfter(x), 86400L * 365);
  X509_set_pubkey(x, key.get());
  X509_NAME* name = X509_get_subject_name(x);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("videolens demo"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("www.zhihu.com"), -1, -1, 0);
  X509_set_issuer_name(x, name);
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, x, x, nullptr, nullptr, 0);
  X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name,
                                            "DNS:www.zhihu.com,DNS:*.zhihu.com,DNS:zhihu.com,DNS:*.zhimg.com,"
                                            "DNS:*.vzuu.com,DNS:localhost,IP:127.0.0.1");
  if (san == nullptr) return false;
  X509_add_ext(x, san, -1);
  X509_EXTENSION_free(san);
  return X509_sign(x, key.get(), EVP_sha256()) > 0;
}

// Runs every task (one per connection) at once: a worker is made whenever none is free, up to a
// bound far above what the program and a benchmark beside it open, and kept for later tasks.
// The library's fixed pool would let sleeping or idle kept-alive connections queue the rest.
class ElasticPool : public httplib::TaskQueue {
 public:
  explicit ElasticPool(std::size_t max_workers) : max_workers_(max_workers) {}
  ~ElasticPool() override = default;

  void enqueue(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    if (idle_ < tasks_.size() && workers_.size() < max_workers_) {
      workers_.emplace_back([this] { Work(); });
    }
    wake_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      shutdown_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();  // no enqueue after shutdown: the list is fixed
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      ++idle_;
      wake_.wait(lock, [this] { return shutdown_ || !tasks_.empty(); });
      --idle_;
      if (tasks_.empty()) return;  // shut down, and nothing left to run
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  const std::size_t max_workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> workers_;
  std::size_t idle_ = 0;
  bool shutdown_ = false;
};

// The socket of the connection a request came on: the TLS session's, or for a plain request the
// open socket with the request's local and remote ports (the library does not hand it out).
// -1 when none is found.
int ConnectionSocket(const httplib::Request& req) {
  if (req.ssl != nullptr) return SSL_get_fd(req.ssl);
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int found = -1;
  while (dirent* entry = readdir(dir)) {
    int fd = std::atoi(entry->d_name);
    sockaddr_in local{}, peer{};
    socklen_t local_len = sizeof local, peer_len = sizeof peer;
    if (fd <= 2 || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_len) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0 || local.sin_family != AF_INET) {
      continue;
    }
    if (ntohs(local.sin_port) == req.local_port && ntohs(peer.sin_port) == req.remote_port) {
      found = fd;
      break;
    }
  }
  closedir(dir);
  return found;
}

// True once the client has closed its side (or the socket failed); false while it waits.
bool PeerGone(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLRDHUP, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

constexpr std::size_t kFileChunk = 64 * 1024;

// The library listens with a queue of 5 pending connections: a burst (the program opens up to
// six per host at once, the proxy as many towards the site) would see connection requests
// dropped and retried a second later. Listening again on the bound socket widens the queue.
template <class Base>
class WideServer : public Base {
 public:
  using Base::Base;
  bool WidenBacklog() { return ::listen(this->svr_sock_, 1024) == 0; }
};

// Starts `server` on its bound socket in `thread` and waits (bounded) until it accepts.
bool Run(httplib::Server& server, std::thread& thread) {
  thread = std::thread([&server] { server.listen_after_bind(); });
  for (int i = 0; i < 500 && !server.is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return server.is_running();
}

}  // namespace

std::string RecordedRequest::Url() const {
  return scheme + "://" + host + path + (query.empty() ? "" : "?" + query);
}

DemoSite::DemoSite() : content_(std::make_shared<const DemoContent>()) {}

DemoSite::~DemoSite() { Stop(); }

bool DemoSite::Start(uint16_t https_port, uint16_t http_port) {
  signal(SIGPIPE, SIG_IGN);  // a client that leaves mid-answer must not end the process
  {
    std::lock_guard lock(stop_mutex_);
    stopping_ = false;
  }
  Pkey key;
  Cert cert;
  if (!MakeCertificate(key, cert)) return false;
  auto tls_server = std::make_unique<WideServer<httplib::SSLServer>>(cert.get(), key.get());
  if (!tls_server->is_valid()) return false;
  auto plain_server = std::make_unique<WideServer<httplib::Server>>();
  WideServer<httplib::SSLServer>* tls = tls_server.get();
  WideServer<httplib::Server>* plain = plain_server.get();
  https_ = std::move(tls_server);
  http_ = std::move(plain_server);

  for (auto* server : {https_.get(), http_.get()}) {
    std::string scheme = server == https_.get() ? "https" : "http";
    // Each open client connection holds a worker while it is kept alive or waits.
    server->new_task_queue = [] { return new ElasticPool(512); };  // the server deletes it
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(1000);
    server->set_keep_alive_timeout(2);
    server->set_read_timeout(5);
    server->set_write_timeout(5);
    httplib::Server::Handler answer = [this, scheme](const httplib::Request& req, httplib::Response& res) {
      Answer(scheme, req, res);
    };
    // Every method gets the same answer (HEAD comes with GET), so every request is recorded.
    server->Get(".*", answer).Post(".*", answer).Put(".*", answer).Patch(".*", answer);
    server->Delete(".*", answer).Options(".*", answer);
  }
  int tls_port = https_port == 0 ? tls->bind_to_any_port("127.0.0.1")
                                 : (tls->bind_to_port("127.0.0.1", https_port) ? https_port : -1);
  int plain_port = http_port == 0 ? plain->bind_to_any_port("127.0.0.1")
                                  : (plain->bind_to_port("127.0.0.1", http_port) ? http_port : -1);
  if (tls_port <= 0 || plain_port <= 0 || !tls->WidenBacklog() || !plain->WidenBacklog()) {
    https_.reset();
    http_.reset();
    return false;
  }
  https_port_ = static_cast<uint16_t>(tls_port);
  http_port_ = static_cast<uint16_t>(plain_port);
  bool ok = Run(*https_, https_thread_) && Run(*http_, http_thread_);
  if (!ok) Stop();
  return ok;
}

void DemoSite::Stop() {
  {
    std::lock_guard lock(stop_mutex_);
    stopping_ = true;
  }
  stop_signal_.notify_all();  // ends waiting responses and stalled downloads
  for (auto [server, thread] :
       {std::pair{https_.get(), &https_thread_}, std::pair{http_.get(), &http_thread_}}) {
    if (server != nullptr) server->stop();
    if (thread->joinable()) thread->join();
  }
  https_.reset();
  http_.reset();
  https_port_ = http_port_ = 0;
}

void DemoSite::Answer(const std::string& scheme, const httplib::Request& req, httplib::Response& res) {
  RecordedRequest r;
  r.scheme = scheme;
  r.method = req.method;
  r.host = req.get_header_value("Host");
  std::string target = req.target.empty() ? req.path : req.target;
  // A plain request relayed by the proxy keeps its absolute form.
  for (const char* prefix : {"http://", "https://"}) {
    if (target.rfind(prefix, 0) == 0) {
      std::size_t start = std::string_view(prefix).size();
      std::size_t slash = target.find('/', start);
      if (r.host.empty()) r.host = target.substr(start, slash - start);
      target = slash == std::string::npos ? "/" : target.substr(slash);
    }
  }
  std::size_t q = target.find('?');
  r.path = target.substr(0, q);
  if (q != std::string::npos) r.query = target.substr(q + 1);
  r.referer = req.get_header_value("Referer");
  r.user_agent = req.get_header_value("User-Agent");
  for (const auto& [name, value] : req.headers) {
    // The server library files the peer's addresses among the headers; they were not sent.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
      continue;
    r.headers.emplace_back(name, value);
  }
  // The simulated network: nothing of the answer leaves before the latency has passed.
  if (int latency = latency_ms_; latency > 0) Wait(std::chrono::milliseconds(latency));
  Response content = content_->Answer(r.path, req.get_header_value("Cookie"));
  if (content.stall) {
    // Held unanswered: the client's time-out (or the site's end) comes first.
    Wait(std::chrono::seconds(kStallLimitSeconds));
    res.status = 504;
    r.status = 504;
  } else if (content.file != nullptr) {
    r.status = ServeFile(*content.file, req, res);
  } else {
    res.status = content.status;
    res.set_content(content.body, content.content_type.c_str());
    r.status = content.status;
  }
  Record(std::move(r));
}

int DemoSite::ServeFile(const DemoFile& file, const httplib::Request& req, httplib::Response& res) {
  // The library would cut any answer to the request's Range itself, without checking it
  // against the length; the file's answer follows the header instead. The request object is
  // the library's own, not const, so the range list may be emptied.
  const_cast<httplib::Request&>(req).ranges.clear();
  const bool ranges = file.fault != FileFault::kNoRanges;
  RangeRequest range;
  if (ranges && req.has_header("Range")) range = ReadRange(req.get_header_value("Range"), file.length);
  res.set_header("Accept-Ranges", ranges ? "bytes" : "none");
  if (range.kind == RangeRequest::kUnsatisfiable) {
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(file.length));
    return res.status;
  }
  uint64_t first = 0, count = file.length;
  if (range.kind == RangeRequest::kPart) {
    first = range.first;
    count = range.last - range.first + 1;
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                        std::to_string(range.last) + "/" + std::to_string(file.length));
  } else {
    res.status = 200;
  }
  // The faults strike a full answer only, so that a download resumed with a Range completes.
  const bool whole = range.kind != RangeRequest::kPart;
  const FileFault fault = whole ? file.fault : FileFault::kNone;
  const uint64_t cut = fault == FileFault::kReset || fault == FileFault::kStall ? count / 2 : count;
  // The extra bytes cannot be told apart from a next answer, so the connection ends after them.
  if (fault == FileFault::kLongerThanSaid) res.set_header("Connection", "close");
  res.set_content_provider(
      count, "video/mp4",
      [this, &file, first, count, cut, fault, &req](size_t offset, size_t length, httplib::DataSink& sink) {
        if (offset >= cut) {
          if (fault == FileFault::kStall) {
            // Held open with nothing more until the client gives up or the site stops.
            int fd = ConnectionSocket(req);
            while (!PeerGone(fd) && Wait(std::chrono::milliseconds(50))) {
            }
          }
          return false;  // the library closes the connection
        }
        std::size_t n = static_cast<std::size_t>(std::min<uint64_t>({length, kFileChunk, cut - offset}));
        const bool overrun = fault == FileFault::kLongerThanSaid && offset + n == count;
        if (overrun) n += kLongerExtraBytes;
        std::string chunk(n, '\0');
        file.Fill(first + offset, chunk.data(), n);
        // After the extra bytes the connection closes at once instead of idling as kept alive.
        return sink.write(chunk.data(), n) && !overrun;
      });
  return res.status;
}

bool DemoSite::Wait(std::chrono::milliseconds time) const {
  std::unique_lock lock(stop_mutex_);
  return !stop_signal_.wait_for(lock, time, [this] { return stopping_; });
}

void DemoSite::Record(RecordedRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

std::vector<RecordedRequest> DemoSite::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void DemoSite::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool DemoEnvironment::Start(uint16_t proxy_port, int latency_ms) {
  site_.SetLatency(latency_ms);
  if (!site_.Start()) return false;
  if (!proxy_.Start(site_.https_port(), site_.http_port(), proxy_port)) {
    site_.Stop();
    return false;
  }
  return true;
}

void DemoEnvironment::Stop() {
  proxy_.Stop();
  site_.Stop();
}

std::string DemoEnvironment::ProxyUrl() const { return "http://127.0.0.1:" + std::to_string(proxy_.port()); }

ProxyVariables::ProxyVariables(const std::string& proxy_url) {
  auto save = [this](const char* name) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  };
  for (const char* name : {"https_proxy", "HTTPS_PROXY", "http_proxy"}) {
    save(name);
    setenv(name, proxy_url.c_str(), 1);
  }
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    save(name);
    unsetenv(name);
  }
}

ProxyVariables::~ProxyVariables() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
}

}  // namespace demo
