// The program's constant block: every literal text, constant byte set and array template its
// routines use (addresses, markers, the request header line, paths of the video description,
// titles), as one read-only record that the program description hands to the runtime.
//
// Pointers into the block are constants to the runtime: MemFree ignores them, MemRealloc copies
// them, and RuntimeService 2 gives an array variable that still holds a template a heap copy.
// So a routine takes its literals from here, never from a literal of its own, whose storage the
// runtime would take for a heap block. Texts are code page 936 bytes. Immutable; safe from any
// thread.
#ifndef APP_CONSTANTS_H_
#define APP_CONSTANTS_H_

#include <cstdint>
#include <string_view>

namespace app {

// A member text of the block, sized by its literal.
#define WL_CONSTANT_TEXT(member, literal) char member[sizeof(literal)] = literal

struct ProgramConstants {
  // The words 1, 0: the empty byte set, and the template every array variable starts from.
  int32_t emptyByteSet[2] = {1, 0};
  int32_t emptyArrayTemplate[2] = {1, 0};
  char emptyText[1] = "";
  // Site host of the sample address (scheme https), without a trailing slash.
  WL_CONSTANT_TEXT(siteHost, "https://www.zhihu.com");
  // The site's domain: the login's cookies go only to its hosts (the site and the video service).
  WL_CONSTANT_TEXT(siteDomain, "zhihu.com");
  // Sample answer address that the address field holds when the main window opens.
  WL_CONSTANT_TEXT(sampleAddress, "https://www.zhihu.com/question/302671861/answer/635261079");
  // Video service address; the video id is appended directly.
  WL_CONSTANT_TEXT(videoServiceAddress, "https://lens.zhihu.com/api/v4/videos/");
  // Schema.org type address of "Question", plain http scheme, as question pages write it.
  WL_CONSTANT_TEXT(questionTypeAddress, "http://schema.org/Question");
  // Text in front of every video id in a question page: quote, blank, data-lens-id=, quote.
  WL_CONSTANT_TEXT(idStartMarker, "\" data-lens-id=\"");
  // Text after every video id.
  WL_CONSTANT_TEXT(idEndMarker, "\"");
  // Text in front of the question title: the type address, then the name meta element's opening.
  WL_CONSTANT_TEXT(titleStartMarker, "http://schema.org/Question\"><meta itemProp=\"name\" content=\"");
  // Text after the question title.
  WL_CONSTANT_TEXT(titleEndMarker, "\"");
  // Header line sent with every request of a lookup (one line, no line end).
  WL_CONSTANT_TEXT(
      requestHeaderLine,
      "user-agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/72.0.3626.121 Safari/537.36");
  // Separator written after each play address in the address cell.
  WL_CONSTANT_TEXT(addressSeparator, "||");
  // Video CDN base address; the text up to the next "/" after it names an address's quality.
  WL_CONSTANT_TEXT(cdnBase, "https://vdn.vzuu.com/");
  // Paths into a video description: the qualities, a quality's play address, the cover, the title.
  WL_CONSTANT_TEXT(playlistPath, "playlist");
  WL_CONSTANT_TEXT(playlistMemberPrefix, "playlist.");
  WL_CONSTANT_TEXT(playAddressSuffix, ".play_url");
  WL_CONSTANT_TEXT(coverAddressPath, "cover_url");
  WL_CONSTANT_TEXT(titlePath, "title");
  // The result grid's title row.
  WL_CONSTANT_TEXT(numberTitle, "序号");
  WL_CONSTANT_TEXT(pictureTitle, "图片");
  WL_CONSTANT_TEXT(addressTitle, "下载地址");
  WL_CONSTANT_TEXT(remarkTitle, "备注");
  // Text after an address's quality name; the line break between addresses in 编辑框1.
  WL_CONSTANT_TEXT(qualityEndMarker, "/");
  WL_CONSTANT_TEXT(lineBreak, "\r\n");
  // 按钮1's caption: it starts a lookup, and stops one while it runs.
  WL_CONSTANT_TEXT(lookUpButtonCaption, "解析");
  WL_CONSTANT_TEXT(stopButtonCaption, "停止");
  // The caption's progress while a lookup runs: title, " (", rows finished, "/", rows found, ")".
  WL_CONSTANT_TEXT(progressOpen, " (");
  WL_CONSTANT_TEXT(progressSeparator, "/");
  WL_CONSTANT_TEXT(progressClose, ")");
  // The context menus of the address list and the result grid.
  WL_CONSTANT_TEXT(copyAddressCaption, "复制地址");
  WL_CONSTANT_TEXT(openAddressCaption, "打开");
  WL_CONSTANT_TEXT(downloadCaption, "下载…");
  WL_CONSTANT_TEXT(downloadAllCaption, "全部下载…");
  WL_CONSTANT_TEXT(downloadsWindowCaption, "下载列表");
  // A download's default file name: title, separator, quality, the address's extension; a
  // character a file name cannot hold becomes the replacement; an empty title the default stem;
  // a name taken by another file of the same batch gets " (2)", " (3)" ... before its extension.
  WL_CONSTANT_TEXT(fileNameSeparator, "-");
  WL_CONSTANT_TEXT(fileNameReplacement, "_");
  WL_CONSTANT_TEXT(defaultFileStem, "视频");
  WL_CONSTANT_TEXT(fileNumberOpen, " (");
  WL_CONSTANT_TEXT(fileNumberClose, ")");
  // The save dialogs and the questions around them.
  WL_CONSTANT_TEXT(saveDialogTitle, "保存视频");
  WL_CONSTANT_TEXT(folderDialogTitle, "选择保存全部视频的文件夹");
  WL_CONSTANT_TEXT(downloadQuestionTitle, "下载");
  WL_CONSTANT_TEXT(replaceQuestionOpen, "“");
  WL_CONSTANT_TEXT(replaceQuestionClose, "”已存在。要替换它吗？");
  WL_CONSTANT_TEXT(replaceButton, "替换");
  WL_CONSTANT_TEXT(cancelButton, "取消");
  WL_CONSTANT_TEXT(inUseOpen, "“");
  WL_CONSTANT_TEXT(inUseClose, "”已在下载列表中。");
  WL_CONSTANT_TEXT(existingFilesOpen, "该文件夹中已有 ");
  WL_CONSTANT_TEXT(existingFilesClose, " 个同名文件。要替换它们，还是跳过这些视频？");
  WL_CONSTANT_TEXT(replaceAllButton, "全部替换");
  WL_CONSTANT_TEXT(skipButton, "跳过");
  // Asked when the main window closes while downloads run or wait.
  WL_CONSTANT_TEXT(closeQuestionTitle, "退出");
  WL_CONSTANT_TEXT(closeQuestion,
                   "还有下载没有完成。要停止这些下载并退出吗？已下载的部分会留在 .part 文件中。");
  WL_CONSTANT_TEXT(stopAndQuitButton, "停止并退出");
  WL_CONSTANT_TEXT(keepDownloadingButton, "继续下载");
  // What ended a lookup that did not simply succeed, after the title in the caption; and why a
  // row has no addresses or no cover, in its tip and below its addresses.
  WL_CONSTANT_TEXT(reasonSeparator, " — ");
  WL_CONSTANT_TEXT(badAddressReason, "不是 http 或 https 地址");
  WL_CONSTANT_TEXT(hostNotFoundReason, "找不到主机：域名无法解析");
  WL_CONSTANT_TEXT(connectFailedReason, "无法连接：连接被拒绝或网络不可达");
  WL_CONSTANT_TEXT(proxyFailedReason, "代理服务器出错：无法经代理连接");
  WL_CONSTANT_TEXT(tlsFailedReason, "TLS 握手失败");
  WL_CONSTANT_TEXT(connectTimeoutReason, "超时：连接没有建立");
  WL_CONSTANT_TEXT(sendTimeoutReason, "超时：请求发送不出去");
  WL_CONSTANT_TEXT(receiveTimeoutReason, "超时：等不到网站的回答");
  WL_CONSTANT_TEXT(connectionLostReason, "连接中断：回答不完整");
  WL_CONSTANT_TEXT(otherFailureReason, "请求失败");
  WL_CONSTANT_TEXT(statusOpen, "HTTP ");
  WL_CONSTANT_TEXT(refusedReason, "：网站拒绝了这个请求，它可能要求登录（右键菜单“登录信息…”）");
  WL_CONSTANT_TEXT(notFoundReason, "：页面不存在");
  WL_CONSTANT_TEXT(tooManyRequestsReason, "：请求太频繁，网站暂时拒绝，请稍后再试");
  WL_CONSTANT_TEXT(serverErrorReason, "：网站出错，请稍后再试");
  WL_CONSTANT_TEXT(otherStatusReason, "：网站没有给出页面");
  WL_CONSTANT_TEXT(noVideosReason, "这个问题里没有视频");
  WL_CONSTANT_TEXT(notQuestionReason, "这不像是问题页面：网站的页面可能已经改变");
  WL_CONSTANT_TEXT(descriptionFailedReason, "视频描述请求失败：");
  WL_CONSTANT_TEXT(descriptionNotJsonReason, "视频描述不是 JSON");
  WL_CONSTANT_TEXT(descriptionCutReason, "视频描述不完整（被截断）");
  WL_CONSTANT_TEXT(noPlaylistReason, "视频描述里没有 playlist");
  WL_CONSTANT_TEXT(noCoverAddressReason, "视频描述里没有 cover_url");
  WL_CONSTANT_TEXT(coverFailedReason, "封面图片请求失败：");
  // The login: the menu entry, and the question a refusal asks.
  WL_CONSTANT_TEXT(loginCaption, "登录信息…");
  WL_CONSTANT_TEXT(loginQuestionTitle, "登录");
  WL_CONSTANT_TEXT(loginQuestion, "网站拒绝了这个请求，它可能要求登录。是否填写登录信息？");
};

#undef WL_CONSTANT_TEXT

// The one block of the program (an inline variable: one object for every file).
alignas(8) inline constexpr ProgramConstants kProgramConstants{};

inline constexpr const int32_t (&kEmptyByteSet)[2] = kProgramConstants.emptyByteSet;
inline constexpr const int32_t (&kEmptyArrayTemplate)[2] = kProgramConstants.emptyArrayTemplate;
inline constexpr auto& kEmptyText = kProgramConstants.emptyText;
inline constexpr auto& kSiteHost = kProgramConstants.siteHost;
inline constexpr auto& kSampleAddress = kProgramConstants.sampleAddress;
inline constexpr auto& kSiteDomain = kProgramConstants.siteDomain;
inline constexpr auto& kVideoServiceAddress = kProgramConstants.videoServiceAddress;
inline constexpr auto& kQuestionTypeAddress = kProgramConstants.questionTypeAddress;
inline constexpr auto& kIdStartMarker = kProgramConstants.idStartMarker;
inline constexpr auto& kIdEndMarker = kProgramConstants.idEndMarker;
inline constexpr auto& kTitleStartMarker = kProgramConstants.titleStartMarker;
inline constexpr auto& kTitleEndMarker = kProgramConstants.titleEndMarker;
inline constexpr auto& kRequestHeaderLine = kProgramConstants.requestHeaderLine;
inline constexpr auto& kAddressSeparator = kProgramConstants.addressSeparator;
inline constexpr auto& kCdnBase = kProgramConstants.cdnBase;
inline constexpr auto& kPlaylistPath = kProgramConstants.playlistPath;
inline constexpr auto& kPlaylistMemberPrefix = kProgramConstants.playlistMemberPrefix;
inline constexpr auto& kPlayAddressSuffix = kProgramConstants.playAddressSuffix;
inline constexpr auto& kCoverAddressPath = kProgramConstants.coverAddressPath;
inline constexpr auto& kTitlePath = kProgramConstants.titlePath;
inline constexpr auto& kNumberTitle = kProgramConstants.numberTitle;
inline constexpr auto& kPictureTitle = kProgramConstants.pictureTitle;
inline constexpr auto& kAddressTitle = kProgramConstants.addressTitle;
inline constexpr auto& kRemarkTitle = kProgramConstants.remarkTitle;
inline constexpr auto& kQualityEndMarker = kProgramConstants.qualityEndMarker;
inline constexpr auto& kLineBreak = kProgramConstants.lineBreak;
inline constexpr auto& kLookUpButtonCaption = kProgramConstants.lookUpButtonCaption;
inline constexpr auto& kStopButtonCaption = kProgramConstants.stopButtonCaption;
inline constexpr auto& kProgressOpen = kProgramConstants.progressOpen;
inline constexpr auto& kProgressSeparator = kProgramConstants.progressSeparator;
inline constexpr auto& kProgressClose = kProgramConstants.progressClose;
inline constexpr auto& kCopyAddressCaption = kProgramConstants.copyAddressCaption;
inline constexpr auto& kOpenAddressCaption = kProgramConstants.openAddressCaption;
inline constexpr auto& kDownloadCaption = kProgramConstants.downloadCaption;
inline constexpr auto& kDownloadAllCaption = kProgramConstants.downloadAllCaption;
inline constexpr auto& kDownloadsWindowCaption = kProgramConstants.downloadsWindowCaption;
inline constexpr auto& kFileNameSeparator = kProgramConstants.fileNameSeparator;
inline constexpr auto& kFileNameReplacement = kProgramConstants.fileNameReplacement;
inline constexpr auto& kDefaultFileStem = kProgramConstants.defaultFileStem;
inline constexpr auto& kFileNumberOpen = kProgramConstants.fileNumberOpen;
inline constexpr auto& kFileNumberClose = kProgramConstants.fileNumberClose;
inline constexpr auto& kSaveDialogTitle = kProgramConstants.saveDialogTitle;
inline constexpr auto& kFolderDialogTitle = kProgramConstants.folderDialogTitle;
inline constexpr auto& kDownloadQuestionTitle = kProgramConstants.downloadQuestionTitle;
inline constexpr auto& kReplaceQuestionOpen = kProgramConstants.replaceQuestionOpen;
inline constexpr auto& kReplaceQuestionClose = kProgramConstants.replaceQuestionClose;
inline constexpr auto& kReplaceButton = kProgramConstants.replaceButton;
inline constexpr auto& kCancelButton = kProgramConstants.cancelButton;
inline constexpr auto& kInUseOpen = kProgramConstants.inUseOpen;
inline constexpr auto& kInUseClose = kProgramConstants.inUseClose;
inline constexpr auto& kExistingFilesOpen = kProgramConstants.existingFilesOpen;
inline constexpr auto& kExistingFilesClose = kProgramConstants.existingFilesClose;
inline constexpr auto& kReplaceAllButton = kProgramConstants.replaceAllButton;
inline constexpr auto& kSkipButton = kProgramConstants.skipButton;
inline constexpr auto& kCloseQuestionTitle = kProgramConstants.closeQuestionTitle;
inline constexpr auto& kCloseQuestion = kProgramConstants.closeQuestion;
inline constexpr auto& kStopAndQuitButton = kProgramConstants.stopAndQuitButton;
inline constexpr auto& kKeepDownloadingButton = kProgramConstants.keepDownloadingButton;
inline constexpr auto& kReasonSeparator = kProgramConstants.reasonSeparator;
inline constexpr auto& kBadAddressReason = kProgramConstants.badAddressReason;
inline constexpr auto& kHostNotFoundReason = kProgramConstants.hostNotFoundReason;
inline constexpr auto& kConnectFailedReason = kProgramConstants.connectFailedReason;
inline constexpr auto& kProxyFailedReason = kProgramConstants.proxyFailedReason;
inline constexpr auto& kTlsFailedReason = kProgramConstants.tlsFailedReason;
inline constexpr auto& kConnectTimeoutReason = kProgramConstants.connectTimeoutReason;
inline constexpr auto& kSendTimeoutReason = kProgramConstants.sendTimeoutReason;
inline constexpr auto& kReceiveTimeoutReason = kProgramConstants.receiveTimeoutReason;
inline constexpr auto& kConnectionLostReason = kProgramConstants.connectionLostReason;
inline constexpr auto& kOtherFailureReason = kProgramConstants.otherFailureReason;
inline constexpr auto& kStatusOpen = kProgramConstants.statusOpen;
inline constexpr auto& kRefusedReason = kProgramConstants.refusedReason;
inline constexpr auto& kNotFoundReason = kProgramConstants.notFoundReason;
inline constexpr auto& kTooManyRequestsReason = kProgramConstants.tooManyRequestsReason;
inline constexpr auto& kServerErrorReason = kProgramConstants.serverErrorReason;
inline constexpr auto& kOtherStatusReason = kProgramConstants.otherStatusReason;
inline constexpr auto& kNoVideosReason = kProgramConstants.noVideosReason;
inline constexpr auto& kNotQuestionReason = kProgramConstants.notQuestionReason;
inline constexpr auto& kDescriptionFailedReason = kProgramConstants.descriptionFailedReason;
inline constexpr auto& kDescriptionNotJsonReason = kProgramConstants.descriptionNotJsonReason;
inline constexpr auto& kDescriptionCutReason = kProgramConstants.descriptionCutReason;
inline constexpr auto& kNoPlaylistReason = kProgramConstants.noPlaylistReason;
inline constexpr auto& kNoCoverAddressReason = kProgramConstants.noCoverAddressReason;
inline constexpr auto& kCoverFailedReason = kProgramConstants.coverFailedReason;
inline constexpr auto& kLoginCaption = kProgramConstants.loginCaption;
inline constexpr auto& kLoginQuestionTitle = kProgramConstants.loginQuestionTitle;
inline constexpr auto& kLoginQuestion = kProgramConstants.loginQuestion;

static_assert(std::string_view(kIdStartMarker).size() == 16);
static_assert(std::string_view(kTitleStartMarker).starts_with(kQuestionTypeAddress));
static_assert(std::string_view(kSampleAddress).starts_with(kSiteHost));
static_assert(std::string_view(kSiteHost).ends_with(kSiteDomain));
// Compared piece by piece: string_view::find is not a constant expression in every build (not
// under the undefined-behaviour sanitizer with this compiler).
constexpr bool ContainsText(std::string_view text, std::string_view part) {
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (text.substr(i, part.size()) == part) return true;
  }
  return false;
}
static_assert(ContainsText(kVideoServiceAddress, kSiteDomain));

}  // namespace app

#endif  // APP_CONSTANTS_H_
