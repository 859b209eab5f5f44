#include "platform/http/transfer_loop.h"

#include <curl/curl.h>

#include <algorithm>
#include <type_traits>

#include "platform/event_loop.h"
#include "platform/http/header_lines.h"

namespace platform::http {
namespace {

static_assert(std::is_same_v<curl_off_t, int64_t>, "the progress callback is declared with int64_t");

using Clock = Transfer::Clock;

constexpr long kMaxRedirects = 10;
// The loop looks at its transfers at least this often, so that a phase time-out is noticed
// even when libcurl has nothing to say.
constexpr int kLongestPollMs = 1000;
constexpr int kIdlePollMs = 3600 * 1000;
// Connections kept open for reuse, across all hosts.
constexpr long kCachedConnections = 64;

// DNS results and TLS sessions, shared by every handle. Connections are cached by the multi
// handle itself. Only the loop's thread runs transfers; the locks guard the rare set-up on other
// threads.
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

// Idle easy handles, so that a new request object does not pay for a new handle and its
// internal machinery.
class HandlePool {
 public:
  static HandlePool& Get() {
    static HandlePool pool;
    return pool;
  }
  CURL* Take() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!idle_.empty()) {
        CURL* h = idle_.back();
        idle_.pop_back();
        return h;
      }
    }
    return NewHandle();
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

  // What stays the same for every transfer. The handle is never reset, so its cookie store,
  // enabled here once, lives as long as its owner keeps it.
  static CURL* NewHandle() {
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_SHARE, SharedCache::Get().share());
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
    return h;
  }

  static constexpr size_t kMaxIdle = 16;
  std::mutex mu_;
  std::vector<CURL*> idle_;
};

// The kind of failure behind a transfer library's result. A tunnel the proxy refused ends as
// a receive error, told apart by the proxy's own answer to CONNECT; a connection refused on
// the way through a proxy is the proxy's.
RequestFailure FailureOf(CURLcode code, CURL* h, bool throughProxy) {
  long connectCode = 0;
  curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (connectCode != 0 && (connectCode < 200 || connectCode > 299)) return RequestFailure::kProxyFailed;
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return RequestFailure::kHostNotFound;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
      return RequestFailure::kProxyFailed;
    case CURLE_COULDNT_CONNECT:
      return throughProxy ? RequestFailure::kProxyFailed : RequestFailure::kConnectFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
      return RequestFailure::kTlsFailed;
    case CURLE_OPERATION_TIMEDOUT:
      // The library's only time-out here is the connect phase's; the others are the loop's.
      return RequestFailure::kConnectTimeout;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return RequestFailure::kConnectionLost;
    default:
      return RequestFailure::kOther;
  }
}

bool IsFollowedRedirect(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

// ---- EasyHandle ---------------------------------------------------------------------------

std::shared_ptr<EasyHandle> EasyHandle::Acquire() {
  return std::shared_ptr<EasyHandle>(new EasyHandle(HandlePool::Get().Take()));
}

EasyHandle::~EasyHandle() { HandlePool::Get().Give(curl_); }

// ---- Transfer -----------------------------------------------------------------------------

Transfer::Transfer(std::shared_ptr<EasyHandle> handle) : handle_(std::move(handle)) {
  CURL* h = handle_->get();
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors_);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Transfer::OnConnected);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_PRIVATE, this);
}

Transfer::~Transfer() {
  curl_slist_free_all(siteHeaders_);
  curl_slist_free_all(proxyHeaders_);
  curl_url_cleanup(static_cast<CURLU*>(address_));
}

void Transfer::AdoptAddress(void* parsedAddress) {
  curl_url_cleanup(static_cast<CURLU*>(address_));
  address_ = parsedAddress;
}

bool Transfer::Wait(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ended = [this] { return end_.load(std::memory_order_acquire) != TransferEnd::kRunning; };
  if (timeoutMs < 0) {
    ended_.wait(lock, ended);
    return true;
  }
  return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended);
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t n = size * count;
  t->lastMove_ = Clock::now();
  if (t->sink_) {
    if (!t->final_) return n;  // the body of a response that is not the last one
    if (!t->sink_->OnBody(std::string_view(data, n))) {
      t->sinkRefused_ = true;
      return 0;  // ends the transfer with a write error
    }
  } else {
    t->body_.append(data, n);
  }
  t->received_.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
  return n;
}

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t n = size * count;
  t->lastMove_ = Clock::now();
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
    // A new response (after a redirect or an interim 1xx): only the last one is kept.
    t->responseHeaders_.clear();
    t->body_.clear();
    t->received_.store(0, std::memory_order_relaxed);
    t->expected_.store(-1, std::memory_order_relaxed);
    t->final_ = false;
    t->statusText_.clear();
    t->hopStatus_ = 0;
    size_t sp = line.find(' ');
    if (sp != std::string_view::npos) {
      std::string_view rest = line.substr(sp + 1);
      size_t sp2 = rest.find(' ');
      std::string_view code = rest.substr(0, sp2);
      int32_t status = 0;
      for (char c : code) status = (c >= '0' && c <= '9' && status < 1000) ? status * 10 + (c - '0') : 1000;
      t->hopStatus_ = status < 1000 ? status : 0;
      if (sp2 != std::string_view::npos) t->statusText_ = std::string(rest.substr(sp2 + 1));
    }
  } else if (!line.empty()) {
    t->responseHeaders_.emplace_back(line);
  } else if (t->hopStatus_ >= 100 && t->hopStatus_ < 200) {
    // An interim response: the real one follows on the same connection.
  } else if (t->followsRedirects_ && IsFollowedRedirect(t->hopStatus_) &&
             HeaderValue(t->responseHeaders_, "Location")) {
    // The end of a followed redirect's header block: the next hop connects afresh (or reuses a
    // connection), and until it is ready only the connect time-out applies.
    t->connected_ = false;
  } else {
    t->final_ = true;
    if (std::optional<std::string_view> length = HeaderValue(t->responseHeaders_, "Content-Length")) {
      t->expected_.store(HeaderLength(*length), std::memory_order_relaxed);
    }
    if (t->sink_ && !t->sink_->OnResponse(t->hopStatus_, t->responseHeaders_)) {
      t->sinkRefused_ = true;
      return 0;  // ends the transfer
    }
  }
  return n;
}

int Transfer::OnConnected(void* self, char*, char*, int, int) {
  auto* t = static_cast<Transfer*>(self);
  t->connected_ = true;
  t->lastMove_ = Clock::now();
  return CURL_PREREQFUNC_OK;
}

int Transfer::OnProgress(void* self, int64_t, int64_t dlnow, int64_t ultotal, int64_t ulnow) {
  auto* t = static_cast<Transfer*>(self);
  if (dlnow != t->lastDown_ || ulnow != t->lastUp_) {
    t->lastDown_ = dlnow;
    t->lastUp_ = ulnow;
    t->lastMove_ = Clock::now();
  }
  t->sending_ = ultotal > 0 && ulnow < ultotal;
  return 0;
}

bool Transfer::RetryOnAFreshConnection(int code) {
  // A kept connection that died while idle (a server's keep-alive time-out, or a close the
  // transfer library cannot see through TLS) fails the request before any answer. The library
  // retries on other kept connections, which may have died the same way; once those are used up,
  // one more try on a connection of its own is the request's due, as a browser would give it.
  bool diedUnanswered = code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING;
  if (!diedUnanswered || retriedFresh_ || hopStatus_ != 0 || sinkRefused_) return false;
  retriedFresh_ = true;
  curl_easy_setopt(handle_->get(), CURLOPT_FRESH_CONNECT, 1L);
  errors_[0] = '\0';
  connected_ = false;
  lastMove_ = Clock::now();
  return true;
}

Clock::time_point Transfer::PhaseDeadline() const {
  if (!connected_) return Clock::time_point::max();
  int32_t limit = sending_ ? sendMs_ : receiveMs_;
  if (limit <= 0) return Clock::time_point::max();
  return lastMove_ + std::chrono::milliseconds(limit);
}

void Transfer::End(TransferEnd how, std::string error, bool wake) {
  CURL* h = handle_->get();
  if (how == TransferEnd::kComplete) {
    long code = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    if (code > 0) {
      status_ = static_cast<int32_t>(code);
      char* url = nullptr;
      if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr)
        effectiveUrl_ = url;
    } else {
      how = TransferEnd::kFailed;
      error = "no response";
      failure_ = RequestFailure::kConnectionLost;
    }
  }
  if (how == TransferEnd::kAborted) failure_ = RequestFailure::kAborted;
  if (how == TransferEnd::kFailed && failure_ == RequestFailure::kNone) failure_ = RequestFailure::kOther;
  if (how == TransferEnd::kComplete) failure_ = RequestFailure::kNone;
  if (how != TransferEnd::kComplete) {
    status_ = 0;
    statusText_.clear();
    responseHeaders_.clear();
    body_.clear();
    error_ = error.empty() ? std::string("failed") : std::move(error);
  }
  // Nothing of this object may be reached through the handle once it has ended: the engine's
  // next transfer shares it.
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(h, CURLOPT_CURLU, nullptr);
  curl_easy_setopt(h, CURLOPT_PRIVATE, nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    end_.store(how, std::memory_order_release);
  }
  ended_.notify_all();
  if (wake) WakeEventLoop();
  if (onEnded_) onEnded_();
}

// ---- TransferLoop -------------------------------------------------------------------------

struct TransferLoop::Command {
  enum Kind { kStart, kCancel } kind;
  std::shared_ptr<Transfer> transfer;
};

TransferLoop& TransferLoop::Get() {
  static TransferLoop loop;
  return loop;
}

TransferLoop::TransferLoop() {
  // Made first, so that they end after the loop.
  SharedCache::Get();
  HandlePool::Get();
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
  curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, kCachedConnections);
  curl_multi_setopt(multi, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_NOTHING));
  multi_ = multi;
  thread_ = std::make_unique<std::thread>([this] { Run(); });
}

TransferLoop::~TransferLoop() {
  Shutdown();
  curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void TransferLoop::Start(std::shared_ptr<Transfer> transfer) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      ++running_;
      commands_.push_back(Command{Command::kStart, std::move(transfer)});
      transfer = nullptr;
    }
  }
  if (transfer) {
    transfer->End(TransferEnd::kAborted, "the program is ending", false);
    return;
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void TransferLoop::Cancel(const std::shared_ptr<Transfer>& transfer) {
  if (!transfer || transfer->Ended()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    commands_.push_back(Command{Command::kCancel, transfer});
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void TransferLoop::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
  if (thread_ && thread_->joinable()) thread_->join();
}

size_t TransferLoop::RunningCountForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

void TransferLoop::Run() {
  CURLM* multi = static_cast<CURLM*>(multi_);
  std::vector<std::shared_ptr<Transfer>> running;  // the transfers in the multi handle
  auto end = [&](size_t i, TransferEnd how, std::string error, bool wake) {
    std::shared_ptr<Transfer> t = std::move(running[i]);
    running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    curl_multi_remove_handle(multi, t->handle());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
    t->End(how, std::move(error), wake);
  };
  auto indexOf = [&](const Transfer* t) {
    for (size_t i = 0; i < running.size(); ++i) {
      if (running[i].get() == t) return i;
    }
    return running.size();
  };

  for (;;) {
    std::vector<Command> commands;
    bool stop;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      commands.swap(commands_);
      stop = stopping_;
    }
    for (Command& c : commands) {
      switch (c.kind) {
        case Command::kStart:
          running.push_back(c.transfer);
          if (curl_multi_add_handle(multi, c.transfer->handle()) != CURLM_OK) {
            end(running.size() - 1, TransferEnd::kFailed, "the transfer could not be started", true);
          }
          break;
        case Command::kCancel: {
          size_t i = indexOf(c.transfer.get());
          if (i < running.size()) end(i, TransferEnd::kAborted, "aborted", true);
          break;
        }
      }
    }
    if (stop) {
      // The process ends: nobody waits on the GUI thread any more.
      while (!running.empty()) end(running.size() - 1, TransferEnd::kAborted, "the program is ending", false);
      return;
    }

    int active = 0;
    curl_multi_perform(multi, &active);
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
      if (m->msg != CURLMSG_DONE) continue;
      void* owner = nullptr;
      curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, &owner);
      size_t i = indexOf(static_cast<Transfer*>(owner));
      if (i == running.size()) continue;
      CURLcode rc = m->data.result;
      Transfer& t = *running[i];
      if (t.RetryOnAFreshConnection(rc)) {
        curl_multi_remove_handle(multi, t.handle());
        if (curl_multi_add_handle(multi, t.handle()) == CURLM_OK) continue;
      }
      std::string error = rc == CURLE_OK   ? ""
                          : t.sinkRefused_ ? "the response was refused by its receiver"
                          : t.errors_[0]   ? t.errors_
                                           : curl_easy_strerror(rc);
      if (rc != CURLE_OK)
        t.failure_ = t.sinkRefused_ ? RequestFailure::kOther : FailureOf(rc, t.handle(), t.throughProxy_);
      end(i, rc == CURLE_OK ? TransferEnd::kComplete : TransferEnd::kFailed, std::move(error), true);
    }

    // Phase time-outs, and the time until the nearest one.
    Clock::time_point now = Clock::now();
    Clock::time_point nearest = Clock::time_point::max();
    for (size_t i = running.size(); i-- > 0;) {
      Clock::time_point deadline = running[i]->PhaseDeadline();
      if (deadline <= now) {
        running[i]->failure_ =
            running[i]->sending_ ? RequestFailure::kSendTimeout : RequestFailure::kReceiveTimeout;
        end(i, TransferEnd::kFailed, "Operation timed out: no progress within the time-out", true);
      } else {
        nearest = std::min(nearest, deadline);
      }
    }
    // Nothing to watch: sleep until a command comes.
    long wait = running.empty() ? kIdlePollMs : kLongestPollMs;
    long curlWait = -1;
    curl_multi_timeout(multi, &curlWait);
    if (curlWait >= 0) wait = std::min(wait, curlWait);
    if (nearest != Clock::time_point::max()) {
      auto untilNearest = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - now).count() + 1;
      wait = std::min<long>(wait, static_cast<long>(untilNearest));
    }
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr);
  }
}

}  // namespace platform::http
