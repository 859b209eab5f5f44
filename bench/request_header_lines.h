// The header lines WebRequest sends for a GET, as libcurl's header list, so that a benchmark's
// libcurl floor can make the same requests as the program.
#ifndef BENCH_REQUEST_HEADER_LINES_H_
#define BENCH_REQUEST_HEADER_LINES_H_

#include <curl/curl.h>

#include <string>
#include <string_view>

#include "net/headers.h"
#include "net/text_pieces.h"
#include "runtime/values.h"

namespace bench_support {

// The lines for a GET of `url` whose caller gives the header block `given` (empty for none):
// the block completed with WebRequest's defaults and normalised as it does. The caller frees
// the list with curl_slist_free_all.
inline curl_slist* WebRequestHeaderLines(const char* given, const std::string& url) {
  rt::Text headers(given);
  net::AddDefaultHeaders(headers, url.c_str(), 0);  // method 0: GET
  rt::Text normalized = net::NormalizeHeaders(headers);
  // Split into lines as WebRequest splits them, empty ones left out.
  curl_slist* lines = nullptr;
  const std::string_view block = normalized.view();
  net::ForEachPiece(normalized, "\r\n", [&](size_t start, size_t end) {
    if (end > start) lines = curl_slist_append(lines, std::string(block.substr(start, end - start)).c_str());
  });
  return lines;
}

}  // namespace bench_support

#endif  // BENCH_REQUEST_HEADER_LINES_H_
