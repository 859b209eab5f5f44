// The demo site's content: question pages, video descriptions and cover pictures, built once.
//
// Every text here is UTF-8, as the site serves it. A DemoContent is immutable after
// construction and may be read from any number of threads at once.
#ifndef DEMO_DEMO_CONTENT_H_
#define DEMO_DEMO_CONTENT_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

struct Rgb {
  uint8_t r, g, b;
};

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
};

struct DemoVideo {
  std::string id;
  DescriptionKind kind = DescriptionKind::kOrdinary;
  std::string title;               // decoded title (UTF-8)
  std::string title_json;          // the title as written between the quotes of the description
  std::string cover_url;           // absolute address; empty: no cover_url field
  bool cover_served = true;        // false: the cover address answers 404
  Rgb colour{0, 0, 0};             // solid colour of the cover picture
  bool png = false;                // PNG cover, else JPEG
  std::vector<Quality> qualities;  // in the order the playlist lists them
};

struct DemoPage {
  std::string path;              // origin-form path on the site host
  std::string title;             // question title (UTF-8); empty: the page has no title element
  std::vector<std::string> ids;  // data-lens-id values in page order, duplicates kept
  std::size_t min_size = 0;      // the page is padded to at least this many bytes
  int status = 200;
};

struct Response {
  int status = 404;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;
};

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
// Prefix of the video service's path; the id follows.
inline constexpr char kVideoServicePath[] = "/api/v4/videos/";

// Cover pictures are this size.
inline constexpr int kCoverWidth = 96;
inline constexpr int kCoverHeight = 54;

class DemoContent {
 public:
  DemoContent();

  // Answer to a GET of `path` (origin form; a query is ignored) on any host.
  Response Answer(std::string_view path) const;

  // Plain-text index of everything served.
  std::string Index() const;

  const std::vector<DemoPage>& pages() const { return pages_; }
  const std::vector<DemoVideo>& videos() const { return videos_; }
  // The page or video with this path or id; null when there is none.
  const DemoPage* FindPage(std::string_view path) const;
  const DemoVideo* FindVideo(std::string_view id) const;

  // The description body as served (also for the malformed and failing kinds).
  std::string DescriptionBody(const DemoVideo& video) const;
  std::string PageBody(const DemoPage& page) const;

 private:
  std::vector<DemoPage> pages_;
  std::vector<DemoVideo> videos_;
  std::vector<std::pair<std::string, std::string>> covers_;  // path -> picture bytes
  std::map<std::string, std::string> bodies_;                // page path -> page body
};

// Encoders used for the covers: a solid-colour picture of the given size.
std::string EncodeJpeg(int width, int height, Rgb colour);
std::string EncodePng(int width, int height, Rgb colour);

}  // namespace demo

#endif  // DEMO_DEMO_CONTENT_H_
