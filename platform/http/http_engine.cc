#include "platform/http/http_engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/event_loop.h"
#include "platform/http/header_lines.h"
#include "platform/http/transfer_loop.h"

namespace platform::http {
namespace {

// A release of a handle by an aborted transfer takes the loop one round; wait this long for
// it before the next request takes a fresh handle instead.
constexpr int kHandleReleaseWaitMs = 1000;
// How long a wait on the GUI thread blocks before it lets events run: far below what a user sees.
constexpr int kQuickAnswerMs = 2;

// Whether a proxy bypass list (hosts and domains separated by commas or blanks; "*": all)
// names `host` or a domain above it, as the transfer library reads no_proxy.
bool Bypassed(std::string_view list, std::string_view host) {
  while (!list.empty()) {
    size_t end = list.find_first_of(", ");
    std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    if (entry == "*") return true;
    while (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) continue;
    if (EqualsIgnoreCase(entry, host)) return true;
    if (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
        EqualsIgnoreCase(host.substr(host.size() - entry.size()), entry))
      return true;
  }
  return false;
}

std::string_view Environment(const char* lower, const char* upper) {
  const char* v = std::getenv(lower);
  if ((v == nullptr || v[0] == '\0') && upper != nullptr) v = std::getenv(upper);
  return v == nullptr ? std::string_view() : std::string_view(v);
}

}  // namespace

HttpEngine::HttpEngine() = default;

HttpEngine::~HttpEngine() {
  Abort();
  curl_url_cleanup(static_cast<CURLU*>(parsed_));
}
bool HttpEngine::SetNamedProxy(std::string_view server, std::string_view bypass) {
  std::string_view s = TrimBlanks(server);
  if (s.empty() || HasControlByte(s) || HasControlByte(bypass)) return false;
  proxyMode_ = ProxyMode::kNamed;
  proxyServer_ = std::string(s);
  // The bypass list is separated by ";" here and by "," for the transfer library.
  proxyBypass_.clear();
  for (char c : bypass) proxyBypass_ += (c == ';') ? ',' : c;
  return true;
}
bool HttpEngine::Open(std::string_view method, std::string_view url) {
  Abort();
  transfer_.reset();
  opened_ = false;
  cookieLine_.reset();
  curl_url_cleanup(static_cast<CURLU*>(parsed_));
  parsed_ = nullptr;
  requestHeaders_.clear();
  ClearResponse();
  failure_ = RequestFailure::kBadAddress;  // until the address has been taken
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
  failure_ = RequestFailure::kNone;
  return true;
}
const std::shared_ptr<EasyHandle>& HttpEngine::FreeHandle() {
  if (abortedTransfer_ && !abortedTransfer_->Wait(kHandleReleaseWaitMs)) handle_.reset();
  abortedTransfer_.reset();
  transfer_.reset();
  if (!handle_) handle_ = EasyHandle::Acquire();
  return handle_;
}

bool HttpEngine::Start(std::string_view body) {
  if (running()) return false;
  ClearResponse();
  lastError_.clear();
  if (!opened_) {
    lastError_ = "the request is not open";
    failure_ = RequestFailure::kBadAddress;
    return false;
  }
  failure_ = RequestFailure::kNone;
  auto transfer = std::make_shared<Transfer>(FreeHandle());
  CURL* h = transfer->handle();
  // Every option that can differ between requests is set here, each time. The address was
  // parsed by Open; the transfer keeps it, so the next Open parses its own.
  transfer->AdoptAddress(std::exchange(parsed_, nullptr));
  opened_ = false;
  curl_easy_setopt(h, CURLOPT_URL, nullptr);  // no address left from an earlier transfer
  curl_easy_setopt(h, CURLOPT_CURLU, static_cast<CURLU*>(transfer->address()));
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 0L);  // a kept connection is welcome
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR,
                   scheme_ == "https" && !httpsToHttp_ ? "https" : "http,https");
  transfer->SetFollowsRedirects(followRedirects_);
  transfer->SetResponseSink(sink_);
  transfer->SetOnEnded(onEnded_);

  // Time-outs: the connect phase (resolve included) by the transfer library, each hop anew;
  // send and receive by the loop, as time without progress.
  long connectLimit = 0;
  if (connectMs_ > 0) connectLimit = connectMs_ + (resolveMs_ > 0 ? resolveMs_ : 0);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);
  transfer->SetPhaseTimeouts(sendMs_, receiveMs_);

  // Proxy: null options fall back to the standard environment variables (the ones the
  // transfer library reads; only for telling a proxy's failure from the site's here).
  std::string proxy;
  std::string host;
  {
    char* part = nullptr;
    if (curl_url_get(static_cast<CURLU*>(transfer->address()), CURLUPART_HOST, &part, 0) == CURLUE_OK)
      host = part;
    curl_free(part);
  }
  switch (proxyMode_) {
    case ProxyMode::kEnvironment: {
      curl_easy_setopt(h, CURLOPT_PROXY, nullptr);
      curl_easy_setopt(h, CURLOPT_NOPROXY, nullptr);
      std::string_view fromEnvironment =
          scheme_ == "https" ? Environment("https_proxy", "HTTPS_PROXY") : Environment("http_proxy", nullptr);
      if (fromEnvironment.empty()) fromEnvironment = Environment("all_proxy", "ALL_PROXY");
      transfer->SetThroughProxy(!fromEnvironment.empty() &&
                                !Bypassed(Environment("no_proxy", "NO_PROXY"), host));
      break;
    }
    case ProxyMode::kDirect:
      curl_easy_setopt(h, CURLOPT_PROXY, "");
      curl_easy_setopt(h, CURLOPT_NOPROXY, nullptr);
      break;
    case ProxyMode::kNamed:
      proxy = ProxyForScheme(scheme_);
      curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());  // copied by the library
      curl_easy_setopt(h, CURLOPT_NOPROXY, proxyBypass_.c_str());
      transfer->SetThroughProxy(!proxy.empty() && !Bypassed(proxyBypass_, host));
      break;
  }

  // Certificates: the mask relaxes the site's checks only; a proxy is always verified.
  constexpr uint32_t kChainFlags = kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreCertDateInvalid;
  bool relaxChain = (certMask_ & kChainFlags) == kChainFlags;
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, relaxChain ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, (certMask_ & kIgnoreCertNameInvalid) ? 0L : 2L);

  // Method and body; the transfer keeps the body for as long as the library reads it.
  std::string& requestBody = transfer->requestBody();
  requestBody.assign(body);
  bool bodyBearing = !body.empty() || method_ == "POST" || method_ == "PUT";
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
  if (method_ == "HEAD") {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  } else if (bodyBearing) {
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, requestBody.c_str());
    if (method_ != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method_.c_str());
  } else {
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    if (method_ != "GET") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method_.c_str());
  }

  // Headers: the caller's go to the site, Proxy-Authorization to the proxy only. The
  // library's own Accept, Expect and form Content-Type are not added.
  curl_slist** site = transfer->siteHeaders();
  curl_slist** toProxy = transfer->proxyHeaders();
  auto add = [](curl_slist** list, const std::string& line) {
    *list = curl_slist_append(*list, line.c_str());
  };
  bool hasAccept = false, hasExpect = false, hasContentType = false, hasUserAgent = false;
  for (const auto& [name, value] : requestHeaders_) {
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    if (EqualsIgnoreCase(name, "Proxy-Authorization")) {
      add(toProxy, line);
      continue;
    }
    hasAccept |= EqualsIgnoreCase(name, "Accept");
    hasExpect |= EqualsIgnoreCase(name, "Expect");
    hasContentType |= EqualsIgnoreCase(name, "Content-Type");
    hasUserAgent |= EqualsIgnoreCase(name, "User-Agent");
    add(site, line);
  }
  if (!hasAccept) add(site, "Accept:");
  if (!hasExpect) add(site, "Expect:");
  if (!hasContentType && bodyBearing) add(site, "Content-Type:");
  curl_easy_setopt(h, CURLOPT_USERAGENT, hasUserAgent || userAgent_.empty() ? nullptr : userAgent_.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, *site);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, *toProxy);
  curl_easy_setopt(h, CURLOPT_COOKIE, cookieLine_ ? cookieLine_->c_str() : nullptr);
  for (size_t start = 0; start < cookieLines_.size();) {
    size_t end = cookieLines_.find('\n', start);
    if (end == std::string::npos) end = cookieLines_.size();
    std::string line = cookieLines_.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) curl_easy_setopt(h, CURLOPT_COOKIELIST, line.c_str());
    start = end + 1;
  }

  transfer_ = transfer;
  collected_ = false;
  TransferLoop::Get().Start(std::move(transfer));
  return true;
}

int64_t HttpEngine::receivedBytes() const { return transfer_ ? transfer_->receivedBytes() : 0; }
int64_t HttpEngine::expectedBytes() const { return transfer_ ? transfer_->expectedBytes() : -1; }

bool HttpEngine::running() const { return transfer_ != nullptr && !transfer_->Ended(); }

bool HttpEngine::Wait(int timeoutMs) {
  if (!transfer_) return true;
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
    status_ = t.status();
    statusText_ = t.statusText();
    responseHeaders_ = std::move(t.responseHeaders());
    body_ = std::move(t.body());
    effectiveUrl_ = t.effectiveUrl();
  } else {
    ClearResponse();
    lastError_ = t.error();
    failure_ = t.failure();
  }
  // The transfer stays until the next Start, which may share its handle.
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
  // Kept until it has ended, so that the next Start knows whether the handle is free; its
  // results are never taken.
  abortedTransfer_ = std::move(transfer_);
}
}  // namespace platform::http
