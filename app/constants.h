// The program's fixed values: addresses, markers and the request header line of the video lookup.
//
// Texts are code page 936 bytes. Constants only; safe from any thread.
#ifndef APP_CONSTANTS_H_
#define APP_CONSTANTS_H_

#include <string_view>

namespace app {

// Site host of the sample address (scheme https), without a trailing slash.
inline constexpr char kSiteHost[] = "https://www.zhihu.com";
// Sample answer address that the address field holds when the main window opens.
inline constexpr char kSampleAddress[] = "https://www.zhihu.com/question/302671861/answer/635261079";
// Video service address; the video id is appended directly.
inline constexpr char kVideoServiceAddress[] = "https://lens.zhihu.com/api/v4/videos/";
// Schema.org type address of "Question", plain http scheme, as question pages write it.
inline constexpr char kQuestionTypeAddress[] = "http://schema.org/Question";
// Text in front of every video id in a question page: quote, blank, data-lens-id=, quote.
inline constexpr char kIdStartMarker[] = "\" data-lens-id=\"";
// Text after every video id.
inline constexpr char kIdEndMarker[] = "\"";
// Text in front of the question title: the type address, then the name meta element's opening.
inline constexpr char kTitleStartMarker[] = "http://schema.org/Question\"><meta itemProp=\"name\" content=\"";
// Text after the question title.
inline constexpr char kTitleEndMarker[] = "\"";
// Header line sent with every request of a lookup (one line, no line end).
inline constexpr char kRequestHeaderLine[] =
    "user-agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/72.0.3626.121 Safari/537.36";
// Separator written after each play address in the address cell.
inline constexpr char kAddressSeparator[] = "||";
// 按钮1's caption: it starts a lookup, and stops one while it runs.
inline constexpr char kLookUpButtonCaption[] = "解析";
inline constexpr char kStopButtonCaption[] = "停止";
// Video CDN base address; the text up to the next "/" after it names an address's quality.
inline constexpr char kCdnBase[] = "https://vdn.vzuu.com/";

static_assert(std::string_view(kIdStartMarker).size() == 16);
static_assert(std::string_view(kTitleStartMarker).starts_with(kQuestionTypeAddress));
static_assert(std::string_view(kSampleAddress).starts_with(kSiteHost));

}  // namespace app

#endif  // APP_CONSTANTS_H_
