// Cutting pieces out of a text by marker texts: the text before a marker, the first piece
// between two markers, every such piece. Built on the kernel's text commands and sharing their
// rules: 1-based byte positions, starts of 1 or less search from the beginning, matches only at
// character boundaries, the ignore-case flag folds ASCII letters only.
//
// Ownership: results are new texts the caller owns; AllTextsBetween replaces the whole
// content of the caller's array. Thread contract: GUI thread only. AllTextsBetween lets
// waiting window messages run between pieces; REQUIRES: no event routine changes the text or
// the array meanwhile.
#ifndef TEXT_TEXT_HELPERS_H_
#define TEXT_TEXT_HELPERS_H_

#include <cstdint>
#include <optional>

#include "runtime/kernel.h"

namespace text {

// Everything before the first `marker` at or after `start`, from the very beginning of the
// text; empty when the marker does not occur.
rt::Text TextBefore(kernel::TextRef text, kernel::TextRef marker, std::optional<int32_t> start = std::nullopt,
                    bool ignoreCase = false);

// The first piece between `left` and the next `right` after it. In both markers "#引号" stands
// for a double quote. Empty when either marker is missing; an empty right marker gives an empty
// piece.
rt::Text TextBetween(kernel::TextRef text, kernel::TextRef left, kernel::TextRef right,
                     std::optional<int32_t> start = std::nullopt, bool ignoreCase = false);

// Every piece between `left` and the next `right`, into `out` (emptied first); returns its
// member count. Each piece reads [left if includeLeft is 1] prefix, found text, suffix
// [right if includeRight is 1]; with maxLength other than 0 only pieces shorter than it are
// kept. The next search starts right after the previous left marker, so pieces may overlap
// ('[a[b]]' gives 'a[b' and 'b'). An empty left marker gives at most one piece.
int32_t AllTextsBetween(kernel::TextRef text, kernel::TextRef left, kernel::TextRef right, rt::TextArray* out,
                        bool ignoreCase = false, int32_t maxLength = 0, kernel::TextRef prefix = "",
                        kernel::TextRef suffix = "", int32_t includeLeft = 0, int32_t includeRight = 0,
                        std::optional<int32_t> start = std::nullopt);

}  // namespace text

#endif  // TEXT_TEXT_HELPERS_H_
