// The request engine's members that both backends share: its settings, its request headers and
// the reading of the final response's header lines. The transfer itself is each backend's.
#include <optional>
#include <string>
#include <string_view>

#include "platform/http/header_lines.h"
#include "platform/http/http_engine.h"

namespace platform::http {

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

bool HttpEngine::SetRequestHeader(std::string_view name, std::string_view value) {
  if (!opened_ || !IsToken(name)) return false;
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  value = TrimBlanks(value);
  if (EqualsIgnoreCase(name, "Cookie")) {
    // Sent in one line with the cookies the engine keeps for the address.
    cookieLine_ = std::string(value);
    return true;
  }
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
  effectiveUrl_.clear();
  status_ = 0;
  statusText_.clear();
  responseHeaders_.clear();
  body_.clear();
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
  std::optional<std::string_view> value = HeaderValue(responseHeaders_, name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

}  // namespace platform::http
