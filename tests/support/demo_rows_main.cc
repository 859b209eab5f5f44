// demo-rows: writes the rows the lookup of each compared demo page must give (see
// demo_expected_rows.h) to standard output, for test programs that cannot read the demo's
// content themselves (the Windows build's).
#include <cstdio>
#include <string>

#include "tests/support/demo_expected_rows.h"

int main() {
  demo::DemoContent content;
  for (const std::string& path : testing_support::ComparedDemoPages()) {
    std::string block = testing_support::ExpectedDemoRows(content, path);
    if (block.empty()) {
      std::fprintf(stderr, "demo-rows: no expected rows for %s\n", path.c_str());
      return 1;
    }
    std::fputs(block.c_str(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
