#include "app/video_lookup.h"

#include "app/constants.h"
#include "app/lookup_outcome.h"
#include "app/main_window.h"
#include "net/login_cookies.h"
#include "net/text_pieces.h"
#include "runtime/dll_commands.h"
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

constexpr int32_t kVideoRowHeight = 100;
constexpr int32_t kVideoColumnWidth = 100;
// Level of the members directly inside "playlist": the root is 1, its members 2.
constexpr int32_t kQualityLevel = 3;
// The longest the lookup sleeps without looking at its requests. Every transfer that ends
// wakes it at once; this only bounds the wait should a wake-up ever be lost.
constexpr uint32_t kLongestWaitMs = 1000;

// The body as text: UTF-8 to the code page, then through the kernel's conversion to text.
rt::Text BodyText(const rt::ByteSet& body) {
  rt::Text text = text::Utf8BytesToText(body);
  return kernel::ToText(text);
}

// Sleeps until an event arrives (a transfer that ended wakes the loop too) and handles it.
void WaitForNextEvent() {
  rt::CallDll<rt::MsgWaitForMultipleObjectsFn>(rt::kDllMsgWaitForMultipleObjects, 0u, nullptr, 0,
                                               kLongestWaitMs, rt::kQsAllInput);
}

// How a description failed to be understood.
enum class DescriptionFault { kNone, kNotJson, kCutOff };

// Parses the description into the document. The bytes go in as ASCII, every other character
// as its \u escape, so that no trail byte of a code-page character can pass for a quote or a
// backslash; the values' decoding then gives the characters in the code page. A description
// that does not come to its end (a connection cut in the middle) leaves the document empty, as
// a malformed one does: the lenient parser would complete it, and a cut address would look
// like a real one.
DescriptionFault ParseDescription(类_JSON& document, const rt::ByteSet& body) {
  rt::Text text = kernel::ToText(text::Utf8BytesToEscapedText(body));
  document.初始化();
  document.加入json文本(text.c_str());
  if (!document.是否解析完毕()) {
    document.初始化();
    // A text that opens as JSON and does not close was cut off; anything else is no JSON.
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return (*p == '{' || *p == '[') ? DescriptionFault::kCutOff : DescriptionFault::kNotJson;
  }
  document.补全结束符();
  return DescriptionFault::kNone;
}

// Whether the description lists any member directly inside "playlist".
bool HasQualities(类_JSON& document) {
  NodeArray members;
  document.取成员(kPlaylistPath, std::nullopt, &members);
  for (int32_t m = 1; m <= members.size(); ++m) {
    if (members.at(m).层级 == kQualityLevel) return true;
  }
  return false;
}

// The play addresses of the members directly inside "playlist", each followed by the
// separator, the last quality first.
rt::Text JoinedPlayAddresses(类_JSON& document) {
  NodeArray members;
  document.取成员(kPlaylistPath, std::nullopt, &members);
  rt::Text joined;
  for (int32_t m = 1; m <= members.size(); ++m) {
    const 节点& member = members.at(m);
    if (member.层级 != kQualityLevel) continue;
    const char* pieces[] = {kPlaylistMemberPrefix, member.名称, kPlayAddressSuffix};
    rt::Text path = rt::Text::Adopt(rt::ConcatTexts(3, pieces));
    rt::Text address = document.取值(path.c_str(), std::nullopt, nullptr, true);
    const char* parts[] = {address.get(), kAddressSeparator, joined.get()};
    joined = rt::Text::Adopt(rt::ConcatTexts(3, parts));
  }
  return joined;
}

}  // namespace

VideoLookup::VideoLookup() = default;
VideoLookup::~VideoLookup() = default;

bool VideoLookup::Closing() {
  return ui::IsWindowClosePending(kMainWindowId) || !rt::IsProgramWindowLive(kMainWindowId);
}

bool VideoLookup::Cancelled() const { return stopRequested_ || Closing(); }

net::PendingWebRequest VideoLookup::Send(const rt::Text& url, int32_t* status, const rt::Text* login) {
  rt::Text headers(kRequestHeaderLine);
  std::optional<kernel::TextRef> lines;
  if (login != nullptr && !login->empty()) lines = kernel::TextRef(*login);
  return net::StartWebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, &headers, nullptr, status,
                              std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, nullptr, std::nullopt, std::nullopt, lines);
}

void VideoLookup::AddReason(Video& video, const char* prefix, const rt::Text& words) {
  rt::Text line = net::Concat({prefix, words});
  video.reason = video.reason.empty() ? std::move(line) : net::Concat({video.reason, kLineBreak, line});
}

void VideoLookup::SetCaption(const char* text) {
  rt::Helpers().SetUnitProperty(kMainWindowId, ui::kWindowUnitId, kTextProperty, -1,
                                reinterpret_cast<intptr_t>(text));
}

void VideoLookup::SetButtonCaption(const char* text) {
  rt::Helpers().SetUnitProperty(kMainWindowId, k按钮1, kTextProperty, -1, reinterpret_cast<intptr_t>(text));
}

void VideoLookup::ShowProgress() {
  rt::Text found = kernel::ToText(static_cast<int32_t>(videos_.size()));
  rt::Text finished = kernel::ToText(rowsFilled_);
  const char* pieces[] = {title_.get(),       kProgressOpen, finished.get(),
                          kProgressSeparator, found.get(),   kProgressClose};
  rt::Text caption = rt::Text::Adopt(rt::ConcatTexts(6, pieces));
  SetCaption(caption.c_str());
}

bool VideoLookup::FetchPage(const rt::Text& address, rt::ByteSet* body, net::RequestFailure* failure,
                            int32_t* status) {
  net::LoginCookies login(kSiteDomain);
  login.Load(net::LoginCookies::DefaultPath());
  if (!login.empty()) loginLines_ = rt::Text(login.NetscapeLines());
  const bool pageIsTheSites = login.CoversAddress(address.view());
  net::PendingWebRequest page = Send(address, status, pageIsTheSites ? &loginLines_ : nullptr);
  while (!page.IsComplete()) {
    if (Cancelled()) return false;  // the request is aborted as it goes
    WaitForNextEvent();
  }
  if (Cancelled()) return false;
  *body = net::FinishWebRequest(page, failure);
  return true;
}

void VideoLookup::Run() {
  for (int32_t n = grid::RowCount(kResultGrid); n >= 2; --n) grid::DeleteRow(kResultGrid, n - 1);
  list_view::DeleteAllItems(kAddressList);
  SetButtonCaption(kStopButtonCaption);

  rt::Text pageAddress = rt::Text::Adopt(
      reinterpret_cast<char*>(rt::Helpers().GetUnitProperty(kMainWindowId, k编辑框2, kTextProperty, -1)));
  rt::ByteSet pageBody;
  net::RequestFailure pageFailure = net::RequestFailure::kNone;
  int32_t pageStatus = 0;
  if (!FetchPage(pageAddress, &pageBody, &pageFailure, &pageStatus)) {
    if (Closing()) return;   // the window is going: leave it alone
    SetCaption(kEmptyText);  // stopped before the page, so before its title, was in
    SetButtonCaption(kLookUpButtonCaption);
    return;
  }
  rt::Text page = BodyText(pageBody);

  rt::TextArray ids;
  text::AllTextsBetween(page, kIdStartMarker, kIdEndMarker, &ids);
  if (Closing()) return;  // the id extraction handles events too
  title_ = text::TextBetween(page, kTitleStartMarker, kTitleEndMarker);
  videos_.resize(static_cast<size_t>(ids.size()));
  for (int32_t i = 1; i <= ids.size(); ++i) {
    videos_[static_cast<size_t>(i - 1)].number = i;
    videos_[static_cast<size_t>(i - 1)].id = rt::Text(ids.at(i));
  }

  int32_t shown = -1;
  while (!Cancelled() && rowsFilled_ < static_cast<int32_t>(videos_.size())) {
    if (shown != rowsFilled_) ShowProgress();
    shown = rowsFilled_;
    if (!Advance()) WaitForNextEvent();
  }
  if (Closing()) return;
  // Stopped or done; what is still on its way is aborted with the lookup. A stop keeps the
  // title alone; the end of a lookup adds what went wrong with the page.
  rt::Text reason;
  if (!stopRequested_) reason = PageReason(pageFailure, pageStatus, !title_.empty(), !videos_.empty());
  refused_ = !stopRequested_ && pageFailure == net::RequestFailure::kNone && IsRefusalStatus(pageStatus);
  SetCaption(CaptionWithReason(title_, reason).c_str());
  SetButtonCaption(kLookUpButtonCaption);
}

bool VideoLookup::Advance() {
  bool moved = false;
  while (firstOpen_ < nextToSend_ && videos_[firstOpen_].stage == Video::Stage::kFilled) ++firstOpen_;
  // Nothing in here handles events, so the lookup cannot be stopped or closed meanwhile.
  for (size_t i = firstOpen_; i < nextToSend_; ++i) {
    Video& video = videos_[i];
    if (video.stage == Video::Stage::kDescription && video.request.IsComplete()) {
      net::RequestFailure failure = net::RequestFailure::kNone;
      rt::ByteSet body = net::FinishWebRequest(video.request, &failure);
      --descriptionsInFlight_;
      ReadDescription(video, body, failure);
      moved = true;
    }
    if (video.stage == Video::Stage::kCover && video.request.IsComplete()) {
      net::RequestFailure failure = net::RequestFailure::kNone;
      video.cover = net::FinishWebRequest(video.request, &failure);
      // A missing cover_url was told already; its request to an empty address fails at once.
      rt::Text words = RequestReason(failure, video.status);
      if (video.coverAddressGiven && !words.empty()) AddReason(video, kCoverFailedReason, words);
      FillRow(video);
      moved = true;
    }
  }
  while (nextToSend_ < videos_.size() && descriptionsInFlight_ < kDescriptionsInFlight) {
    Video& video = videos_[nextToSend_++];
    const char* pieces[] = {kVideoServiceAddress, video.id.get()};
    rt::Text address = rt::Text::Adopt(rt::ConcatTexts(2, pieces));
    video.request = Send(address, &video.status, &loginLines_);
    video.stage = Video::Stage::kDescription;
    ++descriptionsInFlight_;
    moved = true;
  }
  return moved;
}

void VideoLookup::ReadDescription(Video& video, const rt::ByteSet& body, net::RequestFailure failure) {
  const DescriptionFault fault = ParseDescription(document_, body);
  rt::Text coverAddress = document_.取值(kCoverAddressPath, std::nullopt, nullptr, true);
  video.title = document_.取值(kTitlePath, std::nullopt, nullptr, true);
  video.addresses = JoinedPlayAddresses(document_);
  // Why the row will lack something: the request first, then what its answer lacked.
  rt::Text words = RequestReason(failure, video.status);
  if (!words.empty()) {
    AddReason(video, kDescriptionFailedReason, words);
  } else if (fault == DescriptionFault::kNotJson) {
    AddReason(video, kDescriptionNotJsonReason, rt::Text());
  } else if (fault == DescriptionFault::kCutOff) {
    AddReason(video, kDescriptionCutReason, rt::Text());
  } else {
    if (!HasQualities(document_)) AddReason(video, kNoPlaylistReason, rt::Text());
    if (coverAddress.empty()) AddReason(video, kNoCoverAddressReason, rt::Text());
  }
  video.coverAddressGiven = !coverAddress.empty();
  // A missing cover_url sends the cover request to an empty address, which fails at once.
  video.status = 0;
  video.request = Send(coverAddress, &video.status, nullptr);
  video.stage = Video::Stage::kCover;
}

void VideoLookup::FillRow(Video& video) {
  // In its place among the rows of the page: after the rows of the videos before it.
  int32_t position = 1;
  for (const Video& other : videos_) {
    if (other.number >= video.number) break;
    if (other.stage == Video::Stage::kFilled) ++position;
  }
  int32_t number = video.number;
  grid::InsertRow(kResultGrid, kernel::ToText(number).c_str(), position);
  grid::SetCellPicture(kResultGrid, position, kPictureColumn, video.cover.block());
  grid::SetCellText(kResultGrid, position, kTitleColumn, video.title.c_str());
  grid::SetRowHeight(kResultGrid, position, kVideoRowHeight);
  // Column i widens for video i: only videos 1 to 4 change a width, the grid has no more.
  grid::SetColumnWidth(kResultGrid, number, kVideoColumnWidth);
  grid::SetCellText(kResultGrid, position, kAddressColumn, video.addresses.c_str());
  if (!video.reason.empty()) grid::SetRowTip(kResultGrid, position, video.reason.c_str());
  video.stage = Video::Stage::kFilled;
  video.title.reset();
  video.addresses.reset();
  video.cover = rt::ByteSet();
  video.reason.reset();
  ++rowsFilled_;
}

}  // namespace app
