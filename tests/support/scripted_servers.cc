#include "tests/support/scripted_servers.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#if !defined(_WIN32)
#include "tests/support/scripted_server_set.h"
#endif

namespace testing_support {
namespace {

// The ports in the order of ToString, with their names.
std::vector<std::pair<const char*, int ScriptedServers::*>> Fields() {
  return {{"http", &ScriptedServers::http},
          {"https", &ScriptedServers::https},
          {"slow-tls", &ScriptedServers::slowTls},
          {"proxy-auth", &ScriptedServers::proxyAuth},
          {"proxy-open", &ScriptedServers::proxyOpen},
          {"silent", &ScriptedServers::silent},
          {"garbage", &ScriptedServers::garbage},
          {"cut", &ScriptedServers::cut},
          {"closed", &ScriptedServers::closed}};
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string ScriptedServers::Url(int port, const std::string& path, const char* scheme) {
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

std::string ScriptedServers::ToString() const {
  std::string out;
  for (const auto& [name, field] : Fields())
    out += (out.empty() ? "" : ",") + std::string(name) + "=" + std::to_string(this->*field);
  return out;
}

std::optional<ScriptedServers> ScriptedServers::Parse(std::string_view text) {
  ScriptedServers s;
  for (const auto& [name, field] : Fields()) {
    std::string key = std::string(name) + "=";
    size_t at = text.find(key);
    // The name must start the text or follow a comma ("https=" holds no "http=" at its start).
    while (at != std::string_view::npos && at != 0 && text[at - 1] != ',') at = text.find(key, at + 1);
    if (at == std::string_view::npos) return std::nullopt;
    s.*field = std::atoi(std::string(text.substr(at + key.size())).c_str());
    if (s.*field <= 0) return std::nullopt;
  }
  return s;
}

const ScriptedServers* TestServers() {
  static std::once_flag once;
  static std::optional<ScriptedServers> servers;
  std::call_once(once, [] {
    if (const char* given = std::getenv("WL_TEST_SERVERS")) {
      servers = ScriptedServers::Parse(given);
      return;
    }
#if !defined(_WIN32)
    // Started once and left running until the process ends, as the servers beside the Windows
    // tests are.
    static std::unique_ptr<ScriptedServerSet> set = std::make_unique<ScriptedServerSet>();
    servers = set->ports();
#endif
  });
  return servers ? &*servers : nullptr;
}

size_t EchoedRequest::Count(std::string_view name) const {
  size_t n = 0;
  for (const auto& [k, v] : headers) n += EqualsIgnoringCase(k, name) ? 1 : 0;
  return n;
}

std::string EchoedRequest::Header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (EqualsIgnoringCase(k, name)) return v;
  }
  return "<none>";
}

std::string EchoedRequest::Encode(const std::string& method, const std::string& path, int remotePort,
                                  const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string plain = method + " " + path + " " + std::to_string(remotePort) + "\n";
  for (const auto& [k, v] : headers) plain += k + ": " + v + "\n";
  std::string out;
  for (unsigned char c : plain) {
    if (c < 0x20 || c >= 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

EchoedRequest EchoedRequest::Decode(std::string_view value) {
  std::string plain;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      plain += static_cast<char>(std::strtol(std::string(value.substr(i + 1, 2)).c_str(), nullptr, 16));
      i += 2;
    } else {
      plain += value[i];
    }
  }
  EchoedRequest r;
  size_t eol = plain.find('\n');
  if (eol == std::string::npos) return r;
  std::string first = plain.substr(0, eol);
  size_t a = first.find(' '), b = first.rfind(' ');
  if (a == std::string::npos || a == b) return r;
  r.method = first.substr(0, a);
  r.path = first.substr(a + 1, b - a - 1);
  r.remotePort = std::atoi(first.c_str() + b + 1);
  for (size_t pos = eol + 1; pos < plain.size();) {
    size_t end = plain.find('\n', pos);
    if (end == std::string::npos) end = plain.size();
    std::string line = plain.substr(pos, end - pos);
    pos = end + 1;
    size_t colon = line.find(": ");
    if (colon != std::string::npos) r.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
  }
  return r;
}

}  // namespace testing_support
