#include "platform/http/http_address.h"

#include "platform/http/header_lines.h"
#include "platform/http/http_engine.h"

namespace platform::http {
std::optional<HttpAddress> ParseHttpAddress(std::string_view url) {
  size_t colon = url.find("://");
  if (colon == std::string_view::npos) return std::nullopt;
  std::string scheme = ToLowerAscii(url.substr(0, colon));
  HttpAddress a;
  if (scheme == "https") {
    a.https = true;
  } else if (scheme != "http") {
    return std::nullopt;
  }
  std::string_view rest = url.substr(colon + 3);
  size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  rest = rest.substr(0, rest.find('#'));
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority = authority.substr(at + 1);
  std::string_view host = authority, port;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
  } else {
    size_t c = authority.rfind(':');
    if (c != std::string_view::npos) {
      host = authority.substr(0, c);
      port = authority.substr(c + 1);
    }
  }
  if (host.empty() || host.find_first_of(" \t\"<>\\^`{|}") != std::string_view::npos) return std::nullopt;
  a.host = ToLowerAscii(host);
  a.port = a.https ? 443 : 80;
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    a.port = static_cast<uint16_t>(value);
  }
  a.target = rest.empty() || rest.front() == '?' ? "/" + std::string(rest) : std::string(rest);
  return a;
}

std::string ResolveLocation(const HttpAddress& base, std::string_view location) {
  std::string loc = HttpEngine::EncodeAddress(TrimBlanks(location));
  size_t scheme = loc.find("://");
  if (scheme != std::string::npos && loc.find_first_of("/?#") > scheme) return loc;
  if (loc.rfind("//", 0) == 0) return base.scheme() + ":" + loc;
  std::string origin = base.scheme() + "://" + base.host;
  if (!base.defaultPort()) origin += ":" + std::to_string(base.port);
  if (!loc.empty() && loc.front() == '/') return origin + loc;
  std::string path = base.path();
  if (!loc.empty() && loc.front() == '?') return origin + path + loc;
  return origin + path.substr(0, path.rfind('/') + 1) + loc;
}

bool ProxyBypassed(std::string_view list, std::string_view host) {
  while (!list.empty()) {
    size_t end = list.find_first_of(",; \t");
    std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    if (entry == "*") return true;
    if (entry == "<local>") {
      if (host.find('.') == std::string_view::npos) return true;
      continue;
    }
    while (!entry.empty() && entry.front() == '*') entry.remove_prefix(1);
    if (entry.empty() || entry.front() != '[') entry = entry.substr(0, entry.find(':'));
    while (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) continue;
    if (EqualsIgnoreCase(host, entry)) return true;
    if (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
        EqualsIgnoreCase(host.substr(host.size() - entry.size()), entry))
      return true;
  }
  return false;
}

}  // namespace platform::http
