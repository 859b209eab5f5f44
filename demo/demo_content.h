// The demo site's content: question pages, video descriptions, cover pictures and the CDN's
// downloadable files.
//
// Every text here is UTF-8, as the site serves it. A DemoContent is built once and never changes
// what it serves; covers are drawn on their first request and kept (under a lock), so a
// DemoContent may be read from any number of threads at once.
#ifndef DEMO_DEMO_CONTENT_H_
#define DEMO_DEMO_CONTENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "demo/demo_cover.h"
#include "demo/demo_files.h"

namespace demo {

// One quality of a video's playlist; an empty play_url means the member has no play_url field.
struct Quality {
  std::string name;
  std::string play_url;
};

// What the video service answers for an id.
enum class DescriptionKind {
  kOrdinary,    // cover_url, title and a playlist
  kNoPlaylist,  // cover_url and title, no playlist member
  kMalformed,   // a JSON text cut off in the middle of the playlist
  kNotJson,     // an HTML error page with status 200
  kNotFound,    // status 404, an error document
  kStalls,      // no answer: the request is held until the client gives up or the site stops
};

struct DemoVideo {
  std::string id;
  DescriptionKind kind = DescriptionKind::kOrdinary;
  std::string title;               // decoded title (UTF-8)
  std::string title_json;          // the title as written between the quotes of the description
  std::string cover_url;           // absolute address; empty: no cover_url field
  bool cover_served = true;        // false: the cover address answers 404
  Rgb colour{0, 0, 0};             // colour of the play badge in the middle of the cover
  bool png = false;                // PNG cover, else JPEG
  int number = 0;                  // drawn on the cover
  std::vector<Quality> qualities;  // in the order the playlist lists them
  // Raw and escaped forms of one description. A video whose description carries raw UTF-8
  // names its twin here: another id whose description is the same text with every non-ASCII
  // character written as a \uXXXX escape (surrogate pairs beyond U+FFFF), so both decode to the
  // same title, cover and play addresses. The twins' page lists them in the same order.
  std::string escaped_twin;  // id of the escaped twin; empty when there is none
  bool ascii_only = false;   // this is an escaped twin
  bool wants_login = false;  // the description answers 403 without the login cookie
};

struct DemoPage {
  std::string path;              // origin-form path on the site host
  std::string about;             // one line on what the page shows
  std::string title;             // question title (UTF-8); empty: the page has no title element
  std::vector<std::string> ids;  // data-lens-id values in page order, duplicates kept
  std::size_t min_size = 0;      // the page is padded to at least this many bytes
  int status = 200;
  bool wants_login = false;  // answers 403 with the site's message without the login cookie
};

struct Response {
  int status = 404;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;
  const DemoFile* file = nullptr;  // a downloadable file: the site streams it, `body` is empty
  bool stall = false;              // hold the request unanswered (the site gives up after kStallLimit)
};

// How long the site holds a stalled request before it closes it unanswered: far longer than a
// client's time-out.
inline constexpr int kStallLimitSeconds = 60;

// Paths of the pages, for tests and the index.
inline constexpr char kSamplePagePath[] = "/question/302671861/answer/635261079";
inline constexpr char kTwoVideoPagePath[] = "/question/100000002";
inline constexpr char kFaultPagePath[] = "/question/100000004";
inline constexpr char kNoIdPagePath[] = "/question/100000000";
inline constexpr char kEmptyPagePath[] = "/question/100000001";
inline constexpr char kFailingPagePath[] = "/question/100000503";
inline constexpr char kChinesePagePath[] = "/question/100000936";
inline constexpr char kBigListPagePath[] = "/question/100000500";
inline constexpr char kFiftyPagePath[] = "/question/100000050";
inline constexpr char kHugePagePath[] = "/question/100005000";
// Raw UTF-8 in traditional characters, and the same videos with \u-escaped descriptions.
inline constexpr char kTraditionalPagePath[] = "/question/100000950";
inline constexpr char kTraditionalEscapedPagePath[] = "/question/100000951";
// Videos whose play addresses are the download fault addresses of demo_files.h.
inline constexpr char kDownloadFaultPagePath[] = "/question/100000206";
// Four videos, the second one's description never answered (the lookup's time-out ends it).
inline constexpr char kStalledDescriptionPagePath[] = "/question/100000408";
// Two videos, page and descriptions answered only to a request that carries the login cookie.
inline constexpr char kLoginPagePath[] = "/question/100000403";
// The cookie the login page wants, as a user pastes it, and the site's refusal without it.
inline constexpr char kLoginCookieName[] = "z_c0";
inline constexpr char kLoginCookieValue[] = "demo-login-7c3f9a";
// Prefix of the video service's path; the id follows.
inline constexpr char kVideoServicePath[] = "/api/v4/videos/";

// Cover pictures are this size.
inline constexpr int kCoverWidth = 320;
inline constexpr int kCoverHeight = 180;

class DemoContent {
 public:
  DemoContent();
  DemoContent(const DemoContent&) = delete;
  DemoContent& operator=(const DemoContent&) = delete;
  ~DemoContent();

  // Answer to a GET of `path` (origin form; a query is ignored) on any host. `cookies`: the
  // request's Cookie header, which the pages and descriptions that want a login look into.
  Response Answer(std::string_view path, std::string_view cookies = {}) const;
  // The body of the site's refusal of a request without the login (status 403).
  static std::string RefusalBody();

  // Plain-text index of everything served.
  std::string Index() const;
  // One line per question page: its full address on the site host and what it shows.
  std::string PageList() const;

  const std::vector<DemoPage>& pages() const { return pages_; }
  const std::vector<DemoVideo>& videos() const { return videos_; }
  // The page or video with this path or id; null when there is none.
  const DemoPage* FindPage(std::string_view path) const;
  const DemoVideo* FindVideo(std::string_view id) const;

  // The downloadable file at a play address ("https://vdn.vzuu.com/hd/....mp4?auth_key=..."),
  // or at its origin-form path; null when the CDN serves nothing there. Every play address of
  // the catalogue and every fault address has one; the expected bytes of a download are
  // FindFile(address)->Expected().
  const DemoFile* FindFile(std::string_view address) const;
  const std::map<std::string, DemoFile, std::less<>>& files() const { return files_; }

  // The description body as served (also for the malformed and failing kinds).
  std::string DescriptionBody(const DemoVideo& video) const;
  std::string PageBody(const DemoPage& page) const;
  // The picture bytes served at a cover path (origin form); empty when none is served there.
  std::string Cover(std::string_view path) const;

 private:
  struct CoverEntry {
    std::size_t video = 0;  // index into videos_ of the video the cover shows
    std::once_flag drawn;
    std::string bytes;
  };

  std::vector<DemoPage> pages_;
  std::vector<DemoVideo> videos_;
  std::map<std::string, std::unique_ptr<CoverEntry>, std::less<>> covers_;  // path -> cover
  std::map<std::string, std::string> bodies_;                               // page path -> page body
  std::map<std::string, DemoFile, std::less<>> files_;                      // path -> file
  mutable std::once_flag painter_made_;
  mutable std::unique_ptr<CoverPainter> painter_;  // made with the first cover
};

}  // namespace demo

#endif  // DEMO_DEMO_CONTENT_H_
