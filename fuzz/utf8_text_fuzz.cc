// Fuzz target: Utf8BytesToText on random bytes (valid and invalid UTF-8, zeros inside). The
// result must be a text without zeros, no longer than the bytes, equal to the platform's own
// conversion of the bytes before the first zero when those are valid UTF-8, and read back to
// the same characters when no character had to be replaced.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program.h"
#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "runtime/dll_commands.h"
#include "runtime/kernel.h"
#include "text/charsets.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The conversion reaches the code pages through the program's declared DLL commands.
  const rt::ProgramHeader& program = app::ProgramDescription();
  rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rt::ByteSet bytes(data, size);
  rt::Text out = text::Utf8BytesToText(bytes);
  const std::string got = out.str();
  Check(got.size() <= size, "Utf8BytesToText longer than its bytes");
  const std::string all(reinterpret_cast<const char*>(data), size);
  const std::u16string units = platform::ToUtf16(platform::kCodePageUtf8, all);
  const std::string expected = std::string(platform::FromUtf16(platform::kCodePageGbk, units).c_str());
  Check(got == expected, "Utf8BytesToText differs from the platform conversion");
  if (units.find(u'\xFFFD') == std::u16string::npos && got.find('?') == std::string::npos &&
      all.find('\0') == std::string::npos) {
    Check(platform::GbkToUtf8(got) == all, "a valid, representable text does not read back");
  }
  return 0;
}
