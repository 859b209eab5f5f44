#include "demo/demo_content.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <csetjmp>
#include <jpeglib.h>
#include <png.h>
// clang-format on

#include <cstdlib>

#include "app/constants.h"

namespace demo {
namespace {

// Literals of this file are compiled as code page 936 bytes; UTF-8 texts come from u8 literals.
std::string Utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

constexpr char kCoverHost[] = "https://pic1.zhimg.com";
// The site serves what the program expects: its sample page, its CDN base, its video service path.
constexpr const char* kCdn = app::kCdnBase;
constexpr const char* kSiteHost = app::kSiteHost;
static_assert(std::string_view(app::kSampleAddress).ends_with(kSamplePagePath));
static_assert(std::string_view(app::kVideoServiceAddress).ends_with(kVideoServicePath));

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

}  // namespace

std::string EncodeJpeg(int width, int height, Rgb colour) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = colour.r;
    row[x * 3 + 1] = colour.g;
    row[x * 3 + 2] = colour.b;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}
}  // namespace

std::string EncodePng(int width, int height, Rgb colour) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return out;
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = colour.r;
    row[x * 3 + 1] = colour.g;
    row[x * 3 + 2] = colour.b;
  }
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return std::string();
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

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
        Ordinary("1098614583893545002", "A description cut off", "red", {220, 30, 30}, false, {"ld"});
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
  // Generated videos for the long page: four shared covers.
  const Rgb palette[4] = {{200, 0, 0}, {0, 160, 0}, {0, 0, 200}, {200, 200, 0}};
  std::vector<std::string> generated;
  for (int n = 1; n <= 500; ++n) {
    char id[32];
    std::snprintf(id, sizeof id, "1099000000000000%03d", n);
    int k = n % 4;
    DemoVideo v = Ordinary(id, "Generated video " + std::to_string(n), "gen-" + std::to_string(k), palette[k],
                           k % 2 == 1, {"ld", "sd", "hd"});
    videos_.push_back(v);
    generated.push_back(id);
  }

  const std::string v1 = "1098614583893544960", v2 = "1098614583893544961", v3 = "1098614583893544962",
                    v4 = "1098614583893544963", v5 = "1098614583893544964", v6 = "1098614583893544965",
                    v7 = "1098614583893544970";
  pages_.push_back(
      {kSamplePagePath, "Which demo videos show every case of the tool?", {v1, v2, v3, v4, v1, v5}});
  pages_.push_back({kTwoVideoPagePath, "A demo question with two videos", {v6, v2}});
  pages_.push_back({kFaultPagePath,
                    "A demo question whose videos fail",
                    {"1098614583893545001", "1098614583893545002", "1098614583893545003",
                     "1098614583893545004", "1098614583893545005", "1098614583893545006"}});
  pages_.push_back({kNoIdPagePath, "A demo question without videos", {}});
  pages_.push_back({kEmptyPagePath, "", {}});
  {
    DemoPage failing{kFailingPagePath, "", {}};
    failing.status = 503;
    pages_.push_back(failing);
  }
  pages_.push_back({kChinesePagePath, Utf8(u8"没有真实站点时，怎样试用视频解析工具？"), {v7, v1}});
  pages_.push_back({kBigListPagePath, "A demo question with 500 videos", generated});
  pages_.push_back({kFiftyPagePath, "A demo question with 50 videos",
                    std::vector<std::string>(generated.begin(), generated.begin() + 50)});
  {
    DemoPage huge{kHugePagePath, "A demo question page of five megabytes", {v1, v6, v5}};
    huge.min_size = 5 * 1024 * 1024;
    pages_.push_back(huge);
  }

  for (const DemoVideo& v : videos_) {
    if (!v.cover_served || v.cover_url.empty()) continue;
    std::string path = v.cover_url.substr(std::string_view(kCoverHost).size());
    bool known = false;
    for (const auto& c : covers_) known = known || c.first == path;
    if (known) continue;
    covers_.emplace_back(path, v.png ? EncodePng(kCoverWidth, kCoverHeight, v.colour)
                                     : EncodeJpeg(kCoverWidth, kCoverHeight, v.colour));
  }
  for (const DemoPage& p : pages_) bodies_.emplace(p.path, PageBody(p));
}

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
  return out;
}

Response DemoContent::Answer(std::string_view path) const {
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
    r.status = v->kind == DescriptionKind::kNotFound ? 404 : 200;
    r.content_type = v->kind == DescriptionKind::kNotJson ? "text/html" : "application/json; charset=utf-8";
    r.body = DescriptionBody(*v);
    return r;
  }
  for (const auto& [cover_path, bytes] : covers_) {
    if (cover_path == path) {
      r.status = 200;
      r.content_type = cover_path.ends_with(".png") ? "image/png" : "image/jpeg";
      r.body = bytes;
      return r;
    }
  }
  r.body = "404 not found on the demo site: " + std::string(path) + "\n";
  return r;
}

std::string DemoContent::Index() const {
  std::string out =
      "videolens demo site\n"
      "Every host answers the same content. Question pages (use https://www.zhihu.com + path):\n";
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
    static const char* const kKinds[] = {"ordinary", "no playlist", "malformed", "not JSON", "404"};
    out += "  " + v.id + "  " + kKinds[static_cast<int>(v.kind)];
    for (const Quality& q : v.qualities) out += " " + q.name + (q.play_url.empty() ? "(no play_url)" : "");
    if (!v.title.empty()) out += ", title: " + v.title;
    out += "\n";
  }
  out += "  1099000000000000001 .. 1099000000000000" + std::to_string(generated) +
         "  generated, ld sd hd\nCover pictures (https://pic1.zhimg.com + path):\n";
  for (const auto& [path, bytes] : covers_)
    out += "  " + path + "  " + std::to_string(bytes.size()) + " bytes\n";
  out += "Anything else answers 404.\n";
  return out;
}

}  // namespace demo
