// The address encoding every backend of the request engine shares: it depends on no transfer
// library.
#include "platform/http/http_engine.h"

namespace platform::http {

std::string HttpEngine::EncodeAddress(std::string_view url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (unsigned char c : url) {
    if (c >= 0x80 || c == ' ') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace platform::http
