// The video lookup's request sequence without windows: the question page, its title and ids,
// each video's description (title, play addresses) and cover, with the program's request object,
// JSON document and text helpers, and the rows it gives; plus the rows' file form.
//
// The window-free twin of app::VideoLookup's network part (the app's class fills the grid and
// cannot be built without the window system): one page request, then at most
// kDescriptionsInFlight descriptions on their way at once, each cover sent as soon as its
// description is read, rows kept in page order.
// Ownership: results are plain values the caller owns. Thread contract: the GUI thread (the
// requests' waits handle its events), with the DLL commands declared and the automation
// classes registered.
#ifndef TESTS_SUPPORT_LOOKUP_SEQUENCE_H_
#define TESTS_SUPPORT_LOOKUP_SEQUENCE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// One grid row: every text in code page 936, as the program shows it.
struct LookupRow {
  int32_t number = 0;     // the video's place on the page, from 1
  std::string title;      // the description's title
  std::string addresses;  // play addresses, each followed by the separator, the last quality first
  std::string cover;      // the cover's bytes as served

  bool operator==(const LookupRow&) const = default;
};

struct LookupResult {
  bool complete = false;  // every request answered before the time limit
  std::string title;      // the question's title, from the page
  std::vector<LookupRow> rows;
};

// Runs the sequence for `pageAddress` (an https address on the site's host, reached through the
// proxy that https_proxy names). Gives up, incomplete, after `limitSeconds`.
LookupResult RunLookupSequence(const std::string& pageAddress, double limitSeconds);

// The rows' file form, one video a line: number, title, addresses and the cover's size and
// digest, separated by tabs; titles and addresses in UTF-8. The covers' bytes are not kept:
// rows read back carry "size:digest" in `cover`, which CoverDigest gives for bytes.
std::string CoverDigest(const std::string& bytes);
// A page's block: "page", its address and title, then its rows.
std::string RowsToLines(const std::string& pageAddress, const std::string& pageTitle,
                        const std::vector<LookupRow>& rowsUtf8);
// Reads the rows of the page whose first line is `pageAddress`; false when it is not in `lines`.
bool RowsFromLines(const std::string& lines, const std::string& pageAddress, std::string* pageTitle,
                   std::vector<LookupRow>* rowsUtf8);

// UTF-8 to code page 936 through the program's own conversion.
std::string Utf8ToCodePage(const std::string& utf8);

}  // namespace testing_support

#endif  // TESTS_SUPPORT_LOOKUP_SEQUENCE_H_
