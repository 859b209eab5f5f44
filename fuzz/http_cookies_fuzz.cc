// Fuzz target: cookie extraction from response header blocks and the merging of cookie
// texts, on random bytes. Checks:
// - ExtractSetCookies never gives more than the block holds;
// - MergeCookies stores its result back into the old cookies, leaves no entry whose value is
//   "deleted" and no entry twice, and keeps every cookie the new text names (unless deleted);
// - RemoveDuplicateEntries leaves every entry once, in first-seen order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/cookies.h"
#include "runtime/kernel.h"

namespace {

using fuzz_support::Check;

std::string Cut(const std::string& s) { return std::string(s.c_str()); }  // a text ends at its zero

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string oldRaw = Cut(in.ConsumeRandomLengthString(64));
  const std::string block = Cut(in.ConsumeRemainingBytesAsString());

  rt::Text extracted = net::ExtractSetCookies(block);
  Check(extracted.size() <= block.size(), "ExtractSetCookies gave more than the block");

  rt::Text oldCookies(oldRaw);
  rt::Text newCookies(extracted.str());
  rt::Text merged = net::MergeCookies(oldCookies, newCookies);
  Check(oldCookies.str() == merged.str(), "MergeCookies did not store its result");
  rt::TextArray entries = kernel::SplitText(merged, "; ");
  std::set<std::string> seen;
  for (int64_t i = 1; i <= entries.size(); ++i) {
    const std::string entry = entries.at(i);
    Check(entry.size() < 8 || entry.compare(entry.size() - 8, 8, "=deleted") != 0, "a deleted cookie kept");
    Check(seen.insert(entry).second, "a cookie entry twice");
  }
  rt::TextArray fresh = kernel::SplitText(newCookies, ";");
  for (int64_t i = 1; i <= fresh.size(); ++i) {
    const std::string entry = fresh.at(i);
    if (entry.empty() || (entry.size() >= 8 && entry.compare(entry.size() - 8, 8, "=deleted") == 0)) continue;
    Check(seen.count(entry) == 1, "a new cookie lost in the merge");
  }

  rt::Text unique = net::RemoveDuplicateEntries(block, ",");
  rt::TextArray parts = kernel::SplitText(unique, ",");
  std::set<std::string> once;
  for (int64_t i = 1; i <= parts.size(); ++i) Check(once.insert(parts.at(i)).second, "an entry left twice");
  Check(unique.size() <= block.size(), "RemoveDuplicateEntries grew the text");
  return 0;
}
