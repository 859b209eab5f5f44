// The request engine's test servers, by port: an HTTP and an HTTPS server (self-signed
// certificate) with fixed routes, two forwarding proxies (one wanting Basic credentials "u:p"),
// sockets that misbehave (a silent one, one that answers garbage, one that cuts a body short, a
// slow one that relays to the HTTPS server) and a port nothing listens on.
//
// A build that can host them (Linux) starts them in the test's process on first use; one that
// cannot (Windows, under Wine) reaches the same servers run beside the tests by the test-servers
// program, whose ports come in the environment variable WL_TEST_SERVERS
// ("http=P,https=P,..."). Every route answers with the request it saw in the X-Echo response
// header, so that a test learns what reached the server from the response alone.
//
// The routes of the HTTP and HTTPS servers:
//   /echo (GET, POST, PUT, HEAD), /p...  X-Reply: yes, body "body:" and the request's body
//   /redirect    Set-Cookie r=1, 302 to /final     /final      Set-Cookie f=2, body "final"
//   /set-cookie  Set-Cookie s=1                   /to-file    302 to a file: address
//   /redirect-to?to=A  302 to A                   /status/N   status N, body "x"
//   /hops/N      302 to /hops/N-1; /hops/0 answers "final"
//   /stall       answers after 3 s                /trickle    six bytes, 300 ms apart
//   /hello       status 201, body one Chinese character in UTF-8
//   /slow?key=K  answers after 400 ms, counting requests of key K held at once
//   /most?key=K  the most requests of key K held at once, as the body
// The HTTP proxies add "Via: test-proxy" to what they forward.
//
// Thread contract: TestServers() may be called from any thread; the servers live until the
// process ends.
#ifndef TESTS_SUPPORT_SCRIPTED_SERVERS_H_
#define TESTS_SUPPORT_SCRIPTED_SERVERS_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

struct ScriptedServers {
  int http = 0;
  int https = 0;
  int slowTls = 0;    // waits 800 ms after accepting, then relays to the HTTPS server
  int proxyAuth = 0;  // wants "Proxy-Authorization: Basic dTpw" (u:p), else 407
  int proxyOpen = 0;  // wants no credentials
  int silent = 0;     // accepts, never reads and never answers (held for 5 s)
  int garbage = 0;    // answers whatever it gets with bytes that are neither TLS nor HTTP
  int cut = 0;        // promises 100 bytes of body, sends 4 and closes
  int closed = 0;     // nothing listens there

  // "http://127.0.0.1:<port><path>" (or the given scheme).
  static std::string Url(int port, const std::string& path, const char* scheme = "http");
  std::string HttpUrl(const std::string& path) const { return Url(http, path); }
  std::string HttpsUrl(const std::string& path) const { return Url(https, path, "https"); }
  static std::string Address(int port) { return "127.0.0.1:" + std::to_string(port); }

  // "http=P,https=P,...": what the test-servers program writes and WL_TEST_SERVERS carries.
  std::string ToString() const;
  static std::optional<ScriptedServers> Parse(std::string_view text);
};

// The servers of this process: from WL_TEST_SERVERS when it is set, else started here; nullptr
// when neither is possible (a Windows build run without the test-servers program).
const ScriptedServers* TestServers();

// What a server saw of one request, as its X-Echo response header tells it.
struct EchoedRequest {
  std::string method, path;
  int remotePort = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // as they arrived, in order

  // How many header lines have that name (any case).
  size_t Count(std::string_view name) const;
  // The first value of that name, or "<none>".
  std::string Header(std::string_view name) const;

  // The request line, the remote port and the header lines in one header value: CR, LF, "%" and
  // bytes outside printable ASCII as %XX.
  static std::string Encode(const std::string& method, const std::string& path, int remotePort,
                            const std::vector<std::pair<std::string, std::string>>& headers);
  // The reverse; an empty request when `value` is not such a value.
  static EchoedRequest Decode(std::string_view value);
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_SCRIPTED_SERVERS_H_
