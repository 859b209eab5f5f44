// HTTP/1.1 request engine behind the request automation object: one request at a time per
// engine (time-outs, proxy, certificate-error mask, redirects, request headers, a text or byte
// body), run on the process-wide transfer loop, and the final response's status, status text,
// header block and body.
//
// A request is started (Start) and then waited for (Wait), or both at once (Send). Waiting on
// the GUI thread keeps handling events, so the program's windows stay alive; on other threads it
// simply blocks.
//
// Ownership: an engine owns its request's transfer (shared with the loop while it runs) and a
// transfer handle that carries its cookie state from one request to the next; connections, DNS
// results and TLS sessions are shared by all engines. Destroying an engine aborts its request.
// Thread contract: one engine is used by one thread at a time; different engines may run on
// different threads.
// REQUIRES: Open succeeded before SetRequestHeader and Start have an effect.
#ifndef PLATFORM_HTTP_HTTP_ENGINE_H_
#define PLATFORM_HTTP_HTTP_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/http/request_failure.h"

namespace platform::http {

// Certificate-error mask flags (the request object's option 4).
inline constexpr uint32_t kIgnoreUnknownCa = 0x0100;
inline constexpr uint32_t kIgnoreWrongUsage = 0x0200;
inline constexpr uint32_t kIgnoreCertNameInvalid = 0x1000;
inline constexpr uint32_t kIgnoreCertDateInvalid = 0x2000;
inline constexpr uint32_t kIgnoreAllCertErrors = 0x3300;

// The User-Agent line of a request that sets none.
inline constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

// Default time-outs in milliseconds: resolve (0: no limit), connect, send, receive.
inline constexpr int32_t kDefaultResolveTimeoutMs = 0;
inline constexpr int32_t kDefaultConnectTimeoutMs = 60000;
inline constexpr int32_t kDefaultSendTimeoutMs = 30000;
inline constexpr int32_t kDefaultReceiveTimeoutMs = 30000;

enum class ProxyMode {
  kEnvironment,  // the standard proxy variables (http_proxy, https_proxy, no_proxy ...)
  kDirect,       // no proxy, whatever the environment says
  kNamed,        // the server given to SetNamedProxy; no_proxy does not bypass it
};

class EasyHandle;
class ResponseSink;
class Transfer;

class HttpEngine {
 public:
  HttpEngine();
  ~HttpEngine();
  HttpEngine(const HttpEngine&) = delete;
  HttpEngine& operator=(const HttpEngine&) = delete;

  // Milliseconds; 0 or a negative value means no limit for that phase. Resolve and connect
  // together bound the time to an established connection (TLS handshake included). Send and
  // receive bound the time without progress while the body goes out or the response comes
  // in; a transfer that keeps moving is never cut off.
  void SetTimeouts(int32_t resolveMs, int32_t connectMs, int32_t sendMs, int32_t receiveMs);

  void SetProxyFromEnvironment();
  void SetDirect();
  // `server`: "host:port", "scheme://host:port", or a list "http=host:port;https=host:port"
  // chosen by the request's scheme. `bypass`: hosts separated by ";" or ",", or empty.
  // False (and the setting unchanged) for an empty or malformed server.
  bool SetNamedProxy(std::string_view server, std::string_view bypass = {});
  ProxyMode proxyMode() const { return proxyMode_; }

  // Starts a new request: aborts a running one and forgets the previous request's headers and
  // response. `url` is UTF-8; bytes from 0x80 up and blanks are sent percent-encoded. False
  // for a method that is not an HTTP token, an address holding a control byte (below 0x20, or
  // 0x7F), or one that is not a well-formed http or https address; Start then does nothing.
  bool Open(std::string_view method, std::string_view url);
  bool opened() const { return opened_; }

  void SetCertificateErrorMask(uint32_t mask) { certMask_ = mask; }
  uint32_t certificateErrorMask() const { return certMask_; }
  void SetFollowRedirects(bool follow) { followRedirects_ = follow; }
  bool followRedirects() const { return followRedirects_; }
  // Whether a followed redirect may lead from https to http; off by default, so such a
  // redirect fails the request.
  void SetAllowHttpsToHttpRedirects(bool allow) { httpsToHttp_ = allow; }
  bool allowHttpsToHttpRedirects() const { return httpsToHttp_; }
  // The User-Agent line sent when the request sets none of its own.
  void SetUserAgent(std::string_view userAgent) { userAgent_ = std::string(userAgent); }
  const std::string& userAgent() const { return userAgent_; }

  // Adds a header, replacing an earlier one of the same name (names compared without regard
  // to case). An empty value is sent as an empty header. False for an empty name, a name that
  // is not an HTTP token, or a value holding CR, LF or NUL; also before Open. A Cookie header
  // goes out as the request's one Cookie line, together with the cookies this engine's earlier
  // responses set for the address (the hops of one redirect chain included).
  bool SetRequestHeader(std::string_view name, std::string_view value);

  // Netscape cookie lines (domain, subdomains flag, path, Secure flag, expiry, name, value,
  // separated by tabs; one per line) that each request started from now on loads into this
  // engine's cookie store before it goes out. The store sends each cookie only where its
  // domain, path, Secure flag and expiry allow, in the request's one Cookie line, on every hop
  // of a redirect chain. Empty: none are loaded (those loaded before stay with the engine).
  void SetCookieLines(std::string lines) { cookieLines_ = std::move(lines); }

  // The requests started from now on hand their final response to `sink` (on the transfer
  // loop's thread) instead of keeping its body: body() stays empty. Null: keep bodies again.
  void SetResponseSink(std::shared_ptr<ResponseSink> sink) { sink_ = std::move(sink); }
  // Each request started from now on runs `onEnded` once it has ended, however it ended
  // (aborted too, and also when this engine is gone by then), after its sink's last call: on the
  // transfer loop's thread, or at once on the starting thread once the program's end has begun.
  // Null: nothing runs.
  void SetOnEnded(std::function<void()> onEnded) { onEnded_ = std::move(onEnded); }
  // Body bytes of the running or last request's final response received so far, and its
  // Content-Length (-1 before its headers or without one), as they stand while it runs.
  int64_t receivedBytes() const;
  int64_t expectedBytes() const;

  // Starts the request with `body` (may be empty) and returns at once. False, and nothing
  // started, before a successful Open or while a request runs.
  bool Start(std::string_view body);
  // Waits up to `timeoutMs` (negative: no limit) for the started request to end; true once it
  // has (with a response or without one: see hasResponse()). On the GUI thread events keep
  // being handled meanwhile, and the wait also returns, false, when the program's end has been
  // asked for. True at once when no request runs.
  bool Wait(int timeoutMs);
  // Start, then Wait without a limit: true when a response arrived; on failure every response
  // value is empty and status() is 0. A wait cut short by the program's end aborts the request.
  bool Send(std::string_view body);
  // Aborts the running request: it ends at once, without a response. Nothing when none runs.
  void Abort();
  // A request was started and has not ended.
  bool running() const;

  int32_t status() const { return status_; }
  const std::string& statusText() const { return statusText_; }
  // The final response's header lines (status line excluded), each followed by CR LF, and a
  // closing CR LF; empty when there is no response.
  std::string AllResponseHeaders() const;
  // The value of the first response header with that name (case ignored), trimmed.
  std::optional<std::string> ResponseHeader(std::string_view name) const;
  const std::string& body() const { return body_; }
  bool hasResponse() const { return hasResponse_; }
  // The address of the final response, after redirects; empty when there is none.
  const std::string& effectiveUrl() const { return effectiveUrl_; }
  // The transfer library's message for the last failure, for diagnostics.
  const std::string& lastError() const { return lastError_; }
  // What ended the running or last request without a response: kNone while it runs and once a
  // response has arrived; kBadAddress after an Open that refused its address.
  RequestFailure failure() const { return failure_; }

  // Percent-encodes bytes from 0x80 up and blanks; exposed for tests.
  static std::string EncodeAddress(std::string_view url);

 private:
  void ClearResponse();
  std::string ProxyForScheme(std::string_view scheme) const;
  // Takes the results of the ended transfer.
  void Collect();
  // A transfer handle no running transfer uses: the engine's own, or a fresh one when the
  // aborted transfer before still holds it.
  const std::shared_ptr<EasyHandle>& FreeHandle();

  std::shared_ptr<EasyHandle> handle_;         // kept across requests, for the cookie state
  std::shared_ptr<Transfer> transfer_;         // the started request's, until the next Start
  std::shared_ptr<Transfer> abortedTransfer_;  // an aborted request's, until it has let go
  bool collected_ = false;                     // the ended transfer's results were taken
  std::shared_ptr<ResponseSink> sink_;
  std::function<void()> onEnded_;
  int32_t resolveMs_ = kDefaultResolveTimeoutMs;
  int32_t connectMs_ = kDefaultConnectTimeoutMs;
  int32_t sendMs_ = kDefaultSendTimeoutMs;
  int32_t receiveMs_ = kDefaultReceiveTimeoutMs;
  ProxyMode proxyMode_ = ProxyMode::kEnvironment;
  std::string proxyServer_;
  std::string proxyBypass_;
  uint32_t certMask_ = 0;
  bool followRedirects_ = true;
  bool httpsToHttp_ = false;
  std::string userAgent_ = kDefaultUserAgent;

  bool opened_ = false;
  std::string method_;
  void* parsed_ = nullptr;  // the transfer library's parse of the address, handed to it by Send
  std::string scheme_;
  std::vector<std::pair<std::string, std::string>> requestHeaders_;
  std::optional<std::string> cookieLine_;
  std::string cookieLines_;

  bool hasResponse_ = false;
  int32_t status_ = 0;
  std::string statusText_;
  std::vector<std::string> responseHeaders_;
  std::string body_;
  std::string effectiveUrl_;
  std::string lastError_;
  RequestFailure failure_ = RequestFailure::kNone;
};

}  // namespace platform::http

#endif  // PLATFORM_HTTP_HTTP_ENGINE_H_
