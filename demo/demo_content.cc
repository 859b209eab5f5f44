#include "demo/demo_content.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "app/constants.h"

namespace demo {
namespace {

// What the index calls a description kind.
const char* KindName(DescriptionKind kind) {
  switch (kind) {
    case DescriptionKind::kOrdinary:
      return "ordinary";
    case DescriptionKind::kNoPlaylist:
      return "no playlist";
    case DescriptionKind::kMalformed:
      return "malformed";
    case DescriptionKind::kNotJson:
      return "not JSON";
    case DescriptionKind::kNotFound:
      return "404";
    case DescriptionKind::kStalls:
      return "never answered";
  }
  return "?";
}

// Literals of this file are compiled as code page 936 bytes; UTF-8 texts come from u8 literals.
std::string Utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

constexpr char kCoverHost[] = "https://pic1.zhimg.com";
// The site serves what the program expects: its sample page, its CDN base, its video service path.
constexpr const char* kCdn = app::kCdnBase;
constexpr const char* kSiteHost = app::kSiteHost;
static_assert(std::string_view(app::kSampleAddress).ends_with(kSamplePagePath));
static_assert(std::string_view(app::kVideoServiceAddress).ends_with(kVideoServicePath));
static_assert(std::string_view(kResetFileAddress).starts_with(app::kCdnBase) &&
              std::string_view(kStallFileAddress).starts_with(app::kCdnBase) &&
              std::string_view(kMissingFileAddress).starts_with(app::kCdnBase) &&
              std::string_view(kNoRangesFileAddress).starts_with(app::kCdnBase) &&
              std::string_view(kLongerFileAddress).starts_with(app::kCdnBase));

std::string CoverPath(const std::string& name, bool png) {
  return "/v2-demo-" + name + (png ? ".png" : ".jpg");
}

std::string PlayUrl(const std::string& quality, const std::string& id, const std::string& tail = "") {
  std::string hash = id.substr(id.size() > 8 ? id.size() - 8 : 0);
  return std::string(kCdn) + quality + "/" + hash + "a7c3e9" + tail + ".mp4?auth_key=1700000000-0-0-" + hash +
         "&expiration=1700003600&disable_local_cache=1";
}

DemoVideo Ordinary(const std::string& id, const std::string& title, const std::string& cover, Rgb colour,
                   bool png, std::vector<std::string> qualities) {
  DemoVideo v;
  v.id = id;
  v.title = title;
  v.title_json = title;
  v.cover_url = std::string(kCoverHost) + CoverPath(cover, png);
  v.colour = colour;
  v.png = png;
  for (const std::string& q : qualities) v.qualities.push_back({q, PlayUrl(q, id)});
  return v;
}

// Escapes a text for a JSON string (quote, backslash, control characters).
std::string JsonEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string QualityJson(const Quality& q, int index) {
  int height = 270 + 180 * index;
  std::string out =
      "\"" + q.name + "\":{\"width\":" + std::to_string(height * 16 / 9) + ",\"format\":\"mp4\",";
  if (!q.play_url.empty()) out += "\"play_url\":\"" + JsonEscape(q.play_url) + "\",";
  out += "\"duration\":31.2,\"size\":" + std::to_string(1048576 * (index + 1)) +
         ",\"bitrate\":" + std::to_string(300 * (index + 1)) + ".5,\"height\":" + std::to_string(height) +
         "}";
  return out;
}

std::string PlaylistJson(const DemoVideo& v) {
  std::string out = "\"playlist\":{";
  for (std::size_t i = 0; i < v.qualities.size(); ++i) {
    if (i > 0) out += ",";
    out += QualityJson(v.qualities[i], static_cast<int>(i));
  }
  return out + "}";
}

// The text with every character beyond ASCII written as a JSON \u escape (two escapes, a
// surrogate pair, beyond U+FFFF).
std::string EscapeNonAscii(std::string_view text) {
  std::string out;
  for (char32_t cp : CodePoints(text)) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    char buf[16];
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      std::snprintf(buf, sizeof buf, "\\u%04x\\u%04x", static_cast<unsigned>(0xD800 + (cp >> 10)),
                    static_cast<unsigned>(0xDC00 + (cp & 0x3FF)));
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
    }
    out += buf;
  }
  return out;
}

// The origin-form path of an address on any host, query excluded.
std::string_view PathOf(std::string_view address) {
  if (std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
    std::size_t slash = address.find('/', scheme + 3);
    address = slash == std::string_view::npos ? std::string_view("/") : address.substr(slash);
  }
  return address.substr(0, address.find('?'));
}

}  // namespace

DemoContent::DemoContent() {
  // Videos of the sample page.
  videos_.push_back(Ordinary("1098614583893544960", "Demo video 1: three qualities", "red", {220, 30, 30},
                             false, {"ld", "sd", "hd"}));
  {
    DemoVideo v =
        Ordinary("1098614583893544961", Utf8(u8"演示视频二"), "green", {30, 180, 60}, true, {"sd", "hd"});
    v.title_json = "\\u6f14\\u793a\\u89c6\\u9891\\u4e8c";  // the same title written as escapes
    videos_.push_back(v);
  }
  {
    DemoVideo v = Ordinary("1098614583893544962", "Demo video 3: a quality without play_url", "blue",
                           {40, 60, 220}, false, {"ld", "md", "hd"});
    v.qualities[1].play_url.clear();
    videos_.push_back(v);
  }
  {
    DemoVideo v = Ordinary("1098614583893544963", "Quote \" and backslash \\ in a title", "yellow",
                           {240, 200, 20}, true, {"ld", "hd"});
    v.title_json = JsonEscape(v.title);
    v.qualities[1].play_url = std::string(kCdn) + "hd/demo%2Fclip-4.mp4?auth_key=1700000000-0-0-a%2Fb";
    videos_.push_back(v);
  }
  videos_.push_back(Ordinary("1098614583893544964", "Demo video 5: two qualities", "magenta", {200, 40, 200},
                             false, {"ld", "sd"}));
  // The two-video page and the Chinese page.
  videos_.push_back(Ordinary("1098614583893544965", "Demo video 6: hd before ld", "cyan", {30, 200, 200},
                             false, {"hd", "ld"}));
  videos_.push_back(Ordinary("1098614583893544970", Utf8(u8"中文标题的演示视频"), "grey", {128, 128, 128},
                             true, {"ld", "sd", "hd"}));
  // Faults.
  {
    DemoVideo v =
        Ordinary("1098614583893545001", "A description without playlist", "orange", {250, 130, 20}, true, {});
    v.kind = DescriptionKind::kNoPlaylist;
    videos_.push_back(v);
  }
  {
    DemoVideo v =
        Ordinary("1098614583893545002", "A description cut off", "cut", {220, 30, 30}, false, {"ld"});
    v.kind = DescriptionKind::kMalformed;
    videos_.push_back(v);
  }
  {
    DemoVideo v;
    v.id = "1098614583893545003";
    v.kind = DescriptionKind::kNotJson;
    videos_.push_back(v);
  }
  {
    DemoVideo v;
    v.id = "1098614583893545004";
    v.kind = DescriptionKind::kNotFound;
    videos_.push_back(v);
  }
  {
    DemoVideo v = Ordinary("1098614583893545005", "A video whose cover is missing", "missing", {0, 0, 0},
                           false, {"ld", "hd"});
    v.cover_served = false;
    videos_.push_back(v);
  }
  {
    DemoVideo v =
        Ordinary("1098614583893545006", "A description without cover_url", "none", {0, 0, 0}, false, {"sd"});
    v.cover_url.clear();
    v.cover_served = false;
    videos_.push_back(v);
  }
  {
    DemoVideo v;
    v.id = "1098614583893545007";
    v.kind = DescriptionKind::kStalls;
    videos_.push_back(v);
  }
  // The login page's videos: their descriptions want the login too (the covers do not).
  for (int n = 1; n <= 2; ++n) {
    DemoVideo v = Ordinary("109861458389354800" + std::to_string(n),
                           Utf8(u8"登录后可见的演示视频 ") + std::to_string(n), "login-" + std::to_string(n),
                           {static_cast<unsigned char>(60 * n), 90, 160}, n == 2, {"ld", "hd"});
    v.wants_login = true;
    videos_.push_back(v);
  }
  // Traditional characters as raw UTF-8. Once converted to code page 936, 誠 謀 診 淺 籠 end in
  // the byte 5C, the backslash: at the end of a title, and before n, u and a quote.
  std::vector<std::string> traditional;
  {
    DemoVideo v = Ordinary("1098614583893546001", Utf8(u8"示範影片一：待人以誠"), "trad-1", {200, 60, 40},
                           false, {"ld", "hd"});
    v.qualities[1].play_url += Utf8(u8"&name=待人以誠");  // raw characters in a query value too
    videos_.push_back(v);
  }
  {
    DemoVideo v = Ordinary("1098614583893546002", Utf8(u8"示範影片二：謀n 診u 淺\"籠\""), "trad-2",
                           {40, 120, 200}, true, {"sd", "hd"});
    v.title_json = JsonEscape(v.title);
    videos_.push_back(v);
  }
  {
    // An emoji and a character of CJK Extension B, neither of which code page 936 holds.
    DemoVideo v = Ordinary("1098614583893546003", Utf8(u8"示範影片三：𠮷野家的貓 😺 看電影 🎬"), "trad-3",
                           {230, 170, 30}, false, {"ld", "sd", "hd"});
    v.qualities[0].play_url += Utf8(u8"&tag=𠮷😺&note=謀n");
    videos_.push_back(v);
  }
  {
    DemoVideo v = Ordinary("1098614583893546004", Utf8(u8"示範影片四：跳脫與原樣混合的中文標題"), "trad-4",
                           {120, 60, 180}, true, {"hd"});
    v.title_json = Utf8(u8"示範影片四：") + EscapeNonAscii(Utf8(u8"跳脫")) + Utf8(u8"與原樣混合的") +
                   EscapeNonAscii(Utf8(u8"中文")) + Utf8(u8"標題");
    videos_.push_back(v);
  }
  std::vector<std::string> traditional_escaped;
  for (std::size_t i = videos_.size() - 4, end = videos_.size(); i < end; ++i) {
    DemoVideo twin = videos_[i];
    twin.id = "1098614583893547" + twin.id.substr(16);  // ...46001 has the twin ...47001
    twin.ascii_only = true;
    videos_[i].escaped_twin = twin.id;
    traditional.push_back(videos_[i].id);
    traditional_escaped.push_back(twin.id);
    videos_.push_back(twin);
  }
  // Videos whose only play address is a download fault address.
  std::vector<std::string> download_faults;
  {
    const std::pair<const char*, const char*> faults[] = {
        {kResetFileAddress, "A download that breaks off halfway"},
        {kStallFileAddress, "A download that stalls halfway"},
        {kMissingFileAddress, "A download that answers 404"},
        {kNoRangesFileAddress, "A download without range support"},
        {kLongerFileAddress, "A download longer than its Content-Length"},
    };
    const Rgb colours[] = {{220, 80, 30}, {90, 90, 200}, {150, 150, 150}, {40, 160, 120}, {190, 60, 150}};
    for (std::size_t i = 0; i < std::size(faults); ++i) {
      std::string id = "109861458389354610" + std::to_string(i + 1);
      DemoVideo v =
          Ordinary(id, faults[i].second, "download-" + std::to_string(i + 1), colours[i], false, {"hd"});
      v.qualities[0].play_url = faults[i].first;
      videos_.push_back(v);
      download_faults.push_back(id);
    }
  }
  // Generated videos for the long pages, each with its own cover.
  const Rgb palette[4] = {{200, 0, 0}, {0, 160, 0}, {0, 0, 200}, {200, 200, 0}};
  std::vector<std::string> generated;
  const std::size_t first_generated = videos_.size();
  for (int n = 1; n <= 500; ++n) {
    char id[32];
    std::snprintf(id, sizeof id, "1099000000000000%03d", n);
    int k = n % 4;
    DemoVideo v = Ordinary(id, "Generated video " + std::to_string(n), "gen-" + std::to_string(n), palette[k],
                           k % 2 == 1, {"ld", "sd", "hd"});
    v.number = n;
    videos_.push_back(v);
    generated.push_back(id);
  }
  // Hand-made videos are numbered in catalogue order; a twin shows its original's cover.
  for (std::size_t i = 0, n = 0; i < first_generated; ++i) {
    if (!videos_[i].ascii_only) videos_[i].number = static_cast<int>(++n);
    if (!videos_[i].escaped_twin.empty()) {
      for (DemoVideo& twin : videos_)
        if (twin.id == videos_[i].escaped_twin) twin.number = videos_[i].number;
    }
  }

  const std::string v1 = "1098614583893544960", v2 = "1098614583893544961", v3 = "1098614583893544962",
                    v4 = "1098614583893544963", v5 = "1098614583893544964", v6 = "1098614583893544965",
                    v7 = "1098614583893544970";
  auto page = [this](const char* path, const char* about, std::string title, std::vector<std::string> ids) {
    DemoPage p;
    p.path = path;
    p.about = about;
    p.title = std::move(title);
    p.ids = std::move(ids);
    pages_.push_back(std::move(p));
    return &pages_.back();
  };
  page(kSamplePagePath,
       "the sample answer: six videos (one twice), JPEG and PNG covers, a quality without play_url, "
       "a quote and a backslash in a title",
       "Which demo videos show every case of the tool?", {v1, v2, v3, v4, v1, v5});
  page(kTwoVideoPagePath, "two videos: qualities listed hd before ld, a title written as \\u escapes",
       "A demo question with two videos", {v6, v2});
  page(kFaultPagePath,
       "descriptions that fail: no playlist, cut off, not JSON, 404, a cover that answers 404, no cover_url",
       "A demo question whose videos fail",
       {"1098614583893545001", "1098614583893545002", "1098614583893545003", "1098614583893545004",
        "1098614583893545005", "1098614583893545006"});
  page(kNoIdPagePath, "a question without videos (a title, no ids)", "A demo question without videos", {});
  page(kEmptyPagePath, "an empty page (status 200, no body)", "", {});
  page(kFailingPagePath, "the site fails: status 503", "", {})->status = 503;
  page(kChinesePagePath, "a Chinese question and video title (simplified, all in code page 936)",
       Utf8(u8"没有真实站点时，怎样试用视频解析工具？"), {v7, v1});
  page(kTraditionalPagePath,
       "traditional Chinese as raw UTF-8 in the descriptions: characters whose second GBK byte is a "
       "backslash, an emoji and a CJK Extension B character, raw and \\u forms mixed",
       Utf8(u8"繁體中文的示範問題：影片描述直接寫 UTF-8 文字"), traditional);
  page(kTraditionalEscapedPagePath,
       "the same four videos, every description fully \\u-escaped (rows must equal the raw page's)",
       Utf8(u8"繁體中文的示範問題：影片描述直接寫 UTF-8 文字"), traditional_escaped);
  page(kStalledDescriptionPagePath,
       "four videos, the second description never answered: the later rows come, the second one after "
       "the 15 s time-out",
       "A demo question with a stalled description", {v1, "1098614583893545007", v5, v6});
  page(kDownloadFaultPagePath,
       "downloads that fail: reset and stall halfway, 404, no range support, longer than announced",
       "A demo question whose downloads fail", download_faults);
  page(kLoginPagePath,
       "a page that wants a login: 403 and the site's message without the cookie z_c0=demo-login-7c3f9a "
       "(paste \"Cookie: z_c0=demo-login-7c3f9a\" into the login dialog), two videos with it",
       Utf8(u8"需要登录才能看到的演示问题"), {"1098614583893548001", "1098614583893548002"})
      ->wants_login = true;
  page(kFiftyPagePath, "50 videos (the lookup benchmark's page)", "A demo question with 50 videos",
       std::vector<std::string>(generated.begin(), generated.begin() + 50));
  page(kBigListPagePath, "500 videos", "A demo question with 500 videos", generated);
  page(kHugePagePath, "a page of five megabytes, its three videos at the start, middle and end",
       "A demo question page of five megabytes", {v1, v6, v5})
      ->min_size = 5 * 1024 * 1024;

  for (std::size_t i = 0; i < videos_.size(); ++i) {
    const DemoVideo& v = videos_[i];
    for (const Quality& q : v.qualities) {
      if (q.play_url.empty()) continue;
      std::string_view path = PathOf(q.play_url);
      if (!files_.contains(path)) files_.emplace(std::string(path), MakeFile(path));
    }
    if (!v.cover_served || v.cover_url.empty() || v.ascii_only) continue;
    auto entry = std::make_unique<CoverEntry>();
    entry->video = i;
    covers_.emplace(std::string(PathOf(v.cover_url)), std::move(entry));
  }
  const std::pair<const char*, FileFault> fault_files[] = {
      {kResetFileAddress, FileFault::kReset},           {kStallFileAddress, FileFault::kStall},
      {kMissingFileAddress, FileFault::kNotFound},      {kNoRangesFileAddress, FileFault::kNoRanges},
      {kLongerFileAddress, FileFault::kLongerThanSaid},
  };
  for (const auto& [address, fault] : fault_files) {
    std::string_view path = PathOf(address);
    files_.insert_or_assign(std::string(path), MakeFile(path, fault));
  }
  for (const DemoPage& p : pages_) bodies_.emplace(p.path, PageBody(p));
}

DemoContent::~DemoContent() = default;

const DemoPage* DemoContent::FindPage(std::string_view path) const {
  for (const DemoPage& p : pages_)
    if (p.path == path) return &p;
  return nullptr;
}

const DemoVideo* DemoContent::FindVideo(std::string_view id) const {
  for (const DemoVideo& v : videos_)
    if (v.id == id) return &v;
  return nullptr;
}

const DemoFile* DemoContent::FindFile(std::string_view address) const {
  auto it = files_.find(PathOf(address));
  return it == files_.end() ? nullptr : &it->second;
}

std::string DemoContent::Cover(std::string_view path) const {
  auto it = covers_.find(path);
  if (it == covers_.end()) return std::string();
  CoverEntry& entry = *it->second;
  // Drawn on first use: the site must start at once, and most covers are never asked for.
  std::call_once(entry.drawn, [&] {
    std::call_once(painter_made_, [this] { painter_ = std::make_unique<CoverPainter>(FindCjkFont()); });
    const DemoVideo& v = videos_[entry.video];
    CoverScene scene{std::to_string(v.number), v.title, v.colour, Fnv1a(it->first)};
    RgbImage image = painter_->Paint(scene, kCoverWidth, kCoverHeight);
    entry.bytes = v.png ? EncodePng(image) : EncodeJpeg(image);
  });
  return entry.bytes;
}

std::string DemoContent::PageBody(const DemoPage& page) const {
  if (page.status != 200) {
    return "<html><head><title>503 Service Temporarily Unavailable</title></head><body><h1>503 Service "
           "Temporarily Unavailable</h1></body></html>\n";
  }
  if (page.title.empty() && page.ids.empty()) return std::string();
  std::string head =
      "<!doctype html>\n<html lang=\"zh\" data-theme=\"light\"><head><meta charset=\"utf-8\"/><title>" +
      page.title + Utf8(u8" - 知乎") +
      "</title></head>\n<body><div id=\"root\"><main role=\"main\" class=\"App-main\">"
      "<div class=\"QuestionPage\" itemscope=\"\" itemType=\"http://schema.org/Question\">"
      "<meta itemProp=\"name\" content=\"" +
      page.title + "\"/><meta itemProp=\"url\" content=\"" + kSiteHost + page.path +
      "\"/><meta itemProp=\"answerCount\" content=\"" + std::to_string(page.ids.size()) + "\"/></div>\n";
  std::vector<std::string> pieces;
  for (std::size_t i = 0; i < page.ids.size(); ++i) {
    const std::string& id = page.ids[i];
    pieces.push_back(
        "<div class=\"RichContent-inner\"><p>Answer part " + std::to_string(i + 1) +
        "</p><a class=\"video-box\" href=\"https://link.zhihu.com/?target=https%3A//www.zhihu.com/video/" +
        id + "\" target=\"_blank\" data-lens-id=\"" + id +
        "\"><img class=\"thumbnail\" src=\"https://pic1.zhimg.com/v2-thumb.jpg\"/>"
        "<span class=\"content\"><span class=\"url\">https://www.zhihu.com/video/" +
        id + "</span></span></a></div>\n");
  }
  const std::string tail = "</main></div></body></html>\n";
  std::size_t fixed = head.size() + tail.size();
  for (const std::string& p : pieces) fixed += p.size();
  // Filler paragraphs spread between the pieces so that ids sit at the start, middle and end.
  std::size_t filler_total = page.min_size > fixed ? page.min_size - fixed : 0;
  std::size_t gaps = pieces.size() > 1 ? pieces.size() - 1 : 1;
  const std::string para = "<p class=\"filler\">" + Utf8(u8"这是一段用来填充页面的文字。") +
                           "Padding text that carries no video and no title marker.</p>\n";
  std::string body = head;
  body.reserve(fixed + filler_total + para.size() * (gaps + 1));
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    body += pieces[i];
    if (i + 1 < pieces.size() || pieces.size() == 1) {
      std::size_t target = body.size() + filler_total / gaps;
      while (body.size() < target) body += para;
    }
  }
  if (pieces.empty()) {
    while (body.size() + tail.size() < page.min_size) body += para;
  }
  return body + tail;
}

std::string DemoContent::DescriptionBody(const DemoVideo& v) const {
  switch (v.kind) {
    case DescriptionKind::kNotFound:
      return "{\"error\":{\"message\":\"video not found\",\"code\":404,\"name\":\"NotFoundError\"}}";
    case DescriptionKind::kNotJson:
      return "<html><head><title>502 Bad Gateway</title></head><body><center><h1>502 Bad "
             "Gateway</h1></center>"
             "</body></html>\n";
    case DescriptionKind::kMalformed:
      return "{\"playlist\":{\"ld\":{\"width\":480,\"format\":\"mp4\",\"play_url\":\"" + std::string(kCdn) +
             "ld/cut";
    case DescriptionKind::kStalls:
      return std::string();  // never sent
    case DescriptionKind::kNoPlaylist:
    case DescriptionKind::kOrdinary:
      break;
  }
  std::string out = "{";
  if (v.kind == DescriptionKind::kOrdinary) out += PlaylistJson(v) + ",";
  out += "\"title\":\"" + v.title_json +
         "\",\"duration\":31.2,\"cover_info\":{\"width\":" + std::to_string(kCoverWidth) +
         ",\"height\":" + std::to_string(kCoverHeight) + "},";
  if (!v.cover_url.empty()) out += "\"cover_url\":\"" + JsonEscape(v.cover_url) + "\",";
  out += "\"type\":\"video\",\"id\":\"" + v.id + "\",\"misc_info\":{}}";
  // Non-ASCII characters only stand inside strings, so the whole text may be escaped at once.
  return v.ascii_only ? EscapeNonAscii(out) : out;
}

std::string DemoContent::RefusalBody() {
  return "{\"error\":{\"message\":\"" + Utf8(u8"请求参数异常，请升级客户端后重试") +
         "\",\"code\":10003,\"name\":\"ForbiddenError\"}}";
}

namespace {

// Whether the Cookie header holds the login cookie as one of its entries.
bool CarriesLogin(std::string_view cookies) {
  const std::string wanted = std::string(kLoginCookieName) + "=" + kLoginCookieValue;
  while (!cookies.empty()) {
    std::size_t end = cookies.find(';');
    std::string_view entry = cookies.substr(0, end);
    cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
    while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
    while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
    if (entry == wanted) return true;
  }
  return false;
}

Response Refusal() {
  Response r;
  r.status = 403;
  r.content_type = "application/json; charset=utf-8";
  r.body = DemoContent::RefusalBody();
  return r;
}

}  // namespace

Response DemoContent::Answer(std::string_view path, std::string_view cookies) const {
  std::size_t query = path.find('?');
  if (query != std::string_view::npos) path = path.substr(0, query);
  Response r;
  if (path == "/" || path == "/index.txt") {
    r.status = 200;
    r.body = Index();
    return r;
  }
  if (path == "/question/302671861") path = kSamplePagePath;
  if (const DemoPage* page = FindPage(path)) {
    if (page->wants_login && !CarriesLogin(cookies)) return Refusal();
    r.status = page->status;
    r.content_type = "text/html; charset=utf-8";
    r.body = bodies_.at(page->path);
    return r;
  }
  std::string_view service(kVideoServicePath);
  if (path.starts_with(service)) {
    const DemoVideo* v = FindVideo(path.substr(service.size()));
    if (v == nullptr) {
      r.content_type = "application/json";
      r.body = "{\"error\":{\"message\":\"video not found\",\"code\":404,\"name\":\"NotFoundError\"}}";
      return r;
    }
    if (v->wants_login && !CarriesLogin(cookies)) return Refusal();
    r.status = v->kind == DescriptionKind::kNotFound ? 404 : 200;
    r.content_type = v->kind == DescriptionKind::kNotJson ? "text/html" : "application/json; charset=utf-8";
    r.body = DescriptionBody(*v);
    r.stall = v->kind == DescriptionKind::kStalls;
    return r;
  }
  if (std::string cover = Cover(path); !cover.empty()) {
    r.status = 200;
    r.content_type = path.ends_with(".png") ? "image/png" : "image/jpeg";
    r.body = std::move(cover);
    return r;
  }
  if (const DemoFile* file = FindFile(path); file != nullptr && file->fault != FileFault::kNotFound) {
    r.status = 200;
    r.content_type = "video/mp4";
    r.file = file;
    return r;
  }
  r.body = "404 not found on the demo site: " + std::string(path) + "\n";
  return r;
}

std::string DemoContent::PageList() const {
  std::string out;
  for (const DemoPage& p : pages_) {
    std::string address = kSiteHost + p.path;
    address.resize(std::max<std::size_t>(address.size(), 58), ' ');
    out += "  " + address + "  " + p.about + "\n";
  }
  return out;
}

std::string DemoContent::Index() const {
  std::string out =
      "videolens demo site\n"
      "Every host answers the same content. Question pages:\n" +
      PageList() + "Page details:\n";
  for (const DemoPage& p : pages_) {
    out += "  " + p.path + "  status " + std::to_string(p.status) + ", " + std::to_string(p.ids.size()) +
           " video ids, " + std::to_string(bodies_.at(p.path).size()) +
           " bytes, title: " + (p.title.empty() ? "(none)" : p.title) + "\n";
  }
  out += "Video descriptions (https://lens.zhihu.com/api/v4/videos/ + id):\n";
  std::size_t generated = 0;
  for (const DemoVideo& v : videos_) {
    if (v.id.starts_with("1099000000000000")) {
      ++generated;
      continue;
    }
    out += "  " + v.id + "  " + KindName(v.kind);
    for (const Quality& q : v.qualities) out += " " + q.name + (q.play_url.empty() ? "(no play_url)" : "");
    if (!v.title.empty()) out += ", title: " + v.title;
    if (v.ascii_only) out += " (every non-ASCII character \\u-escaped)";
    if (!v.escaped_twin.empty()) out += " (escaped twin: " + v.escaped_twin + ")";
    out += "\n";
  }
  out += "  1099000000000000001 .. 1099000000000000" + std::to_string(generated) +
         "  generated, ld sd hd\n"
         "Cover pictures (https://pic1.zhimg.com + path, " +
         std::to_string(kCoverWidth) + "x" + std::to_string(kCoverHeight) + ", drawn on first request):\n";
  for (const auto& [path, entry] : covers_) {
    if (!path.starts_with("/v2-demo-gen-")) out += "  " + path + "\n";
  }
  out += "  /v2-demo-gen-1.png .. /v2-demo-gen-" + std::to_string(generated) +
         ".jpg  one per generated video, PNG for odd numbers\n"
         "Downloadable files: every play address above serves a file of 2 to 6 MB (video/mp4, "
         "Content-Length, Range: bytes=a-b, a- and -n, 416 past the end, HEAD). Fault addresses:\n";
  const std::pair<const char*, std::string> faults[] = {
      {kResetFileAddress, "the connection closes after half the body"},
      {kStallFileAddress, "no byte after half the body; the connection stays open"},
      {kMissingFileAddress, "404"},
      {kNoRangesFileAddress, "ignores Range: 200 and the whole file, Accept-Ranges: none"},
      {kLongerFileAddress, "sends " + std::to_string(kLongerExtraBytes) + " bytes beyond its Content-Length"},
  };
  for (const auto& [address, what] : faults) out += "  " + std::string(address) + "  " + what + "\n";
  out +=
      "  (reset, stall and longer strike a full GET; a Range request to them is answered in full)\n"
      "Anything else answers 404.\n";
  return out;
}

}  // namespace demo
