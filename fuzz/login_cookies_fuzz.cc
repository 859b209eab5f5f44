// Fuzz target: the login's parsers on random bytes, a pasted Cookie line and a cookies.txt.
// Checks:
// - every cookie taken belongs to the site's domain and has a name;
// - no name, value or path holds a byte that would break its line (tab, CR, LF, NUL);
// - the cookies written back in the Netscape format read back to the same lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/login_cookies.h"

namespace {

using fuzz_support::Check;

bool Clean(const std::string& s) { return s.find_first_of(std::string("\t\r\n\0", 4)) == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string line = in.ConsumeRandomLengthString(256);
  const std::string text = in.ConsumeRemainingBytesAsString();

  net::LoginCookies cookies("zhihu.com");
  const int fromLine = cookies.AddHeaderLine(line);
  const int fromText = cookies.AddNetscapeText(text);
  Check(fromLine >= 0 && fromText >= 0, "a negative count");
  Check(cookies.cookies().size() <= static_cast<size_t>(fromLine + fromText), "more cookies than taken");
  for (const net::LoginCookie& c : cookies.cookies()) {
    Check(cookies.IsSiteDomain(c.domain), "a cookie of another domain");
    Check(!c.name.empty(), "a cookie without a name");
    Check(Clean(c.name) && Clean(c.value) && Clean(c.path) && Clean(c.domain), "a byte that breaks the line");
  }
  net::LoginCookies back("zhihu.com");
  back.AddNetscapeText(cookies.NetscapeLines());
  Check(back.NetscapeLines() == cookies.NetscapeLines(), "the written lines read back differently");
  return 0;
}
