// Request header assembly: the default headers, the normaliser of header blocks, the cutting
// of a block into header calls on the request object, and the Base64 encoder of the proxy
// credentials.
//
// A header block is a text of lines "Name: value" separated by CR LF.
// Ownership: every text result is a new block the caller owns (rt::Text).
// Thread contract: GUI thread only (the kernel commands run there).
#ifndef NET_HEADERS_H_
#define NET_HEADERS_H_

#include <cstdint>

#include "runtime/com/com_bridge.h"
#include "runtime/kernel.h"
#include "runtime/values.h"

namespace net {

// Completes `headers` in place with "Accept", "Referer" (the request's address),
// "Accept-Language", "User-Agent" and, for method 1 only, "Content-Type", each appended as
// "\r\nName: value" when "Name:" occurs nowhere in the block (case ignored).
void AddDefaultHeaders(rt::Text& headers, kernel::TextRef url, int32_t method);

// The block with lines lacking ": " dropped, each header name's dash-separated words
// raised by CapitalizeFirst, a value that itself holds ": " emptied; lines joined by CR LF.
rt::Text NormalizeHeaders(kernel::TextRef headers);

// The text with its first byte upper-cased (only a to z change).
rt::Text CapitalizeFirst(kernel::TextRef text);

// The text before / after the first colon of a header line, trimmed of blanks; both empty
// when the line has no colon.
rt::Text HeaderName(kernel::TextRef line);
rt::Text HeaderValue(kernel::TextRef line);

// One SetRequestHeader call on `request` per non-empty line of the normalised block; a block
// without CR LF is one call, also when empty. Refusals are ignored.
void SendHeaderLines(rt::com::ComObject& request, kernel::TextRef headers);

// Standard Base64 (RFC 4648) with "=" padding and no line breaks; empty for empty input.
rt::Text Base64Encode(kernel::BytesRef bytes);

}  // namespace net

#endif  // NET_HEADERS_H_
