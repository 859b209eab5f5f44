#include "platform/http/http_engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform::http {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";
constexpr long kMaxRedirects = 10;

// The process-wide cache of connections, DNS results and TLS sessions. Cookies are not
// shared: each engine keeps its own.
class SharedCache {
 public:
  static SharedCache& Get() {
    static SharedCache cache;
    return cache;
  }
  CURLSH* share() const { return share_; }

 private:
  SharedCache() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  }
  ~SharedCache() { curl_share_cleanup(share_); }

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCache*>(self)->locks_[Index(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedCache*>(self)->locks_[Index(data)].unlock();
  }
  static size_t Index(curl_lock_data data) {
    size_t i = static_cast<size_t>(data);
    return i < kLocks ? i : 0;
  }

  static constexpr size_t kLocks = CURL_LOCK_DATA_LAST;
  CURLSH* share_ = nullptr;
  std::mutex locks_[kLocks];
};

// Idle transfer handles of engines that have ended, so that a new engine does not pay for a
// new handle and its internal machinery. A handle comes back with its cookies erased.
class HandlePool {
 public:
  static HandlePool& Get() {
    static HandlePool pool;
    return pool;
  }
  CURL* Take() {
    std::lock_guard<std::mutex> lock(mu_);
    if (idle_.empty()) return nullptr;
    CURL* h = idle_.back();
    idle_.pop_back();
    return h;
  }
  void Give(CURL* h) {
    curl_easy_setopt(h, CURLOPT_COOKIELIST, "ALL");
    std::lock_guard<std::mutex> lock(mu_);
    if (idle_.size() < kMaxIdle) {
      idle_.push_back(h);
      return;
    }
    curl_easy_cleanup(h);
  }

 private:
  HandlePool() = default;
  ~HandlePool() {
    for (CURL* h : idle_) curl_easy_cleanup(h);
  }
  static constexpr size_t kMaxIdle = 8;
  std::mutex mu_;
  std::vector<CURL*> idle_;
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

// RFC 9110 token characters.
bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (unsigned char c : s) {
    if (c >= '0' && c <= '9') continue;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') continue;
    if (std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != 0) continue;
    return false;
  }
  return true;
}

bool HasControlByte(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    return c < 0x20 || c == 0x7F;
  });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

struct SList {
  curl_slist* list = nullptr;
  ~SList() { curl_slist_free_all(list); }
  void Add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

}  // namespace

// State of one Send, seen by the transfer library's callbacks.
struct HttpEngine::Transfer {
  HttpEngine* engine = nullptr;
  // Progress bookkeeping for the send and receive time-outs: the clock starts when the
  // connection is ready and restarts whenever a byte moves either way.
  bool connected = false;
  Clock::time_point lastMove;
  curl_off_t lastDown = 0, lastUp = 0;

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    t->engine->body_.append(data, size * count);
    return size * count;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    HttpEngine& e = *t->engine;
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
      // A new response (after a redirect or an interim 1xx): only the last one is kept.
      e.responseHeaders_.clear();
      e.body_.clear();
      e.statusText_.clear();
      size_t sp = line.find(' ');
      if (sp != std::string_view::npos) {
        size_t sp2 = line.find(' ', sp + 1);
        if (sp2 != std::string_view::npos) e.statusText_ = std::string(line.substr(sp2 + 1));
      }
    } else if (!line.empty()) {
      e.responseHeaders_.emplace_back(line);
    }
    return size * count;
  }

  static int OnConnected(void* self, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(self);
    t->connected = true;
    t->lastMove = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
    auto* t = static_cast<Transfer*>(self);
    if (!t->connected) return 0;  // the connect time-out covers this phase
    Clock::time_point now = Clock::now();
    if (dlnow != t->lastDown || ulnow != t->lastUp) {
      t->lastDown = dlnow;
      t->lastUp = ulnow;
      t->lastMove = now;
      return 0;
    }
    bool sending = ultotal > 0 && ulnow < ultotal;
    int32_t limit = sending ? t->engine->sendMs_ : t->engine->receiveMs_;
    if (limit <= 0) return 0;
    return now - t->lastMove > std::chrono::milliseconds(limit) ? 1 : 0;
  }
};

HttpEngine::HttpEngine() {
  CURLSH* share = SharedCache::Get().share();
  HandlePool& pool = HandlePool::Get();  // made after the cache, so it ends before it
  if ((handle_ = pool.Take()) != nullptr) return;
  CURL* h = curl_easy_init();
  handle_ = h;
  // What stays the same for every request of this engine. The handle is never reset, so its
  // cookie store, enabled here once, lives as long as the engine.
  curl_easy_setopt(h, CURLOPT_SHARE, share);
  curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(h, CURLOPT_PROXY_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_PROXY_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(h, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Transfer::OnConnected);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
}

HttpEngine::~HttpEngine() {
  HandlePool::Get().Give(handle_);
  curl_url_cleanup(static_cast<CURLU*>(parsed_));
}

void HttpEngine::SetTimeouts(int32_t resolveMs, int32_t connectMs, int32_t sendMs, int32_t receiveMs) {
  resolveMs_ = resolveMs;
  connectMs_ = connectMs;
  sendMs_ = sendMs;
  receiveMs_ = receiveMs;
}

void HttpEngine::SetProxyFromEnvironment() {
  proxyMode_ = ProxyMode::kEnvironment;
  proxyServer_.clear();
  proxyBypass_.clear();
}

void HttpEngine::SetDirect() {
  proxyMode_ = ProxyMode::kDirect;
  proxyServer_.clear();
  proxyBypass_.clear();
}

bool HttpEngine::SetNamedProxy(std::string_view server, std::string_view bypass) {
  std::string_view s = Trim(server);
  if (s.empty() || HasControlByte(s) || HasControlByte(bypass)) return false;
  proxyMode_ = ProxyMode::kNamed;
  proxyServer_ = std::string(s);
  // The bypass list is separated by ";" here and by "," for the transfer library.
  proxyBypass_.clear();
  for (char c : bypass) proxyBypass_ += (c == ';') ? ',' : c;
  return true;
}

std::string HttpEngine::ProxyForScheme(std::string_view scheme) const {
  if (proxyServer_.find('=') == std::string::npos) return proxyServer_;
  // "http=host:port;https=host:port": the entry for the request's scheme, or none.
  std::string_view rest = proxyServer_;
  while (!rest.empty()) {
    size_t end = rest.find_first_of("; ");
    std::string_view entry = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    size_t eq = entry.find('=');
    if (eq != std::string_view::npos && EqualsIgnoreCase(entry.substr(0, eq), scheme)) {
      return std::string(entry.substr(eq + 1));
    }
  }
  return std::string();
}

std::string HttpEngine::EncodeAddress(std::string_view url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (unsigned char c : url) {
    if (c >= 0x80 || c == ' ') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HttpEngine::Open(std::string_view method, std::string_view url) {
  opened_ = false;
  curl_url_cleanup(static_cast<CURLU*>(parsed_));
  parsed_ = nullptr;
  requestHeaders_.clear();
  ClearResponse();
  if (!IsToken(method) || HasControlByte(url)) return false;
  std::string encoded = EncodeAddress(url);
  CURLU* parsed = curl_url();
  bool ok = curl_url_set(parsed, CURLUPART_URL, encoded.c_str(), 0) == CURLUE_OK;
  std::string scheme;
  if (ok) {
    char* part = nullptr;
    ok = curl_url_get(parsed, CURLUPART_SCHEME, &part, 0) == CURLUE_OK;
    if (ok) scheme = ToLowerAscii(part);
    curl_free(part);
  }
  if (!ok || (scheme != "http" && scheme != "https")) {
    curl_url_cleanup(parsed);
    return false;
  }
  // Kept for Send, so that the transfer does not parse the address a second time.
  parsed_ = parsed;
  method_ = std::string(method);
  scheme_ = std::move(scheme);
  opened_ = true;
  return true;
}

bool HttpEngine::SetRequestHeader(std::string_view name, std::string_view value) {
  if (!opened_ || !IsToken(name)) return false;
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  value = Trim(value);
  for (auto& [n, v] : requestHeaders_) {
    if (EqualsIgnoreCase(n, name)) {
      v = std::string(value);
      return true;
    }
  }
  requestHeaders_.emplace_back(std::string(name), std::string(value));
  return true;
}

void HttpEngine::ClearResponse() {
  hasResponse_ = false;
  status_ = 0;
  statusText_.clear();
  responseHeaders_.clear();
  body_.clear();
}

bool HttpEngine::Send(std::string_view body) {
  ClearResponse();
  lastError_.clear();
  if (!opened_) {
    lastError_ = "the request is not open";
    return false;
  }
  CURL* h = handle_;
  // Every option that can differ between requests is set here, each time.
  Transfer transfer;
  transfer.engine = this;
  char errors[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors);
  curl_easy_setopt(h, CURLOPT_URL, nullptr);  // no address left from an earlier transfer
  curl_easy_setopt(h, CURLOPT_CURLU, static_cast<CURLU*>(parsed_));
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);

  // Time-outs.
  long connectLimit = 0;
  if (connectMs_ > 0) connectLimit = connectMs_ + (resolveMs_ > 0 ? resolveMs_ : 0);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);

  // Proxy: null options fall back to the standard environment variables.
  std::string proxy;
  switch (proxyMode_) {
    case ProxyMode::kEnvironment:
      curl_easy_setopt(h, CURLOPT_PROXY, nullptr);
      curl_easy_setopt(h, CURLOPT_NOPROXY, nullptr);
      break;
    case ProxyMode::kDirect:
      curl_easy_setopt(h, CURLOPT_PROXY, "");
      curl_easy_setopt(h, CURLOPT_NOPROXY, nullptr);
      break;
    case ProxyMode::kNamed:
      proxy = ProxyForScheme(scheme_);
      curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());  // copied by the library
      curl_easy_setopt(h, CURLOPT_NOPROXY, proxyBypass_.c_str());
      break;
  }

  // Certificates: the mask relaxes the site's checks only; a proxy is always verified.
  constexpr uint32_t kChainFlags = kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreCertDateInvalid;
  bool relaxChain = (certMask_ & kChainFlags) == kChainFlags;
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, relaxChain ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, (certMask_ & kIgnoreCertNameInvalid) ? 0L : 2L);

  // Method and body.
  bool bodyBearing = !body.empty() || method_ == "POST" || method_ == "PUT";
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
  if (method_ == "HEAD") {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  } else if (bodyBearing) {
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
    if (method_ != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method_.c_str());
  } else {
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    if (method_ != "GET") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method_.c_str());
  }

  // Headers: the caller's go to the site, Proxy-Authorization to the proxy only. The
  // library's own Accept, Expect and form Content-Type are not added.
  SList siteHeaders, proxyHeaders;
  bool hasAccept = false, hasExpect = false, hasContentType = false, hasUserAgent = false;
  for (const auto& [name, value] : requestHeaders_) {
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    if (EqualsIgnoreCase(name, "Proxy-Authorization")) {
      proxyHeaders.Add(line);
      continue;
    }
    hasAccept |= EqualsIgnoreCase(name, "Accept");
    hasExpect |= EqualsIgnoreCase(name, "Expect");
    hasContentType |= EqualsIgnoreCase(name, "Content-Type");
    hasUserAgent |= EqualsIgnoreCase(name, "User-Agent");
    siteHeaders.Add(line);
  }
  if (!hasAccept) siteHeaders.Add("Accept:");
  if (!hasExpect) siteHeaders.Add("Expect:");
  if (!hasContentType && bodyBearing) siteHeaders.Add("Content-Type:");
  curl_easy_setopt(h, CURLOPT_USERAGENT, hasUserAgent ? nullptr : kDefaultUserAgent);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, siteHeaders.list);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, proxyHeaders.list);

  CURLcode rc = curl_easy_perform(h);
  long code = 0;
  if (rc == CURLE_OK) curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
  // Nothing set above may outlive this call.
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(h, CURLOPT_CURLU, nullptr);
  if (rc != CURLE_OK || code <= 0) {
    lastError_ = errors[0] ? errors : curl_easy_strerror(rc);
    ClearResponse();
    return false;
  }
  hasResponse_ = true;
  status_ = static_cast<int32_t>(code);
  return true;
}

std::string HttpEngine::AllResponseHeaders() const {
  if (!hasResponse_) return std::string();
  std::string out;
  for (const std::string& line : responseHeaders_) {
    out += line;
    out += "\r\n";
  }
  out += "\r\n";
  return out;
}

std::optional<std::string> HttpEngine::ResponseHeader(std::string_view name) const {
  for (const std::string& line : responseHeaders_) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsIgnoreCase(Trim(std::string_view(line).substr(0, colon)), name)) {
      return std::string(Trim(std::string_view(line).substr(colon + 1)));
    }
  }
  return std::nullopt;
}

}  // namespace platform::http
