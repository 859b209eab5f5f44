// The request engine over WinHTTP's flat API, for the Windows build.
//
// Each request runs on a worker thread (kept for the next request) with WinHTTP's synchronous
// calls, one hop at a time. A request is handed to a worker only once a connection slot to its
// host is free: at most kMaxConnectionsPerHost hops to one host run at once, the others wait
// without a thread. The engine follows redirects itself (WinHTTP's own following is switched
// off), so that it keeps the cookies of every hop in the engine's own store (WinHTTP's store is
// switched off too: its session is shared by all engines, for the connection cache), sends them
// with the request's own in one Cookie line, refuses a redirect to another scheme than http or
// https and, unless allowed, one from https to http, and bounds each hop's connection anew.
//
// Phase time-outs are kept by the loop's watchdog thread, not left to WinHTTP (Wine does not
// enforce its receive time-out): a transfer's deadline moves with each piece of progress the
// worker and WinHTTP's notifications report, and a transfer past it, or aborted, ends at once.
// The worker blocked in WinHTTP is not interrupted (closing a handle another thread is inside of
// could hand its number to a new handle before that thread is done with it); it notices the end
// when the call returns, drops what it got and closes its handles. WinHTTP's own time-outs are
// set as well, so it does not block for ever where the platform enforces them.
#include "platform/http/http_engine.h"

#include <windows.h>
// After windows.h.
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/event_loop.h"
#include "platform/http/cookie_jar.h"
#include "platform/http/header_lines.h"
#include "platform/http/http_address.h"
#include "platform/http/request_failure.h"
#include "platform/http/response_sink.h"

namespace platform::http {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxConnectionsPerHost = 6;
// The certificate error mask relaxes the chain check only when it names all of these.
constexpr uint32_t kChainFlags = kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreCertDateInvalid;
constexpr int kMaxRedirects = 10;
constexpr size_t kChunk = 16384;
// How often the watchdog looks at the running transfers; far below any time-out worth setting.
constexpr int kWatchdogTickMs = 20;
// How long an idle worker thread waits for the next request before it ends.
constexpr int kIdleWorkerMs = 30000;
// How long the program's end waits for workers to leave. A worker still inside WinHTTP then
// holds only what it shares (the loop's state, its transfer), and finds its transfer ended when
// the call returns: it need not be waited for.
constexpr int kWorkerDrainMs = 100;
// How long a wait on the GUI thread blocks before it lets events run: far below what a user sees.
constexpr int kQuickAnswerMs = 2;

enum class TransferEnd { kRunning, kComplete, kFailed, kAborted };

// Where a hop stands, for the kind of a time-out: until the request starts going out (resolve,
// connect, TLS, a wait for a free connection), while it goes out, and after.
enum class Phase { kConnecting, kSending, kReceiving };

// Bytes to WinHTTP's UTF-16: UTF-8 when they are, each byte as its own character otherwise.
std::wstring Widen(std::string_view s) {
  if (s.empty()) return std::wstring();
  int n =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n > 0) {
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
  }
  std::wstring out;
  for (unsigned char c : s) out += static_cast<wchar_t>(c);
  return out;
}

// The reverse: text WinHTTP decoded byte by byte goes back byte by byte, anything wider as UTF-8.
std::string Narrow(std::wstring_view s) {
  if (std::all_of(s.begin(), s.end(), [](wchar_t c) { return c < 0x100; })) {
    std::string out;
    for (wchar_t c : s) out += static_cast<char>(c);
    return out;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string ErrorText(const char* call, DWORD code) {
  const char* what = "";
  switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      what = ": could not connect";
      break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      what = ": name not resolved";
      break;
    case ERROR_WINHTTP_TIMEOUT:
      what = ": timed out";
      break;
    case ERROR_WINHTTP_SECURE_FAILURE:
      what = ": certificate or TLS failure";
      break;
    case ERROR_WINHTTP_CONNECTION_ERROR:
      what = ": connection reset";
      break;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      what = ": invalid response";
      break;
    default:
      break;
  }
  return std::string(call) + " failed, error " + std::to_string(code) + what;
}

// The server certificate of the connection `request` went out on, checked here: a connection a
// request opened with certificate errors ignored is kept and handed to the next request to the
// same host (under Wine, whatever that request's own security flags say), so a request that
// checks cannot rely on WinHTTP's check at the connection's start. `ignoreName`: a certificate
// for another name passes.
bool CertificateTrusted(HINTERNET request, const std::string& host, bool ignoreName) {
  PCCERT_CONTEXT cert = nullptr;
  DWORD size = sizeof cert;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || cert == nullptr)
    return false;
  bool trusted = false;
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain)) {
    std::wstring name = Widen(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = ignoreName ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
              status.dwError == 0;
    CertFreeCertificateChain(chain);
  }
  CertFreeCertificateContext(cert);
  return trusted;
}

// Connections are bounded per scheme, host and port.
std::string SlotKey(const HttpAddress& a) {
  return a.scheme() + "://" + a.host + ":" + std::to_string(a.port);
}

bool IsFollowedRedirect(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// ---- Proxies -------------------------------------------------------------------------------

// "scheme://host:port/" to "host:port", as WinHTTP names a proxy.
std::string ProxyHostPort(std::string_view proxy) {
  proxy = TrimBlanks(proxy);
  size_t scheme = proxy.find("://");
  if (scheme != std::string_view::npos) proxy = proxy.substr(scheme + 3);
  while (!proxy.empty() && proxy.back() == '/') proxy.remove_suffix(1);
  return std::string(proxy);
}

// A name for the proxy at `hostPort` that differs from `target`, the host the request goes to:
// WinHTTP tells a proxied request from a direct one by the two names alone, and sends a request
// to a proxy that shares the site's name (a proxy on the same machine) without its absolute
// address. An IPv4 address is written as one number, any other name with a closing dot: both
// reach the same place.
std::string DistinctProxyName(const std::string& hostPort, std::string_view target) {
  size_t colon = hostPort.rfind(':');
  std::string host = hostPort.substr(0, colon);
  std::string port = colon == std::string::npos ? std::string() : hostPort.substr(colon);
  if (!EqualsIgnoreCase(host, target)) return hostPort;
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) == 4 &&
      std::all_of(parts, parts + 4, [](unsigned p) { return p < 256; })) {
    uint32_t value = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
    return std::to_string(value) + port;
  }
  if (host.empty() || host.front() == '[' || host.back() == '.') return hostPort;
  return host + "." + port;
}

std::string Environment(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string DecodeBase64(std::string_view in) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : in) {
    int v = c >= 'A' && c <= 'Z'   ? c - 'A'
            : c >= 'a' && c <= 'z' ? c - 'a' + 26
            : c >= '0' && c <= '9' ? c - '0' + 52
            : c == '+'             ? 62
            : c == '/'             ? 63
                                   : -1;
    if (v < 0) break;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace

// ---- EasyHandle: the engine's cookie store ---------------------------------------------------

// The cookies one engine's responses set, kept across its requests and shared with its running
// transfer (which may outlive the engine).
class EasyHandle : public CookieJar {
 public:
  static std::shared_ptr<EasyHandle> Acquire() { return std::make_shared<EasyHandle>(); }
};

// ---- Transfer ------------------------------------------------------------------------------

// One request's configuration, progress and result, shared by the engine, the worker that runs
// it and the loop's watchdog. The configuration is written before Start and then only read; the
// result is written once, by End, under the mutex, and read by the engine once Ended().
class Transfer {
 public:
  // Configuration.
  std::string method;
  HttpAddress address;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> cookieLine;
  std::string userAgent;
  bool followRedirects = true;
  bool httpsToHttp = false;
  uint32_t certMask = 0;
  int32_t resolveMs = 0, connectMs = 0, sendMs = 0, receiveMs = 0;
  ProxyMode proxyMode = ProxyMode::kEnvironment;
  std::string proxyServer, proxyBypass;  // kNamed: the server for this scheme and the bypass list
  std::shared_ptr<EasyHandle> cookies;
  std::shared_ptr<ResponseSink> sink;
  std::function<void()> onEnded;

  // Result.
  int32_t status = 0;
  std::string statusText;
  std::vector<std::string> responseHeaders;
  std::string responseBody;
  std::string error;
  RequestFailure failure = RequestFailure::kNone;
  std::string effectiveUrl;
  std::atomic<int64_t> received{0};
  std::atomic<int64_t> expected{-1};

  bool Ended() const { return end_.load(std::memory_order_acquire) != TransferEnd::kRunning; }
  TransferEnd end() const { return end_.load(std::memory_order_acquire); }

  bool Wait(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mu_);
    auto ended = [this] { return Ended(); };
    if (timeoutMs < 0) {
      ended_.wait(lock, ended);
      return true;
    }
    return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended);
  }

  // The time to a connection (waiting for a free one included): connect and resolve together.
  int32_t ConnectLimit() const { return connectMs > 0 ? connectMs + std::max<int32_t>(resolveMs, 0) : 0; }
  // The phase deadline: from now, `limitMs` (0 or less: none).
  void Progress(int32_t limitMs) {
    std::lock_guard<std::mutex> lock(mu_);
    deadline_ = limitMs > 0 ? Clock::now() + std::chrono::milliseconds(limitMs) : Clock::time_point::max();
  }
  Clock::time_point deadline() const {
    std::lock_guard<std::mutex> lock(mu_);
    return deadline_;
  }

  // Runs a call to the sink unless the transfer has ended; false when it has (or the sink
  // refused). The end waits for a sink call in progress, so onEnded runs after the last one.
  template <typename F>
  bool CallSink(F&& call) {
    std::lock_guard<std::mutex> lock(sinkMu_);
    if (Ended()) return false;
    return call(*sink);
  }

  // Ends the transfer, once: a second end (a worker that returns after a time-out) does nothing.
  // `fill` writes the result under the lock. `wake`: also wake the GUI thread's event loop.
  template <typename F>
  bool End(TransferEnd how, F&& fill, bool wake) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (Ended()) return false;
      fill(*this);
      if (how != TransferEnd::kComplete) {
        status = 0;
        statusText.clear();
        responseHeaders.clear();
        responseBody.clear();
        effectiveUrl.clear();
        if (error.empty()) error = "failed";
        if (failure == RequestFailure::kNone) failure = RequestFailure::kOther;
      }
      end_.store(how, std::memory_order_release);
    }
    ended_.notify_all();
    if (wake) WakeEventLoop();
    { std::lock_guard<std::mutex> sinkDone(sinkMu_); }
    if (onEnded) onEnded();
    return true;
  }
  bool Fail(TransferEnd how, std::string why, RequestFailure kind, bool wake) {
    return End(
        how,
        [&why, kind](Transfer& t) {
          t.error = std::move(why);
          t.failure = kind;
        },
        wake);
  }
  // Ends the transfer at its phase's deadline.
  bool TimeOut() {
    Phase p = phase.load();
    RequestFailure kind = p == Phase::kConnecting ? RequestFailure::kConnectTimeout
                          : p == Phase::kSending  ? RequestFailure::kSendTimeout
                                                  : RequestFailure::kReceiveTimeout;
    return Fail(TransferEnd::kFailed, "Operation timed out: no progress within the time-out", kind, true);
  }

  std::atomic<bool> cancelRequested{false};
  // The worker is writing the request body: WinHTTP's notifications do not end the send phase.
  std::atomic<bool> sendingBody{false};
  std::atomic<Phase> phase{Phase::kConnecting};
  // The hop goes through a proxy: a connection that fails is the proxy's.
  std::atomic<bool> throughProxy{false};

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable ended_;
  std::mutex sinkMu_;
  Clock::time_point deadline_ = Clock::time_point::max();
  std::atomic<TransferEnd> end_{TransferEnd::kRunning};
};

namespace {

// ---- The loop: WinHTTP session, workers, host slots, watchdog ---------------------------------

// WinHTTP's notifications on the worker's thread, inside its calls: the connection is ready
// (TLS included) when the request starts going out, and each step of the response is progress.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* t = reinterpret_cast<Transfer*>(context);
  if (t == nullptr) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      t->phase = Phase::kSending;
      t->Progress(t->sendMs);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
    case WINHTTP_CALLBACK_STATUS_RECEIVING_RESPONSE:
    case WINHTTP_CALLBACK_STATUS_RESPONSE_RECEIVED:
      if (!t->sendingBody) t->phase = Phase::kReceiving;
      t->Progress(t->sendingBody ? t->sendMs : t->receiveMs);
      break;
    default:
      break;
  }
}

// The process-wide state every worker shares; workers hold it by shared_ptr, so a worker still
// inside WinHTTP at the program's end never reaches a destroyed object.
class LoopState {
 public:
  LoopState() {
    session_ =
        WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    // Handles made later inherit it.
    if (session_ != nullptr) {
      WinHttpSetStatusCallback(session_, &OnStatus,
                               WINHTTP_CALLBACK_FLAG_SEND_REQUEST | WINHTTP_CALLBACK_FLAG_RECEIVE_RESPONSE,
                               0);
    }
  }
  ~LoopState() {
    for (auto& [proxy, s] : proxySessions_) {
      if (s != nullptr) WinHttpCloseHandle(s);
    }
    if (session_ != nullptr) WinHttpCloseHandle(session_);
  }
  // The session of the direct hops, and the one of each named proxy (a proxy set on a request
  // handle alone is not honoured everywhere); each keeps its own connection cache.
  HINTERNET session() const { return session_; }
  HINTERNET ProxySession(const std::wstring& proxy) {
    std::lock_guard<std::mutex> lock(mu_);
    HINTERNET& s = proxySessions_[proxy];
    if (s == nullptr) {
      s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0);
      if (s != nullptr) {
        WinHttpSetStatusCallback(
            s, &OnStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST | WINHTTP_CALLBACK_FLAG_RECEIVE_RESPONSE, 0);
      }
    }
    return s;
  }

  // Waits for a connection slot to `key`; false when the transfer ends meanwhile.
  bool AcquireSlot(const std::string& key, const Transfer& t) {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      int& used = slots_[key];
      if (used < kMaxConnectionsPerHost) {
        ++used;
        return true;
      }
      if (t.Ended()) return false;
      slotFreed_.wait_for(lock, std::chrono::milliseconds(kWatchdogTickMs));
    }
  }
  // Gives up a slot to `key`: to the next request waiting for one, or back.
  static void ReleaseSlot(const std::shared_ptr<LoopState>& self, const std::string& key) {
    {
      std::lock_guard<std::mutex> lock(self->mu_);
      auto waiting = self->waiting_.find(key);
      if (waiting != self->waiting_.end()) {
        std::function<void()> task = std::move(waiting->second.front());
        waiting->second.pop_front();
        if (waiting->second.empty()) self->waiting_.erase(waiting);
        self->PostLocked(self, std::move(task));  // the slot passes to it
        return;
      }
      if (--self->slots_[key] == 0) self->slots_.erase(key);
    }
    self->slotFreed_.notify_all();
  }
  // Runs `task` on a worker once a slot to `key` is free, holding it: a request waiting for its
  // host takes no thread.
  static void RunWithSlot(const std::shared_ptr<LoopState>& self, const std::string& key,
                          std::function<void()> task) {
    std::lock_guard<std::mutex> lock(self->mu_);
    int& used = self->slots_[key];
    if (used < kMaxConnectionsPerHost) {
      ++used;
      self->PostLocked(self, std::move(task));
    } else {
      self->waiting_[key].push_back(std::move(task));
    }
  }

  // The system's proxy settings, read once.
  const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& SystemProxy() {
    std::call_once(systemProxyOnce_, [this] {
      if (!WinHttpGetIEProxyConfigForCurrentUser(&systemProxy_)) systemProxy_ = {};
      if (systemProxy_.lpszProxy != nullptr) systemProxyServer_ = systemProxy_.lpszProxy;
      if (systemProxy_.lpszProxyBypass != nullptr) systemProxyBypass_ = systemProxy_.lpszProxyBypass;
      if (systemProxy_.lpszAutoConfigUrl != nullptr) systemAutoConfig_ = systemProxy_.lpszAutoConfigUrl;
      for (LPWSTR s :
           {systemProxy_.lpszProxy, systemProxy_.lpszProxyBypass, systemProxy_.lpszAutoConfigUrl}) {
        if (s != nullptr) GlobalFree(s);
      }
      systemProxy_.lpszProxy = systemProxyServer_.empty() ? nullptr : systemProxyServer_.data();
      systemProxy_.lpszProxyBypass = systemProxyBypass_.empty() ? nullptr : systemProxyBypass_.data();
      systemProxy_.lpszAutoConfigUrl = systemAutoConfig_.empty() ? nullptr : systemAutoConfig_.data();
    });
    return systemProxy_;
  }

  // Automatic proxy configuration: what it gave for an origin ("" for none), and whether there is
  // any to be found.
  bool AutoProxyAvailable() const { return !noAutoProxy_.load(); }
  void NoAutoProxy() { noAutoProxy_ = true; }
  std::optional<std::wstring> KnownAutoProxy(const std::string& origin) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = autoProxies_.find(origin);
    if (it == autoProxies_.end()) return std::nullopt;
    return it->second;
  }
  void KeepAutoProxy(const std::string& origin, std::wstring proxy) {
    std::lock_guard<std::mutex> lock(mu_);
    autoProxies_[origin] = std::move(proxy);
  }

  // Runs `task` on an idle worker thread, or on a new one (a thread costs more than a request
  // to a nearby server). Workers hold the state, so that one still inside WinHTTP at the
  // program's end never reaches a destroyed object. REQUIRES: mu_ held.
  void PostLocked(const std::shared_ptr<LoopState>& self, std::function<void()> task) {
    tasks_.push_back(std::move(task));
    if (tasks_.size() > idle_) {
      ++workers_;
      std::thread([self] { self->Serve(); }).detach();
    } else {
      taskReady_.notify_one();
    }
  }

  // Lets idle workers go and waits (bounded) for the busy ones.
  void Stop(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mu_);
    stopping_ = true;
    taskReady_.notify_all();
    slotFreed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return workers_ == 0; });
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      if (tasks_.empty()) {
        ++idle_;
        bool woken = taskReady_.wait_for(lock, std::chrono::milliseconds(kIdleWorkerMs),
                                         [this] { return !tasks_.empty() || stopping_; });
        --idle_;
        if (!woken || tasks_.empty()) break;
      }
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      task = nullptr;
      lock.lock();
    }
    --workers_;
    slotFreed_.notify_all();
  }

  HINTERNET session_ = nullptr;
  std::mutex mu_;
  std::condition_variable slotFreed_;
  std::map<std::string, int> slots_;
  std::map<std::string, std::deque<std::function<void()>>> waiting_;
  std::map<std::wstring, HINTERNET> proxySessions_;
  std::map<std::string, std::wstring> autoProxies_;
  std::atomic<bool> noAutoProxy_{false};
  std::deque<std::function<void()>> tasks_;
  std::condition_variable taskReady_;
  size_t idle_ = 0;
  int workers_ = 0;
  bool stopping_ = false;
  std::once_flag systemProxyOnce_;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG systemProxy_{};
  std::wstring systemProxyServer_, systemProxyBypass_, systemAutoConfig_;
};

// Closes a WinHTTP handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HINTERNET h = nullptr) : h_(h) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  void Reset(HINTERNET h = nullptr) {
    if (h_ != nullptr) WinHttpCloseHandle(h_);
    h_ = h;
  }
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
};

// The proxy for one hop: direct, or a named "host:port".
struct HopProxy {
  bool direct = true;
  std::wstring server;
};

HopProxy ProxyFor(LoopState& loop, const Transfer& t, const HttpAddress& a) {
  HopProxy p;
  auto named = [&p, &a](const std::string& server) {
    std::string hostPort = ProxyHostPort(server);
    if (hostPort.empty()) return;
    p.direct = false;
    p.server = Widen(DistinctProxyName(hostPort, a.bareHost()));
  };
  switch (t.proxyMode) {
    case ProxyMode::kDirect:
      return p;
    case ProxyMode::kNamed:
      if (!ProxyBypassed(t.proxyBypass, a.bareHost())) named(t.proxyServer);
      return p;
    case ProxyMode::kEnvironment:
      break;
  }
  std::string env = a.https ? Environment("https_proxy") : Environment("http_proxy");
  if (env.empty() && a.https) env = Environment("HTTPS_PROXY");
  if (env.empty()) env = Environment("all_proxy");
  if (env.empty()) env = Environment("ALL_PROXY");
  if (!env.empty()) {
    std::string noProxy = Environment("no_proxy");
    if (noProxy.empty()) noProxy = Environment("NO_PROXY");
    if (!ProxyBypassed(noProxy, a.bareHost())) named(env);
    return p;
  }
  // No variable set: the system's settings, automatic configuration first.
  const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& system = loop.SystemProxy();
  if ((system.fAutoDetect || system.lpszAutoConfigUrl != nullptr) && loop.AutoProxyAvailable()) {
    std::string origin = a.scheme() + "://" + a.host + ":" + std::to_string(a.port);
    if (std::optional<std::wstring> known = loop.KnownAutoProxy(origin)) {
      if (!known->empty()) {
        p.direct = false;
        p.server = *known;
      }
      return p;
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags =
        system.lpszAutoConfigUrl != nullptr ? WINHTTP_AUTOPROXY_CONFIG_URL : WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    options.lpszAutoConfigUrl = system.lpszAutoConfigUrl;
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    std::wstring url = Widen(a.ToString());
    if (WinHttpGetProxyForUrl(loop.session(), url.c_str(), &options, &info)) {
      if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr &&
          (info.lpszProxyBypass == nullptr || !ProxyBypassed(Narrow(info.lpszProxyBypass), a.bareHost()))) {
        p.direct = false;
        p.server = info.lpszProxy;
      }
      if (info.lpszProxy != nullptr) GlobalFree(info.lpszProxy);
      if (info.lpszProxyBypass != nullptr) GlobalFree(info.lpszProxyBypass);
      loop.KeepAutoProxy(origin, p.direct ? std::wstring() : p.server);
      return p;
    }
    // Looking for a configuration takes a good part of a second: one that is not there is not
    // looked for again.
    if (GetLastError() == ERROR_WINHTTP_AUTODETECTION_FAILED) loop.NoAutoProxy();
  }
  if (system.lpszProxy != nullptr &&
      (system.lpszProxyBypass == nullptr || !ProxyBypassed(Narrow(system.lpszProxyBypass), a.bareHost()))) {
    p.direct = false;
    p.server = system.lpszProxy;
  }
  return p;
}

// What one hop gave.
struct HopResult {
  bool ok = false;
  int32_t status = 0;
  std::string statusText;
  std::vector<std::string> headers;
};

std::wstring QueryText(HINTERNET request, DWORD info) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::wstring();
  std::wstring out(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, out.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return std::wstring();
  out.resize(size / sizeof(wchar_t));
  return out;
}

class Worker {
 public:
  Worker(std::shared_ptr<LoopState> loop, std::shared_ptr<Transfer> t)
      : loop_(std::move(loop)), t_(std::move(t)) {}

  void Run() {
    Transfer& t = *t_;
    HttpAddress at = t.address;
    std::string method = t.method;
    std::string body = t.body;
    bool bodyDropped = false;
    for (int hop = 0;; ++hop) {
      std::string key = SlotKey(at);
      if (hop > 0 && !loop_->AcquireSlot(key, t)) return;  // the first hop's came with the task
      HopResult r;
      Handle connect, request;
      bool sent = SendHop(at, method, body, connect, request, r);
      bool redirect =
          sent && t.followRedirects && IsFollowedRedirect(r.status) && HeaderValue(r.headers, "Location");
      if (sent && !redirect) {
        Receive(at, method, request, r);
        request.Reset();
        connect.Reset();
        LoopState::ReleaseSlot(loop_, key);
        return;
      }
      // The redirect's own body is not read: closing its request drops the connection, which is
      // cheaper than reading a body nobody wants only to keep it.
      request.Reset();
      connect.Reset();
      LoopState::ReleaseSlot(loop_, key);
      if (!sent) return;
      if (hop >= kMaxRedirects) {
        t.Fail(TransferEnd::kFailed, "too many redirects", RequestFailure::kOther, true);
        return;
      }
      std::string next = ResolveLocation(at, *HeaderValue(r.headers, "Location"));
      std::optional<HttpAddress> target = HasControlByte(next) ? std::nullopt : ParseHttpAddress(next);
      if (!target) {
        t.Fail(TransferEnd::kFailed, "redirect to an address that is not http or https: " + next,
               RequestFailure::kOther, true);
        return;
      }
      if (at.https && !target->https && !t.httpsToHttp) {
        t.Fail(TransferEnd::kFailed, "redirect from https to http refused", RequestFailure::kOther, true);
        return;
      }
      // As browsers do: 303 turns anything but HEAD into GET, 301 and 302 turn POST into GET.
      if ((r.status == 303 && method != "HEAD") ||
          ((r.status == 301 || r.status == 302) && method == "POST")) {
        method = "GET";
        if (!bodyDropped) body.clear();
        bodyDropped = true;
      }
      at = *target;
    }
  }

 private:
  // Connects, sends the request and receives the response's head; false (the transfer ended) on
  // failure.
  bool SendHop(const HttpAddress& at, const std::string& method, const std::string& body, Handle& connect,
               Handle& request, HopResult& r) {
    Transfer& t = *t_;
    // Resolve and connect (TLS included) bound the time to a connection, each hop anew.
    t.phase = Phase::kConnecting;
    t.Progress(t.ConnectLimit());
    if (t.Ended()) return false;
    HopProxy proxy = ProxyFor(*loop_, t, at);
    t.throughProxy = !proxy.direct;
    HINTERNET session = proxy.direct ? loop_->session() : loop_->ProxySession(proxy.server);
    if (session == nullptr) return Failed("WinHttpOpen");
    std::wstring host = Widen(at.bareHost());
    connect.Reset(WinHttpConnect(session, host.c_str(), at.port, 0));
    if (!connect) return Failed("WinHttpConnect");
    std::wstring verb = Widen(method), target = Widen(at.target);
    request.Reset(WinHttpOpenRequest(connect.get(), verb.c_str(), target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, at.https ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return Failed("WinHttpOpenRequest");
    HINTERNET h = request.get();
    DWORD features = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(h, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    // The mask relaxes the chain check only when it names all of its flags, as on every platform.
    DWORD security =
        ((t.certMask & kChainFlags) == kChainFlags ? kChainFlags : 0) | (t.certMask & kIgnoreCertNameInvalid);
    if (at.https && security != 0)
      WinHttpSetOption(h, WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof security);
    // WinHTTP's own limits as well, where the platform keeps them; 0 means none for WinHTTP too.
    // Wine reads the TLS handshake under the receive time-out: that one is at least the
    // connection's, which the watchdog keeps as it should.
    auto limit = [](int32_t ms) { return ms > 0 ? static_cast<int>(ms) : 0; };
    int receiveLimit = t.receiveMs > 0 && t.ConnectLimit() > 0 ? std::max(t.receiveMs, t.ConnectLimit()) : 0;
    WinHttpSetTimeouts(h, limit(t.resolveMs), limit(t.connectMs), limit(t.sendMs), receiveLimit);

    std::string block;
    bool hasUserAgent = false;
    bool tunnelCredentials = false;
    for (const auto& [name, value] : t.headers) {
      if (EqualsIgnoreCase(name, "Proxy-Authorization")) {
        if (proxy.direct) continue;  // never to the site
        if (at.https) {
          // WinHTTP would send the header through the tunnel as well: the credentials go to the
          // proxy through its own means instead, when the proxy asks (Wine's WinHTTP never
          // answers such a request: there a tunnel through a proxy that wants credentials fails).
          tunnelCredentials = SetProxyCredentials(h, value);
          continue;
        }
      }
      hasUserAgent |= EqualsIgnoreCase(name, "User-Agent");
      block += name + ": " + value + "\r\n";
    }
    if (!hasUserAgent && !t.userAgent.empty()) block += "User-Agent: " + t.userAgent + "\r\n";
    std::string cookies = t.cookies->CookieLine(at);
    if (t.cookieLine) cookies += (cookies.empty() ? "" : "; ") + *t.cookieLine;
    if (!cookies.empty() || t.cookieLine) block += "Cookie: " + cookies + "\r\n";
    if (!block.empty()) {
      std::wstring wide = Widen(block);
      if (!WinHttpAddRequestHeaders(h, wide.c_str(), static_cast<DWORD>(-1L),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return Failed("WinHttpAddRequestHeaders");
    }

    // A proxy that asks for the credentials of a tunnel gets them on a second try, once.
    for (bool retried = false;; retried = true) {
      if (!SendOnce(h, at, body, r)) return false;
      if (r.status != 407 || !tunnelCredentials || retried) break;
      r = HopResult();
    }
    // A 407 on an https hop through a proxy is the proxy refusing the tunnel: the site was never
    // reached, so there is no response of the site's to give.
    if (r.status == 407 && at.https && !proxy.direct) {
      t.Fail(TransferEnd::kFailed, "the proxy refused the tunnel (407)", RequestFailure::kProxyFailed, true);
      return false;
    }
    for (const std::string& line : r.headers) {
      size_t colon = line.find(':');
      if (colon != std::string::npos &&
          EqualsIgnoreCase(TrimBlanks(std::string_view(line).substr(0, colon)), "Set-Cookie"))
        t.cookies->Store(at, TrimBlanks(std::string_view(line).substr(colon + 1)));
    }
    return true;
  }

  // Sends the request on `h` and reads the response's head into `r`.
  bool SendOnce(HINTERNET h, const HttpAddress& at, const std::string& body, HopResult& r) {
    Transfer& t = *t_;
    t.sendingBody = !body.empty();
    if (!WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            static_cast<DWORD>(body.size()), reinterpret_cast<DWORD_PTR>(&t)))
      return Failed("WinHttpSendRequest", h);
    if (at.https && (t.certMask & kChainFlags) != kChainFlags &&
        !CertificateTrusted(h, at.bareHost(), (t.certMask & kIgnoreCertNameInvalid) != 0)) {
      t.Fail(TransferEnd::kFailed, "the server's certificate is not trusted", RequestFailure::kTlsFailed,
             true);
      return false;
    }
    // Connected and the head sent: the body goes out in pieces, each one progress.
    t.Progress(t.sendMs);
    for (size_t off = 0; off < body.size();) {
      DWORD n = static_cast<DWORD>(std::min(kChunk, body.size() - off)), written = 0;
      if (!WinHttpWriteData(h, body.data() + off, n, &written)) return Failed("WinHttpWriteData");
      off += written;
      t.Progress(t.sendMs);
      if (t.Ended()) return false;
    }
    t.sendingBody = false;
    t.phase = Phase::kReceiving;
    t.Progress(t.receiveMs);
    if (!WinHttpReceiveResponse(h, nullptr)) return Failed("WinHttpReceiveResponse", h);
    t.Progress(t.receiveMs);
    if (t.Ended()) return false;

    DWORD status = 0, size = sizeof status;
    if (!WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status == 0)
      return Failed("WinHttpQueryHeaders");
    r.status = static_cast<int32_t>(status);
    r.statusText = Narrow(QueryText(h, WINHTTP_QUERY_STATUS_TEXT));
    std::string raw = Narrow(QueryText(h, WINHTTP_QUERY_RAW_HEADERS_CRLF));
    bool first = true;
    for (size_t pos = 0; pos < raw.size();) {
      size_t end = raw.find("\r\n", pos);
      if (end == std::string::npos) end = raw.size();
      std::string line = raw.substr(pos, end - pos);
      pos = end + 2;
      if (first) {
        first = false;  // the status line
        continue;
      }
      if (line.empty()) continue;
      r.headers.push_back(std::move(line));
    }
    r.ok = true;
    return true;
  }

  // Reads the final response's body into the transfer, or hands it to the sink, and ends the
  // transfer.
  void Receive(const HttpAddress& at, const std::string& method, Handle& request, HopResult& r) {
    Transfer& t = *t_;
    std::optional<std::string_view> length = HeaderValue(r.headers, "Content-Length");
    if (length) t.expected.store(HeaderLength(*length), std::memory_order_relaxed);
    if (t.sink && !t.CallSink([&r](ResponseSink& s) { return s.OnResponse(r.status, r.headers); })) {
      t.Fail(TransferEnd::kFailed, "the response was refused by its receiver", RequestFailure::kOther, true);
      return;
    }
    std::string bodyBytes;
    int64_t bodySize = 0;
    std::vector<char> buffer(kChunk);
    bool bodyless = method == "HEAD" || r.status == 204 || r.status == 304;
    while (!bodyless) {
      // Only what has arrived: WinHTTP's read waits until the whole buffer is filled.
      DWORD available = 0, got = 0;
      if (!WinHttpQueryDataAvailable(request.get(), &available)) {
        Failed("WinHttpQueryDataAvailable");
        return;
      }
      if (t.Ended()) return;
      if (available == 0) break;
      DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
      if (!WinHttpReadData(request.get(), buffer.data(), want, &got)) {
        Failed("WinHttpReadData");
        return;
      }
      if (t.Ended()) return;
      if (got == 0) break;
      t.Progress(t.receiveMs);
      std::string_view piece(buffer.data(), got);
      if (t.sink) {
        if (!t.CallSink([piece](ResponseSink& s) { return s.OnBody(piece); })) {
          t.Fail(TransferEnd::kFailed, "the response was refused by its receiver", RequestFailure::kOther,
                 true);
          return;
        }
      } else {
        bodyBytes.append(piece);
      }
      t.received.fetch_add(static_cast<int64_t>(got), std::memory_order_relaxed);
      bodySize += got;
    }
    // WinHTTP ends a body the server cut short like a whole one.
    int64_t promised = length ? HeaderLength(*length) : -1;
    if (!bodyless && promised >= 0 && bodySize < promised) {
      t.Fail(TransferEnd::kFailed, "the connection closed before the whole body had arrived",
             RequestFailure::kConnectionLost, true);
      return;
    }
    std::string url = at.ToString();
    t.End(
        TransferEnd::kComplete,
        [&](Transfer& x) {
          x.status = r.status;
          x.statusText = std::move(r.statusText);
          x.responseHeaders = std::move(r.headers);
          x.responseBody = std::move(bodyBytes);
          x.effectiveUrl = std::move(url);
        },
        true);
  }

  // "Basic <base64 of user:password>" handed to WinHTTP as the proxy's credentials.
  static bool SetProxyCredentials(HINTERNET h, std::string_view value) {
    if (!StartsWithIgnoreCase(value, "Basic ")) return false;
    std::string plain = DecodeBase64(TrimBlanks(value.substr(6)));
    size_t colon = plain.find(':');
    std::wstring user = Widen(plain.substr(0, colon));
    std::wstring password = colon == std::string::npos ? std::wstring() : Widen(plain.substr(colon + 1));
    return WinHttpSetCredentials(h, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC, user.c_str(),
                                 password.c_str(), nullptr) != FALSE;
  }

  // `request`: the hop's request handle, when there is one, for the proxy's answer to a tunnel.
  bool Failed(const char* call, HINTERNET request = nullptr) {
    DWORD code = GetLastError();
    Transfer& t = *t_;
    // Wine keeps the send time-out itself, and tells it by the socket's own error.
    if (code == ERROR_WINHTTP_TIMEOUT || code == WSAETIMEDOUT) return (t.TimeOut(), false);
    RequestFailure kind = FailureOf(code, t.throughProxy, t.phase);
    if (kind == RequestFailure::kTlsFailed && t.throughProxy && request != nullptr) {
      // A proxy that refuses the tunnel leaves its answer on the request; the handshake that
      // follows fails.
      DWORD status = 0, size = sizeof status;
      if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) &&
          (status < 200 || status > 299))
        kind = RequestFailure::kProxyFailed;
    }
    t.Fail(TransferEnd::kFailed, ErrorText(call, code), kind, true);
    return false;
  }

  // The kind of failure behind WinHTTP's error code.
  static RequestFailure FailureOf(DWORD code, bool throughProxy, Phase phase) {
    switch (code) {
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return throughProxy ? RequestFailure::kProxyFailed : RequestFailure::kHostNotFound;
      case ERROR_WINHTTP_CANNOT_CONNECT:
        return throughProxy ? RequestFailure::kProxyFailed : RequestFailure::kConnectFailed;
      case ERROR_WINHTTP_SECURE_FAILURE:
      case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      case ERROR_WINHTTP_SECURE_INVALID_CERT:
      case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
      case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
      case ERROR_WINHTTP_SECURE_INVALID_CA:
      case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
      case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return RequestFailure::kTlsFailed;
      case ERROR_WINHTTP_CONNECTION_ERROR:
        // Reset before anything went out: the connection never was up.
        return phase == Phase::kConnecting
                   ? (throughProxy ? RequestFailure::kProxyFailed : RequestFailure::kConnectFailed)
                   : RequestFailure::kConnectionLost;
      default:
        return RequestFailure::kOther;
    }
  }

  std::shared_ptr<LoopState> loop_;
  std::shared_ptr<Transfer> t_;
};

// Starts workers, watches their deadlines and takes aborts. A process-wide object that ends at
// exit: it aborts what still runs and waits (bounded) for the workers.
class TransferLoop {
 public:
  static TransferLoop& Get() {
    static TransferLoop loop;
    return loop;
  }

  void Start(std::shared_ptr<Transfer> t) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!stopping_) {
        t->Progress(t->ConnectLimit());
        running_.push_back(t);
        std::weak_ptr<LoopState> state = state_;
        LoopState::RunWithSlot(state_, SlotKey(t->address), [state, t] {
          if (std::shared_ptr<LoopState> s = state.lock()) Worker(s, t).Run();
        });
        t = nullptr;
      }
    }
    wake_.notify_all();
    if (t) t->Fail(TransferEnd::kAborted, "the program is ending", RequestFailure::kAborted, false);
  }

  void Cancel(const std::shared_ptr<Transfer>& t) {
    if (!t || t->Ended()) return;
    t->cancelRequested = true;
    wake_.notify_all();
  }

  size_t RunningCount() {
    std::lock_guard<std::mutex> lock(mu_);
    return running_.size();
  }

  void Shutdown() {
    std::vector<std::shared_ptr<Transfer>> left;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (stopping_) return;
      stopping_ = true;
      left.swap(running_);
    }
    wake_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
    for (auto& t : left)
      t->Fail(TransferEnd::kAborted, "the program is ending", RequestFailure::kAborted, false);
    state_->Stop(kWorkerDrainMs);
  }

 private:
  TransferLoop() : state_(std::make_shared<LoopState>()) {
    watchdog_ = std::thread([this] { Watch(); });
  }
  ~TransferLoop() { Shutdown(); }

  void Watch() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopping_) {
      if (running_.empty()) {
        wake_.wait(lock);
        continue;
      }
      wake_.wait_for(lock, std::chrono::milliseconds(kWatchdogTickMs));
      std::vector<std::shared_ptr<Transfer>> due;
      std::vector<bool> cancelled;
      Clock::time_point now = Clock::now();
      for (size_t i = running_.size(); i-- > 0;) {
        std::shared_ptr<Transfer>& t = running_[i];
        bool cancel = t->cancelRequested.load();
        if (t->Ended() || cancel || t->deadline() <= now) {
          if (!t->Ended()) {
            due.push_back(t);
            cancelled.push_back(cancel);
          }
          running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
        }
      }
      if (due.empty()) continue;
      lock.unlock();
      for (size_t i = 0; i < due.size(); ++i) {
        if (cancelled[i]) {
          due[i]->Fail(TransferEnd::kAborted, "aborted", RequestFailure::kAborted, true);
        } else {
          due[i]->TimeOut();
        }
      }
      lock.lock();
    }
  }

  std::shared_ptr<LoopState> state_;
  std::mutex mu_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<Transfer>> running_;
  bool stopping_ = false;
  std::thread watchdog_;
};

}  // namespace

// ---- HttpEngine ----------------------------------------------------------------------------

HttpEngine::HttpEngine() = default;

HttpEngine::~HttpEngine() { Abort(); }
bool HttpEngine::SetNamedProxy(std::string_view server, std::string_view bypass) {
  std::string_view s = TrimBlanks(server);
  if (s.empty() || HasControlByte(s) || HasControlByte(bypass)) return false;
  proxyMode_ = ProxyMode::kNamed;
  proxyServer_ = std::string(s);
  proxyBypass_ = std::string(bypass);
  return true;
}
bool HttpEngine::Open(std::string_view method, std::string_view url) {
  Abort();
  transfer_.reset();
  opened_ = false;
  cookieLine_.reset();
  requestHeaders_.clear();
  ClearResponse();
  failure_ = RequestFailure::kBadAddress;  // until the address has been taken
  if (!IsToken(method) || HasControlByte(url)) return false;
  std::optional<HttpAddress> parsed = ParseHttpAddress(EncodeAddress(url));
  if (!parsed) return false;
  // Kept for Start: the address is parsed once.
  auto pending = std::make_shared<Transfer>();
  pending->address = std::move(*parsed);
  transfer_ = std::move(pending);
  collected_ = true;  // nothing started: nothing to take
  method_ = std::string(method);
  scheme_ = transfer_->address.scheme();
  opened_ = true;
  failure_ = RequestFailure::kNone;
  return true;
}
const std::shared_ptr<EasyHandle>& HttpEngine::FreeHandle() {
  // The cookie store is shared safely with a transfer still running: the aborted one may go on
  // storing what it gets, as its request did reach the server.
  abortedTransfer_.reset();
  if (!handle_) handle_ = EasyHandle::Acquire();
  return handle_;
}

bool HttpEngine::Start(std::string_view body) {
  if (running()) return false;
  ClearResponse();
  lastError_.clear();
  if (!opened_ || !transfer_) {
    lastError_ = "the request is not open";
    failure_ = RequestFailure::kBadAddress;
    return false;
  }
  failure_ = RequestFailure::kNone;
  std::shared_ptr<Transfer> t = transfer_;
  opened_ = false;
  t->method = method_;
  t->body.assign(body);
  t->headers = requestHeaders_;
  t->cookieLine = cookieLine_;
  t->userAgent = userAgent_;
  t->followRedirects = followRedirects_;
  t->httpsToHttp = httpsToHttp_;
  t->certMask = certMask_;
  t->resolveMs = resolveMs_;
  t->connectMs = connectMs_;
  t->sendMs = sendMs_;
  t->receiveMs = receiveMs_;
  t->proxyMode = proxyMode_;
  if (proxyMode_ == ProxyMode::kNamed) {
    t->proxyServer = ProxyForScheme(scheme_);
    t->proxyBypass = proxyBypass_;
    // A list without an entry for this scheme means no proxy for it.
    if (t->proxyServer.empty()) t->proxyMode = ProxyMode::kDirect;
  }
  t->cookies = FreeHandle();
  // The caller's cookie lines (the user's login) join the engine's store, each replacing a
  // stored cookie of its name, domain and path, so that they go where the store sends its own.
  for (size_t start = 0; start < cookieLines_.size();) {
    size_t end = cookieLines_.find('\n', start);
    if (end == std::string::npos) end = cookieLines_.size();
    t->cookies->StoreFileLine(std::string_view(cookieLines_).substr(start, end - start));
    start = end + 1;
  }
  t->sink = sink_;
  t->onEnded = onEnded_;
  collected_ = false;
  TransferLoop::Get().Start(std::move(t));
  return true;
}

int64_t HttpEngine::receivedBytes() const {
  return transfer_ ? transfer_->received.load(std::memory_order_relaxed) : 0;
}
int64_t HttpEngine::expectedBytes() const {
  return transfer_ ? transfer_->expected.load(std::memory_order_relaxed) : -1;
}

bool HttpEngine::running() const { return transfer_ != nullptr && !collected_ && !transfer_->Ended(); }

bool HttpEngine::Wait(int timeoutMs) {
  if (!transfer_ || (collected_ && opened_)) return true;
  std::shared_ptr<Transfer> t = transfer_;
  if (!t->Ended()) {
    if (CanWaitHandlingEvents()) {
      // A quick answer (a nearby server, a kept connection) is taken without a round through the
      // event loop: the window does not notice a pause this short.
      int quickMs = timeoutMs < 0 ? kQuickAnswerMs : std::min(timeoutMs, kQuickAnswerMs);
      if (!t->Wait(quickMs) && timeoutMs != quickMs) {
        // A routine run by an event in the meantime may abort or reopen this request.
        WaitHandlingEvents([&] { return transfer_ != t || t->Ended(); },
                           timeoutMs < 0 ? timeoutMs : timeoutMs - quickMs);
      }
    } else {
      t->Wait(timeoutMs);
    }
  }
  if (transfer_ != t) return true;
  if (!t->Ended()) return false;
  if (!collected_) Collect();
  return true;
}

void HttpEngine::Collect() {
  collected_ = true;
  Transfer& t = *transfer_;
  if (t.end() == TransferEnd::kComplete) {
    hasResponse_ = true;
    status_ = t.status;
    statusText_ = t.statusText;
    responseHeaders_ = std::move(t.responseHeaders);
    body_ = std::move(t.responseBody);
    effectiveUrl_ = t.effectiveUrl;
  } else {
    ClearResponse();
    lastError_ = t.error;
    failure_ = t.failure;
  }
}

bool HttpEngine::Send(std::string_view body) {
  if (!Start(body)) return false;
  if (!Wait(-1)) {
    Abort();
    lastError_ = "the program is ending";
    failure_ = RequestFailure::kAborted;
    return false;
  }
  return hasResponse_;
}

void HttpEngine::Abort() {
  if (!running()) return;
  TransferLoop::Get().Cancel(transfer_);
  ClearResponse();
  lastError_ = "aborted";
  failure_ = RequestFailure::kAborted;
  // Its results are never taken.
  abortedTransfer_ = std::move(transfer_);
}
}  // namespace platform::http
