// WebRequest: the application's one routine for HTTP. One synchronous request through the
// request automation object "WinHttp.WinHttpRequest.5.1", reached only through the COM
// bridge; the response body is the result, headers, status and cookies come back through
// output parameters.
//
// Parameters follow the routine's declared order. An omitted optional input (std::nullopt)
// reads as its type's empty value; for cookies, proxyAuthMode, requestObject, mergeCookies and
// addDefaultHeaders the routine also tells whether it was given. Output and in/out parameters
// are variables passed by address; null means omitted.
// Ownership: the result is a new byte set the caller owns; texts written into the caller's
// variables replace (and free) what they held. A caller's request object stays the caller's.
// Thread contract: runs on the calling thread (the GUI thread in the application) and blocks
// it until the response has arrived or a time-out has expired; COM is initialised on the
// thread for the duration of the call.
#ifndef NET_WEB_REQUEST_H_
#define NET_WEB_REQUEST_H_

#include <cstdint>
#include <optional>

#include "runtime/com/com_bridge.h"
#include "runtime/kernel.h"
#include "runtime/values.h"

namespace net {

inline constexpr char kRequestProgId[] = "WinHttp.WinHttpRequest.5.1";

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

}  // namespace net

#endif  // NET_WEB_REQUEST_H_
