// Fuzz target: TextBefore, TextBetween and AllTextsBetween with fuzzed texts, markers, starts,
// flags, length limits, prefixes and suffixes. No toolkit application exists here, so the
// message pumping inside AllTextsBetween must be harmless without one. Checks:
// - TextBefore gives a prefix of the text that ends where FindText finds the marker;
// - TextBetween gives a piece of the text (markers with "#引号" aside, no longer than it);
// - AllTextsBetween returns its member count, keeps only members shorter than a non-zero
//   limit, and without prefix, suffix and markers every member is a piece of the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "fuzz/fuzz_support.h"
#include "runtime/kernel.h"
#include "text/text_helpers.h"

namespace {

using fuzz_support::Check;
using fuzz_support::ExactText;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  std::optional<int32_t> start;
  if (in.ConsumeBool()) start = in.ConsumeIntegralInRange<int32_t>(-2, 64);
  const bool fold = in.ConsumeBool();
  const int32_t maxLength = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-2, 32) : 0;
  const int32_t includeLeft = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const int32_t includeRight = in.ConsumeIntegralInRange<int32_t>(0, 2);
  const ExactText left(in.ConsumeRandomLengthString(12));
  const ExactText right(in.ConsumeRandomLengthString(12));
  const ExactText prefix(in.ConsumeRandomLengthString(4));
  const ExactText suffix(in.ConsumeRandomLengthString(4));
  const ExactText t(in.ConsumeRemainingBytesAsString());
  const std::string text = t.str();

  rt::Text before = text::TextBefore(t.c_str(), left.c_str(), start, fold);
  Check(text.compare(0, before.size(), before.str()) == 0, "TextBefore is not a prefix");
  if (!before.empty()) {
    Check(kernel::FindText(t.c_str(), left.c_str(), start, fold) == static_cast<int32_t>(before.size()) + 1,
          "TextBefore does not end at the marker");
  }

  rt::Text between = text::TextBetween(t.c_str(), left.c_str(), right.c_str(), start, fold);
  Check(between.size() <= text.size(), "TextBetween longer than the text");
  Check(text.find(between.str()) != std::string::npos, "TextBetween is not a piece of the text");

  rt::TextArray out;
  out.push_back("stale");
  const int32_t n = text::AllTextsBetween(t.c_str(), left.c_str(), right.c_str(), &out, fold, maxLength,
                                          prefix.c_str(), suffix.c_str(), includeLeft, includeRight, start);
  Check(n == out.size(), "AllTextsBetween count differs from its array");
  Check(static_cast<size_t>(n) <= text.size() + 1, "AllTextsBetween gave more pieces than places");
  const bool plain = prefix.str().empty() && suffix.str().empty() && includeLeft != 1 && includeRight != 1;
  for (int64_t i = 1; i <= out.size(); ++i) {
    const std::string piece = rt::OrEmpty(out.at(i));
    if (maxLength != 0) Check(static_cast<int32_t>(piece.size()) < maxLength, "piece over the limit kept");
    if (plain) Check(text.find(piece) != std::string::npos, "AllTextsBetween piece is not in the text");
  }
  return 0;
}
