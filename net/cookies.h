// Cookie texts: entries "name=value" separated by "; ". The cookies a response sets are
// collected from its header block and merged into the caller's cookie text; only names and
// values travel (no domain, path or expiry).
//
// Ownership: every text result is a new block the caller owns (rt::Text).
// Thread contract: GUI thread only.
#ifndef NET_COOKIES_H_
#define NET_COOKIES_H_

#include "runtime/kernel.h"
#include "runtime/values.h"

namespace net {

// The name-value pairs of the block's "Set-Cookie" lines (name matched case-sensitively),
// attributes dropped, joined by "; ".
rt::Text ExtractSetCookies(kernel::TextRef headerBlock);

// Merges `newCookies` into `oldCookies`: blanks removed from both (stored back), new values
// replace old ones of the same name, old ones the response did not name follow, cookies whose
// value is "deleted" are dropped, repeated identical entries removed. The result is also
// stored into `oldCookies`.
rt::Text MergeCookies(rt::Text& oldCookies, rt::Text& newCookies);

// The entry's name: the text before its first "=" (or the whole entry), trimmed of blanks.
rt::Text CookieName(kernel::TextRef entry);

// True when some entry of `entries` has the name `name` (exact comparison).
bool HasCookieName(const rt::TextArray& entries, kernel::TextRef name);

// The text cut at `separator` with later repeats of an entry dropped, joined by `separator`.
rt::Text RemoveDuplicateEntries(kernel::TextRef text, kernel::TextRef separator);

}  // namespace net

#endif  // NET_COOKIES_H_
