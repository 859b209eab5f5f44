#include "app/look_up_videos.h"

#include "app/constants.h"
#include "app/main_window.h"
#include "json/json_document.h"
#include "net/web_request.h"
#include "runtime/helper_interface.h"
#include "runtime/kernel.h"
#include "runtime/window_system.h"
#include "text/charsets.h"
#include "text/text_helpers.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"
#include "ui/window_manager.h"
#include "ui/window_template.h"

namespace app {
namespace {

using json::NodeArray;
using json::类_JSON;
using json::节点;

constexpr ui::ControlRef kGrid{kMainWindowId, k高级表格1};
constexpr ui::ControlRef kList{kMainWindowId, k超级列表框1};
constexpr int32_t kCaptionProperty = 8;
constexpr int32_t kContentProperty = 8;
constexpr int32_t kPictureColumn = 1;
constexpr int32_t kAddressColumn = 2;
constexpr int32_t kTitleColumn = 3;
constexpr int32_t kVideoRowHeight = 100;
constexpr int32_t kVideoColumnWidth = 100;
// Level of the members directly inside "playlist": the root is 1, its members 2.
constexpr int32_t kQualityLevel = 3;

// A GET with the fixed header line. The request writes the completed header block back into
// its headers argument, so every request gets the line afresh: a reused variable would send
// the page's Referer with every later request.
rt::ByteSet Fetch(const rt::Text& url) {
  rt::Text headers(kRequestHeaderLine);
  return net::WebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, &headers);
}

// The body as text: UTF-8 to the code page, then through the kernel's conversion to text.
rt::Text BodyText(const rt::ByteSet& body) {
  rt::Text text = text::Utf8BytesToText(body);
  return kernel::ToText(text);
}

// The lookup stops once the user has closed the window.
bool WindowClosing() {
  return ui::IsWindowClosePending(kMainWindowId) || !rt::IsProgramWindowLive(kMainWindowId);
}

// Keeps a second click from starting a lookup inside the running one.
class RunGuard {
 public:
  RunGuard() : entered_(!running_) { running_ = true; }
  ~RunGuard() {
    if (entered_) running_ = false;
  }
  bool entered() const { return entered_; }

 private:
  static inline bool running_ = false;
  bool entered_;
};

// The play addresses of the members directly inside "playlist", each followed by the
// separator, the last quality first.
rt::Text JoinedPlayAddresses(类_JSON& document) {
  NodeArray members;
  document.取成员("playlist", std::nullopt, &members);
  rt::Text joined;
  for (int32_t m = 1; m <= members.size(); ++m) {
    const 节点& member = members.at(m);
    if (member.层级 != kQualityLevel) continue;
    const char* pieces[] = {"playlist.", member.名称, ".play_url"};
    rt::Text path = rt::Text::Adopt(rt::ConcatTexts(3, pieces));
    rt::Text address = document.取值(path.c_str(), std::nullopt, nullptr, true);
    const char* parts[] = {address.get(), kAddressSeparator, joined.get()};
    joined = rt::Text::Adopt(rt::ConcatTexts(3, parts));
  }
  return joined;
}

void FillVideoRow(类_JSON& document, int32_t row, const rt::Text& videoId) {
  const char* addressParts[] = {kVideoServiceAddress, videoId.get()};
  rt::Text descriptionAddress = rt::Text::Adopt(rt::ConcatTexts(2, addressParts));
  rt::Text description = BodyText(Fetch(descriptionAddress));
  if (WindowClosing()) return;

  // The description is parsed as it arrives: the JSON escapes inside its strings are decoded
  // by the document when values are read, not beforehand, so quotes, backslashes and %xx
  // inside values survive.
  document.初始化();
  document.解析文本(description.c_str());
  rt::Text coverAddress = document.取值("cover_url", std::nullopt, nullptr, true);

  grid::InsertRow(kGrid, kernel::ToText(row).c_str(), row);
  rt::ByteSet cover = Fetch(coverAddress);
  if (WindowClosing()) return;
  grid::SetCellPicture(kGrid, row, kPictureColumn, cover.block());
  rt::Text title = document.取值("title", std::nullopt, nullptr, true);
  grid::SetCellText(kGrid, row, kTitleColumn, title.c_str());
  grid::SetRowHeight(kGrid, row, kVideoRowHeight);
  grid::SetColumnWidth(kGrid, row, kVideoColumnWidth);
  rt::Text joined = JoinedPlayAddresses(document);
  grid::SetCellText(kGrid, row, kAddressColumn, joined.c_str());
}

}  // namespace

int64_t LookUpVideos(int32_t /*argCount*/, const int64_t* /*args*/, int32_t* /*resultGiven*/) {
  RunGuard guard;
  if (!guard.entered()) return 0;

  类_JSON document;
  rt::TextArray videoIds;

  for (int32_t n = grid::RowCount(kGrid); n >= 2; --n) grid::DeleteRow(kGrid, n - 1);
  list_view::DeleteAllItems(kList);

  rt::Text pageAddress = rt::Text::Adopt(
      reinterpret_cast<char*>(rt::Helpers().GetUnitProperty(kMainWindowId, k编辑框2, kContentProperty, -1)));
  rt::Text page = BodyText(Fetch(pageAddress));
  if (WindowClosing()) return 0;

  text::AllTextsBetween(page, kIdStartMarker, kIdEndMarker, &videoIds);
  if (WindowClosing()) return 0;
  rt::Text title = text::TextBetween(page, kTitleStartMarker, kTitleEndMarker);
  rt::Helpers().SetUnitProperty(kMainWindowId, ui::kWindowUnitId, kCaptionProperty, -1,
                                reinterpret_cast<intptr_t>(title.c_str()));

  for (int32_t i = 1; i <= videoIds.size(); ++i) {
    if (WindowClosing()) return 0;
    rt::Text videoId(videoIds.at(i));
    FillVideoRow(document, i, videoId);
  }
  return 0;
}

}  // namespace app
