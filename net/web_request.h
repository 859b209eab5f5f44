// WebRequest: the application's one routine for HTTP, through the request automation object
// "WinHttp.WinHttpRequest.5.1", reached only through the COM bridge; the response body is the
// result, headers, status and cookies come back through output parameters. It comes in two
// halves as well: StartWebRequest sends the request and returns at once, FinishWebRequest
// delivers what WebRequest would have; WebRequest is the two in one, with a synchronous send.
//
// Parameters follow the routine's declared order. An omitted optional input (std::nullopt)
// reads as its type's empty value; for cookies, proxyAuthMode, requestObject, mergeCookies and
// addDefaultHeaders the routine also tells whether it was given. Output and in/out parameters
// are variables passed by address; null means omitted.
// Ownership: the result is a new byte set the caller owns; texts written into the caller's
// variables replace (and free) what they held. A caller's request object stays the caller's.
// Thread contract: runs on the calling thread (the GUI thread in the application). WebRequest
// returns when the response has arrived or a time-out has expired; while it waits, the
// program's events keep being handled, so other routines may run. COM is initialised on the
// thread from the start of a request to its end.
#ifndef NET_WEB_REQUEST_H_
#define NET_WEB_REQUEST_H_

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/http/request_failure.h"
#include "runtime/com/com_bridge.h"
#include "runtime/kernel.h"
#include "runtime/values.h"

namespace net {

using platform::http::RequestFailure;

inline constexpr char kRequestProgId[] = "WinHttp.WinHttpRequest.5.1";
// What every request of the routine gets unless told otherwise: the time-out of each phase when
// timeoutSeconds is below 1, and the certificate-error mask (option 4) it always sets. Requests
// made beside it, such as downloads, repeat them.
inline constexpr int32_t kDefaultTimeoutMs = 15000;
inline constexpr int32_t kIgnoreCertificateErrors = 0x3300;

// Method numbers 0 to 7: GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT; any other
// number is GET. timeoutSeconds: -1 keeps the object's time-outs, below 1 means 15 s.
// proxyAuthMode: 1 (also when omitted) sends proxyUser/proxyPassword as Basic credentials.
rt::ByteSet WebRequest(kernel::TextRef url,                                          // 1
                       std::optional<int32_t> method = std::nullopt,                 // 2
                       std::optional<kernel::TextRef> postText = std::nullopt,       // 3
                       rt::Text* cookies = nullptr,                                  // 4 in/out
                       rt::Text* returnedCookies = nullptr,                          // 5 out
                       rt::Text* headers = nullptr,                                  // 6 in/out
                       rt::Text* returnedHeaders = nullptr,                          // 7 out
                       int32_t* status = nullptr,                                    // 8 out
                       std::optional<bool> noRedirect = std::nullopt,                // 9
                       std::optional<kernel::BytesRef> postBytes = std::nullopt,     // 10
                       std::optional<kernel::TextRef> proxy = std::nullopt,          // 11
                       std::optional<int32_t> timeoutSeconds = std::nullopt,         // 12
                       std::optional<kernel::TextRef> proxyUser = std::nullopt,      // 13
                       std::optional<kernel::TextRef> proxyPassword = std::nullopt,  // 14
                       std::optional<int32_t> proxyAuthMode = std::nullopt,          // 15
                       rt::com::ComObject* requestObject = nullptr,                  // 16
                       std::optional<bool> mergeCookies = std::nullopt,              // 17
                       std::optional<bool> addDefaultHeaders = std::nullopt);        // 18

// A request sent by StartWebRequest: its request object and the caller's output variables.
// Ownership: owns its reference to the request object; destroying it before FinishWebRequest
// aborts the request (its transfer ends at once) and releases everything. Move-only.
// REQUIRES: the output variables given to StartWebRequest outlive FinishWebRequest.
class PendingWebRequest {
 public:
  struct State;  // opaque: made by StartWebRequest
  PendingWebRequest();
  explicit PendingWebRequest(std::unique_ptr<State> state);
  PendingWebRequest(PendingWebRequest&&) noexcept;
  PendingWebRequest& operator=(PendingWebRequest&&) noexcept;
  ~PendingWebRequest();

  // True while the request waits for FinishWebRequest (also when it could not be created:
  // then it is complete at once).
  bool pending() const { return state_ != nullptr; }
  // Waits up to `timeoutSeconds` (negative: no limit) for the response, handling events;
  // true once it is complete or has failed, so that FinishWebRequest returns at once.
  bool Wait(double timeoutSeconds);
  bool IsComplete() { return Wait(0); }
  // Aborts the transfer; FinishWebRequest then gives what a failed request gives.
  void Abort();

 private:
  friend rt::ByteSet FinishWebRequest(PendingWebRequest& request, RequestFailure* failure);
  std::unique_ptr<State> state_;
};

// Steps up to and including the send, with Open's asynchronous flag set: the request is on its
// way when this returns. The same parameters as WebRequest; `headers` is completed and written
// back here, the other outputs by FinishWebRequest. `cookieLines`, when given and not empty:
// Netscape cookie lines for the request object's cookie store (the user's login), which adds
// those that match the address to the request's Cookie line; without it the object is called
// exactly as WebRequest calls it.
PendingWebRequest StartWebRequest(kernel::TextRef url,                                          // 1
                                  std::optional<int32_t> method = std::nullopt,                 // 2
                                  std::optional<kernel::TextRef> postText = std::nullopt,       // 3
                                  rt::Text* cookies = nullptr,                                  // 4 in/out
                                  rt::Text* returnedCookies = nullptr,                          // 5 out
                                  rt::Text* headers = nullptr,                                  // 6 in/out
                                  rt::Text* returnedHeaders = nullptr,                          // 7 out
                                  int32_t* status = nullptr,                                    // 8 out
                                  std::optional<bool> noRedirect = std::nullopt,                // 9
                                  std::optional<kernel::BytesRef> postBytes = std::nullopt,     // 10
                                  std::optional<kernel::TextRef> proxy = std::nullopt,          // 11
                                  std::optional<int32_t> timeoutSeconds = std::nullopt,         // 12
                                  std::optional<kernel::TextRef> proxyUser = std::nullopt,      // 13
                                  std::optional<kernel::TextRef> proxyPassword = std::nullopt,  // 14
                                  std::optional<int32_t> proxyAuthMode = std::nullopt,          // 15
                                  rt::com::ComObject* requestObject = nullptr,                  // 16
                                  std::optional<bool> mergeCookies = std::nullopt,              // 17
                                  std::optional<bool> addDefaultHeaders = std::nullopt,         // 18
                                  std::optional<kernel::TextRef> cookieLines = std::nullopt);   // 19

// The rest of the steps: waits for the response (handling events), reads body, headers and
// status, builds and merges the cookies, releases the object. Returns the body; the request is
// no longer pending afterwards (a second call returns an empty byte set and writes nothing).
// `failure`, when given, receives what ended the request without a response (kNone when one
// arrived; kOther when the request object could not be created).
rt::ByteSet FinishWebRequest(PendingWebRequest& request, RequestFailure* failure = nullptr);

}  // namespace net

#endif  // NET_WEB_REQUEST_H_
