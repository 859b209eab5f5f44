// Fuzz target: the request header assembly on random header blocks (GBK and non-GBK bytes,
// stray CR and LF, colons anywhere). Checks:
// - NormalizeHeaders never grows the block, keeps only lines holding ": ", raises the first
//   letter of each name, and does not grow a block it has normalised;
// - HeaderName and HeaderValue fit in the line and are both empty without a colon;
// - AddDefaultHeaders only appends, and afterwards every default header is present;
// - Base64Encode has the RFC 4648 length and alphabet and decodes back to the bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/headers.h"
#include "runtime/kernel.h"

namespace {

using fuzz_support::Check;
using fuzz_support::ExactText;

std::string Base64Decode(const std::string& in) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : in) {
    if (c == '=') break;
    size_t v = alphabet.find(c);
    Check(v != std::string::npos, "Base64 outside its alphabet");
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t method = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const ExactText url(in.ConsumeRandomLengthString(24));
  const std::string rawBlock = in.ConsumeRemainingBytesAsString();
  const ExactText block(rawBlock);
  const std::string b = block.str();

  rt::Text normal = net::NormalizeHeaders(block.c_str());
  const std::string n = normal.str();
  Check(n.size() <= b.size(), "NormalizeHeaders grew the block");
  rt::TextArray lines = kernel::SplitText(normal, "\r\n");
  for (int64_t i = 1; i <= lines.size(); ++i) {
    const std::string line = lines.at(i);
    Check(kernel::FindText(line, ": ") != -1, "a normalised line without \": \"");
    Check(!(line[0] >= 'a' && line[0] <= 'z'), "a normalised name starts in lower case");
  }
  // A second pass may still change a name (a dash at its end goes each time), never grow it.
  Check(net::NormalizeHeaders(normal).size() <= n.size(), "NormalizeHeaders grew a normalised block");

  rt::TextArray raw = kernel::SplitText(block.c_str(), "\r\n");
  for (int64_t i = 1; i <= raw.size() && i <= 8; ++i) {
    const ExactText line(raw.at(i));
    rt::Text name = net::HeaderName(line.c_str());
    rt::Text value = net::HeaderValue(line.c_str());
    Check(name.size() + value.size() < line.str().size() || line.str().empty(),
          "header name and value longer than their line");
    if (line.str().find(':') == std::string::npos) {
      Check(name.empty() && value.empty(), "a name or value without a colon");
    }
  }

  rt::Text headers(block.c_str());
  net::AddDefaultHeaders(headers, url.c_str(), method);
  const std::string h = headers.str();
  Check(h.compare(0, b.size(), b) == 0, "AddDefaultHeaders changed the existing block");
  for (const char* name : {"Accept:", "Referer:", "Accept-Language:", "User-Agent:"}) {
    Check(kernel::FindText(headers, name, std::nullopt, true) != -1, "a default header is missing");
  }

  rt::ByteSet bytes(rawBlock.data(), rawBlock.size());
  rt::Text encoded = net::Base64Encode(bytes);
  Check(encoded.size() == (rawBlock.size() + 2) / 3 * 4, "Base64 length");
  Check(Base64Decode(encoded.str()) == rawBlock, "Base64 does not decode back");
  return 0;
}
