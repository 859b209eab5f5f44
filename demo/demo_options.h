// The command line of videolens-demo: the proxy's port, the port file and the response latency.
//
// Plain values and a pure function; any thread.
#ifndef DEMO_DEMO_OPTIONS_H_
#define DEMO_DEMO_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The longest latency the site accepts: a minute per response is already no network at all.
inline constexpr int kMaxLatencyMs = 60000;

struct DemoOptions {
  uint16_t port = 0;      // the proxy's port; 0: an ephemeral one
  std::string port_file;  // written with the proxy's port once it listens; empty: none
  int latency_ms = 0;     // every response waits this long before its first byte
};

// The usage line, with the program's name in front.
std::string DemoUsage(const std::string& program);

// Reads the arguments after the program's name: --port N, --port-file F and --latency MS, in any
// order (a repeated one: the last counts). False, with the reason in `*error`, for an
// unknown argument, a missing value, or a number that is not whole, decimal and in range (port
// 0 to 65535, latency 0 to kMaxLatencyMs).
bool ParseDemoOptions(const std::vector<std::string>& args, DemoOptions* options, std::string* error);

}  // namespace demo

#endif  // DEMO_DEMO_OPTIONS_H_
