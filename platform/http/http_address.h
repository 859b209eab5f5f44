// Absolute http and https addresses as the request engine takes them apart (scheme, host, port,
// target), a redirect's Location resolved against the address it came from, and proxy bypass
// lists: what every backend of the engine reads the same way.
//
// Stateless; safe from any thread.
#ifndef PLATFORM_HTTP_HTTP_ADDRESS_H_
#define PLATFORM_HTTP_HTTP_ADDRESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::http {

// An address taken apart. ToString() gives it back in a normal form: the scheme in lower case,
// the port only when it is not the scheme's own.
struct HttpAddress {
  bool https = false;
  std::string host;  // lower case; an IPv6 address keeps its brackets
  uint16_t port = 0;
  std::string target;  // path and query, at least "/"

  std::string scheme() const { return https ? "https" : "http"; }
  bool defaultPort() const { return port == (https ? 443 : 80); }
  std::string ToString() const {
    std::string s = scheme() + "://" + host;
    if (!defaultPort()) s += ":" + std::to_string(port);
    return s + target;
  }
  // The path without the query, for cookies.
  std::string path() const { return target.substr(0, target.find('?')); }
  // The host without the brackets of an IPv6 address, as a connection takes it.
  std::string bareHost() const {
    if (host.size() > 2 && host.front() == '[') return host.substr(1, host.size() - 2);
    return host;
  }
};

// A well-formed absolute http or https address, already encoded (no blanks, no bytes from 0x80):
// scheme (any case), "://", an optional user part, a host (an IPv6 address in brackets), an
// optional port from 1 to 65535, then path and query; a fragment is dropped. Nothing for
// anything else.
std::optional<HttpAddress> ParseHttpAddress(std::string_view url);

// A redirect's Location (absolute, scheme-relative, absolute path, query or relative path)
// against the address it came from; bytes from 0x80 up and blanks percent-encoded.
std::string ResolveLocation(const HttpAddress& base, std::string_view location);

// Whether `host` is in a bypass list: entries separated by ",", ";" or blanks; "*" for all;
// "<local>" for names without a dot; an entry names a host and its subdomains (a leading "*" or
// "." changes nothing); a port after an entry is ignored. Names compared without regard to case.
bool ProxyBypassed(std::string_view list, std::string_view host);

}  // namespace platform::http

#endif  // PLATFORM_HTTP_HTTP_ADDRESS_H_
