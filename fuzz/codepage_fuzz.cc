// Fuzz target: the code-page conversions on random bytes, read as code page 936 and as UTF-8,
// and on random UTF-16 units. Checks:
// - the counting call (no buffer) and the writing call agree, a buffer one unit short gets
//   nothing, and no call writes past the buffer it is given (exact-size heap buffers);
// - round trips of valid input: bytes that decode without a replacement character encode back
//   to themselves, and UTF-16 that encodes without the default character decodes back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"

namespace {

using fuzz_support::Check;

void Bytes(uint32_t codePage, const std::string& bytes) {
  // Exact-size copy of the input: the conversion must not read past it.
  auto src = std::make_unique<char[]>(bytes.size() + 1);
  std::memcpy(src.get(), bytes.data(), bytes.size());
  const int32_t len = static_cast<int32_t>(bytes.size());
  const int32_t need = platform::MultiByteToWideChar(codePage, 0, src.get(), len, nullptr, 0);
  if (len == 0) {
    Check(need == 0, "an empty input needs units");
    return;
  }
  Check(need >= 1 && need <= len, "decoding needs more units than bytes");
  auto wide = std::make_unique<char16_t[]>(static_cast<size_t>(need));
  Check(platform::MultiByteToWideChar(codePage, 0, src.get(), len, wide.get(), need) == need,
        "decoding wrote a different count than it asked for");
  if (need > 1) {
    auto shortBuf = std::make_unique<char16_t[]>(static_cast<size_t>(need - 1));
    Check(platform::MultiByteToWideChar(codePage, 0, src.get(), len, shortBuf.get(), need - 1) == 0,
          "decoding into a short buffer reported success");
  }
  const std::u16string units(wide.get(), static_cast<size_t>(need));
  Check(platform::ToUtf16(codePage, bytes) == units, "ToUtf16 differs from the two-call form");

  const std::string back = platform::FromUtf16(codePage, units);
  if (units.find(u'\xFFFD') == std::u16string::npos) {
    Check(back == bytes, "valid input does not survive the round trip");
  }
  // No character takes more than three bytes a UTF-16 unit in either code page.
  Check(back.size() <= 3 * units.size(), "encoding grew beyond three bytes a unit");
}

void Units(uint32_t codePage, const std::u16string& units) {
  const int32_t len = static_cast<int32_t>(units.size());
  auto src = std::make_unique<char16_t[]>(units.size() + 1);
  std::memcpy(src.get(), units.data(), units.size() * 2);
  src[units.size()] = 0;
  int32_t used = -1;
  const int32_t need = platform::WideCharToMultiByte(codePage, 0, src.get(), len, nullptr, 0, nullptr, &used);
  if (len == 0) {
    Check(need == 0, "an empty input needs bytes");
    return;
  }
  Check(need >= 1, "encoding a non-empty input needs no bytes");
  auto out = std::make_unique<char[]>(static_cast<size_t>(need));
  int32_t used2 = -1;
  Check(platform::WideCharToMultiByte(codePage, 0, src.get(), len, out.get(), need, nullptr, &used2) == need,
        "encoding wrote a different count than it asked for");
  Check(used == used2 && (used == 0 || used == 1), "the default-character flag is unsteady");
  if (need > 1) {
    auto shortBuf = std::make_unique<char[]>(static_cast<size_t>(need - 1));
    Check(platform::WideCharToMultiByte(codePage, 0, src.get(), len, shortBuf.get(), need - 1, nullptr,
                                        nullptr) == 0,
          "encoding into a short buffer reported success");
  }
  Check(platform::lstrlenW(src.get()) <= len, "lstrlenW past the zero");
  const std::string bytes(out.get(), static_cast<size_t>(need));
  Check(platform::FromUtf16(codePage, units) == bytes, "FromUtf16 differs from the two-call form");
  if (used == 0 && codePage == platform::kCodePageGbk) {
    Check(platform::ToUtf16(codePage, bytes) == units, "representable UTF-16 does not survive GBK");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange<int>(0, 2);
  const std::string rest = in.ConsumeRemainingBytesAsString();
  if (mode == 0) {
    Bytes(platform::kCodePageGbk, rest);
  } else if (mode == 1) {
    Bytes(platform::kCodePageUtf8, rest);
  } else {
    std::u16string units(rest.size() / 2, u'\0');
    std::memcpy(units.data(), rest.data(), units.size() * 2);
    Units(platform::kCodePageGbk, units);
    Units(platform::kCodePageUtf8, units);
  }
  return 0;
}
