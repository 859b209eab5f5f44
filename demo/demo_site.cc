#include "demo/demo_site.h"

#include <httplib.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>

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
  Pkey key;
  Cert cert;
  if (!MakeCertificate(key, cert)) return false;
  auto tls = std::make_unique<httplib::SSLServer>(cert.get(), key.get());
  if (!tls->is_valid()) return false;
  https_ = std::move(tls);
  http_ = std::make_unique<httplib::Server>();

  for (auto* server : {https_.get(), http_.get()}) {
    std::string scheme = server == https_.get() ? "https" : "http";
    // Each open client connection holds a worker while it is kept alive; allow a few more than
    // the library's default.
    server->new_task_queue = [] { return new httplib::ThreadPool(16); };  // the server owns it
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(1000);
    server->set_keep_alive_timeout(2);
    server->set_read_timeout(5);
    server->set_write_timeout(5);
    httplib::Server::Handler answer = [this, scheme](const httplib::Request& req, httplib::Response& res) {
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
      Response content = content_->Answer(r.path);
      res.status = content.status;
      res.set_content(content.body, content.content_type.c_str());
      r.status = content.status;
      Record(std::move(r));
    };
    // Every method gets the same answer (HEAD comes with GET), so every request is recorded.
    server->Get(".*", answer).Post(".*", answer).Put(".*", answer).Patch(".*", answer);
    server->Delete(".*", answer).Options(".*", answer);
  }
  int tls_port = https_port == 0 ? https_->bind_to_any_port("127.0.0.1")
                                 : (https_->bind_to_port("127.0.0.1", https_port) ? https_port : -1);
  int plain_port = http_port == 0 ? http_->bind_to_any_port("127.0.0.1")
                                  : (http_->bind_to_port("127.0.0.1", http_port) ? http_port : -1);
  if (tls_port <= 0 || plain_port <= 0) {
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
  for (auto [server, thread] :
       {std::pair{https_.get(), &https_thread_}, std::pair{http_.get(), &http_thread_}}) {
    if (server != nullptr) server->stop();
    if (thread->joinable()) thread->join();
  }
  https_.reset();
  http_.reset();
  https_port_ = http_port_ = 0;
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

bool DemoEnvironment::Start(uint16_t proxy_port) {
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
