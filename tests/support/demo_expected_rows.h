// The rows the lookup of a demo page must give, read from the demo site's own content (UTF-8, the
// covers' bytes as served), in the file form of lookup_sequence.h. Linux only: the demo site is.
//
// Plain functions over a DemoContent, which is safe to read from any thread.
#ifndef TESTS_SUPPORT_DEMO_EXPECTED_ROWS_H_
#define TESTS_SUPPORT_DEMO_EXPECTED_ROWS_H_

#include <string>
#include <vector>

#include "app/constants.h"
#include "demo/demo_content.h"
#include "tests/support/lookup_sequence.h"

namespace testing_support {

// The demo pages whose lookup the tests on both platforms compare: every video an ordinary one.
inline const std::vector<std::string>& ComparedDemoPages() {
  static const std::vector<std::string> pages = {demo::kSamplePagePath, demo::kTwoVideoPagePath,
                                                 demo::kChinesePagePath, demo::kFiftyPagePath};
  return pages;
}

// The page's block of rows; an empty text when the page is unknown or has a video that is not
// an ordinary one with a served cover (its row would depend on how the failure reads).
inline std::string ExpectedDemoRows(const demo::DemoContent& content, const std::string& path) {
  const demo::DemoPage* page = content.FindPage(path);
  if (page == nullptr) return {};
  std::vector<LookupRow> rows;
  for (const std::string& id : page->ids) {
    const demo::DemoVideo* video = content.FindVideo(id);
    if (video == nullptr || video->kind != demo::DescriptionKind::kOrdinary || !video->cover_served)
      return {};
    LookupRow row;
    row.number = static_cast<int32_t>(rows.size()) + 1;
    row.title = video->title;
    for (const demo::Quality& quality : video->qualities) {
      row.addresses = quality.play_url + app::kAddressSeparator + row.addresses;
    }
    const size_t host = video->cover_url.find('/', video->cover_url.find("://") + 3);
    row.cover = content.Cover(video->cover_url.substr(host));
    rows.push_back(std::move(row));
  }
  return RowsToLines(std::string(app::kSiteHost) + path, page->title, rows);
}

}  // namespace testing_support

#endif  // TESTS_SUPPORT_DEMO_EXPECTED_ROWS_H_
