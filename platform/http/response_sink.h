// The receiving end of a request's final response, shared by every backend of the request
// engine.
#ifndef PLATFORM_HTTP_RESPONSE_SINK_H_
#define PLATFORM_HTTP_RESPONSE_SINK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::http {

// Takes a transfer's final response as it arrives, on the transfer loop's thread, instead of
// the transfer keeping its body in memory (a download to a file). Responses of followed
// redirects and interim responses never reach it.
// Thread contract: called on the loop's thread only, one call at a time.
class ResponseSink {
 public:
  virtual ~ResponseSink() = default;
  // The final response's status and header lines (status line excluded), before its body.
  // False ends the transfer as failed; nothing more is called.
  virtual bool OnResponse(int32_t status, const std::vector<std::string>& headers) = 0;
  // The next piece of the body. False (a failed write) ends the transfer as failed.
  virtual bool OnBody(std::string_view bytes) = 0;
};

}  // namespace platform::http

#endif  // PLATFORM_HTTP_RESPONSE_SINK_H_
