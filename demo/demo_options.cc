#include "demo/demo_options.h"

#include <charconv>

namespace demo {
namespace {

// A whole decimal number from `low` to `high`, nothing else (no sign, blank or suffix).
bool ReadNumber(const std::string& text, long low, long high, long* out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace

std::string DemoUsage(const std::string& program) {
  return "usage: " + program + " [--port N] [--port-file F] [--latency MS]";
}

bool ParseDemoOptions(const std::vector<std::string>& args, DemoOptions* options, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name != "--port" && name != "--port-file" && name != "--latency") {
      *error = "unknown argument " + name;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = name + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    long number = 0;
    if (name == "--port-file") {
      options->port_file = value;
    } else if (name == "--port") {
      if (!ReadNumber(value, 0, 65535, &number)) {
        *error = "--port takes a port number from 0 to 65535, not \"" + value + "\"";
        return false;
      }
      options->port = static_cast<uint16_t>(number);
    } else {
      if (!ReadNumber(value, 0, kMaxLatencyMs, &number)) {
        *error = "--latency takes milliseconds from 0 to " + std::to_string(kMaxLatencyMs) + ", not \"" +
                 value + "\"";
        return false;
      }
      options->latency_ms = static_cast<int>(number);
    }
  }
  return true;
}

}  // namespace demo
