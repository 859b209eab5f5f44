// What ended a request without a response: the kinds a caller can tell a user apart, the same
// for every backend of the request engine.
//
// Thread contract: plain values; safe from any thread.
#ifndef PLATFORM_HTTP_REQUEST_FAILURE_H_
#define PLATFORM_HTTP_REQUEST_FAILURE_H_

#include <cstdint>

namespace platform::http {

// The numbers cross the request automation object as integers: keep them stable.
enum class RequestFailure : int32_t {
  kNone = 0,            // a response arrived (any status), or nothing was started yet
  kBadAddress = 1,      // not a well-formed http or https address
  kHostNotFound = 2,    // the host's name could not be resolved
  kConnectFailed = 3,   // refused, unreachable, reset before the connection was up
  kProxyFailed = 4,     // the proxy could not be resolved or reached, or refused the tunnel
  kTlsFailed = 5,       // the TLS handshake failed or the certificate was refused
  kConnectTimeout = 6,  // no connection (resolve, connect and handshake) within the time-out
  kSendTimeout = 7,     // no progress sending the request within the time-out
  kReceiveTimeout = 8,  // no progress receiving the response within the time-out
  kConnectionLost = 9,  // the connection broke or closed before the response was complete
  kAborted = 10,        // aborted by its starter or by the program's end
  kOther = 11,          // anything else (a refused redirect, too many redirects, a local error)
};

}  // namespace platform::http

#endif  // PLATFORM_HTTP_REQUEST_FAILURE_H_
