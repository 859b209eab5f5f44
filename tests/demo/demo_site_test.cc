// The demo site reached through its proxy under the real host names, as the program reaches it.
#include "demo/demo_site.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>

#include "app/constants.h"
#include "platform/codepage.h"

namespace {

struct Fetched {
  long status = 0;
  std::string body;
  std::string headers;  // every header block received, the proxy's answer to CONNECT included
  CURLcode result = CURLE_OK;

  // The value of the last header line of that name as the site writes it; empty when none.
  std::string Header(const std::string& name) const {
    std::size_t at = headers.rfind("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return headers.substr(at, headers.find("\r\n", at) - at);
  }
};

struct How {
  const char* range = nullptr;  // CURLOPT_RANGE: "a-b", "a-" or "-n"
  bool head = false;
  long timeout_ms = 20000;
};

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// The program's user agent: the value of the fixed header line.
std::string UserAgent() {
  std::string_view line(app::kRequestHeaderLine);
  return std::string(line.substr(line.find(": ") + 2));
}

// GET through the proxy, certificate checks off, Referer the address itself, bounded time.
Fetched Fetch(const demo::DemoEnvironment& env, const std::string& url, CURL* reuse = nullptr,
              const char* post = nullptr, How how = {}) {
  CURL* curl = reuse != nullptr ? reuse : curl_easy_init();
  Fetched f;
  if (post != nullptr) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post);
  curl_easy_setopt(curl, CURLOPT_RANGE, how.range);
  if (how.head) curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &f.headers);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, env.ProxyUrl().c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, how.timeout_ms);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent().c_str());
  curl_easy_setopt(curl, CURLOPT_REFERER, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &f.body);
  f.result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &f.status);
  if (reuse == nullptr) curl_easy_cleanup(curl);
  return f;
}

// A plain HTTP/1.1 exchange straight with the site's plain port, read as the bytes come, for
// the answers a client library would mend or refuse (a body longer than announced, a stall).
class RawExchange {
 public:
  RawExchange(uint16_t port, const std::string& path) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: vdn.vzuu.com\r\n\r\n";
    connected_ =
        fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  }
  ~RawExchange() {
    if (fd_ >= 0) close(fd_);
  }
  // Reads until the body holds `want` bytes, the site closes, or `ms` pass without a byte.
  void Read(int ms, std::size_t want = SIZE_MAX) {
    char buffer[64 * 1024];
    while (connected_ && !closed_ && Body().size() < want) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, ms) <= 0) return;
      ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed_ = true;
        return;
      }
      data_.append(buffer, static_cast<std::size_t>(n));
    }
  }
  bool connected() const { return connected_; }
  bool closed() const { return closed_; }
  std::string_view Body() const {
    std::size_t end = data_.find("\r\n\r\n");
    return end == std::string::npos ? std::string_view() : std::string_view(data_).substr(end + 4);
  }
  Fetched AsFetched() const {
    Fetched f;
    f.headers = data_.substr(0, data_.size() - Body().size());
    f.body = std::string(Body());
    return f;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  std::string data_;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// This file's narrow literals are code page 936; the site's texts are UTF-8.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Every text between the markers, in order (what the lookup cuts out of a page).
std::vector<std::string> Between(std::string_view text, std::string_view left, std::string_view right) {
  std::vector<std::string> out;
  for (std::size_t at = text.find(left); at != std::string_view::npos; at = text.find(left, at + 1)) {
    std::size_t start = at + left.size();
    std::size_t end = text.find(right, start);
    if (end == std::string_view::npos) break;
    out.emplace_back(text.substr(start, end - start));
  }
  return out;
}

class DemoSiteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    env_ = new demo::DemoEnvironment();
    ASSERT_TRUE(env_->Start());
  }
  static void TearDownTestSuite() {
    delete env_;
    env_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(env_, nullptr);
    env_->site().ClearRequests();
    env_->proxy().ClearTargets();
  }
  const demo::DemoContent& content() { return env_->site().content(); }
  static demo::DemoEnvironment* env_;
};
demo::DemoEnvironment* DemoSiteTest::env_ = nullptr;

TEST_F(DemoSiteTest, SamplePageCarriesItsIdsAndTitleUnderTheRealHost) {
  const std::string url = app::kSampleAddress;
  Fetched page = Fetch(*env_, url);
  ASSERT_EQ(page.status, 200);
  const demo::DemoPage* expected = content().FindPage(demo::kSamplePagePath);
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(Between(page.body, app::kIdStartMarker, app::kIdEndMarker), expected->ids);
  EXPECT_EQ(expected->ids.size(), 6u);
  EXPECT_EQ(expected->ids[0], expected->ids[4]);  // one video named twice
  std::vector<std::string> titles = Between(page.body, app::kTitleStartMarker, app::kTitleEndMarker);
  ASSERT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0], expected->title);

  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].scheme, "https");
  EXPECT_EQ(seen[0].host, "www.zhihu.com");
  EXPECT_EQ(seen[0].path, demo::kSamplePagePath);
  EXPECT_EQ(seen[0].Url(), url);
  EXPECT_EQ(seen[0].referer, url);
  EXPECT_EQ(seen[0].user_agent, UserAgent());
  std::vector<std::string> names;
  for (const auto& header : seen[0].headers) names.push_back(header.first);
  EXPECT_THAT(names, ::testing::IsSupersetOf({"Host", "Referer", "User-Agent", "Accept"}));
  EXPECT_THAT(names, ::testing::Not(::testing::Contains("REMOTE_ADDR")));
  std::vector<std::string> targets = env_->proxy().Targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0], "CONNECT www.zhihu.com:443 HTTP/1.1");
}

TEST_F(DemoSiteTest, PagesForTheEdgeCases) {
  auto get = [&](const char* path) { return Fetch(*env_, std::string(app::kSiteHost) + path); };
  Fetched none = get(demo::kNoIdPagePath);
  EXPECT_EQ(none.status, 200);
  EXPECT_TRUE(Between(none.body, app::kIdStartMarker, app::kIdEndMarker).empty());
  EXPECT_EQ(Between(none.body, app::kTitleStartMarker, app::kTitleEndMarker).size(), 1u);
  Fetched empty = get(demo::kEmptyPagePath);
  EXPECT_EQ(empty.status, 200);
  EXPECT_TRUE(empty.body.empty());
  EXPECT_EQ(get(demo::kFailingPagePath).status, 503);
  EXPECT_EQ(get("/question/1/no-such-page").status, 404);

  Fetched huge = get(demo::kHugePagePath);
  ASSERT_EQ(huge.status, 200);
  EXPECT_GE(huge.body.size(), 5u * 1024 * 1024);
  std::size_t first = huge.body.find(app::kIdStartMarker);
  std::size_t last = huge.body.rfind(app::kIdStartMarker);
  EXPECT_LT(first, huge.body.size() / 10);     // ids at the start ...
  EXPECT_GT(last, huge.body.size() * 9 / 10);  // ... and at the end
  EXPECT_EQ(Between(huge.body, app::kIdStartMarker, app::kIdEndMarker).size(), 3u);

  EXPECT_EQ(Between(get(demo::kBigListPagePath).body, app::kIdStartMarker, app::kIdEndMarker).size(), 500u);

  // The Chinese title is UTF-8 that code page 936 holds without a replacement character.
  std::vector<std::string> titles =
      Between(get(demo::kChinesePagePath).body, app::kTitleStartMarker, app::kTitleEndMarker);
  ASSERT_EQ(titles.size(), 1u);
  std::string gbk = platform::Utf8ToGbk(titles[0]);
  EXPECT_EQ(gbk, "没有真实站点时，怎样试用视频解析工具？");
  EXPECT_EQ(platform::GbkToUtf8(gbk), titles[0]);
}

TEST_F(DemoSiteTest, EveryDescriptionMatchesTheCatalogue) {
  int ordinary = 0;
  for (const demo::DemoVideo& video : content().videos()) {
    SCOPED_TRACE(video.id);
    if (video.kind == demo::DescriptionKind::kStalls) continue;  // never answered
    std::string body = content().DescriptionBody(video);
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(body, nullptr, false);
    if (video.kind == demo::DescriptionKind::kMalformed || video.kind == demo::DescriptionKind::kNotJson) {
      EXPECT_TRUE(doc.is_discarded());
      continue;
    }
    ASSERT_FALSE(doc.is_discarded());
    if (video.kind == demo::DescriptionKind::kNotFound) {
      EXPECT_FALSE(doc.contains("title"));
      EXPECT_FALSE(doc.contains("playlist"));
      continue;
    }
    EXPECT_EQ(doc.value("title", ""), video.title);
    EXPECT_EQ(doc.value("cover_url", ""), video.cover_url);
    EXPECT_EQ(doc.contains("cover_url"), !video.cover_url.empty());
    if (video.kind == demo::DescriptionKind::kNoPlaylist) {
      EXPECT_FALSE(doc.contains("playlist"));
      continue;
    }
    ++ordinary;
    ASSERT_TRUE(doc["playlist"].is_object());
    ASSERT_EQ(doc["playlist"].size(), video.qualities.size());
    std::size_t i = 0;
    for (const auto& [name, quality] : doc["playlist"].items()) {
      EXPECT_EQ(name, video.qualities[i].name);
      EXPECT_EQ(quality.value("play_url", ""), video.qualities[i].play_url);
      if (!video.qualities[i].play_url.empty()) {  // the quality is the directory under the CDN base
        EXPECT_TRUE(video.qualities[i].play_url.starts_with(std::string(app::kCdnBase) + name + "/"));
      }
      ++i;
    }
  }
  EXPECT_GT(ordinary, 500);
}

TEST_F(DemoSiteTest, DescriptionsThroughTheVideoService) {
  const demo::DemoVideo* quote = content().FindVideo("1098614583893544963");
  ASSERT_NE(quote, nullptr);
  const std::string url = app::kVideoServiceAddress + quote->id;
  Fetched f = Fetch(*env_, url);
  ASSERT_EQ(f.status, 200);
  EXPECT_NE(f.body.find("\\\" and backslash \\\\"), std::string::npos);  // escaped as JSON writes it
  nlohmann::json doc = nlohmann::json::parse(f.body);
  EXPECT_EQ(doc["title"], "Quote \" and backslash \\ in a title");
  EXPECT_NE(doc["playlist"]["hd"]["play_url"].get<std::string>().find("%2F"), std::string::npos);
  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].host, "lens.zhihu.com");
  EXPECT_EQ(seen[0].referer, url);

  EXPECT_EQ(Fetch(*env_, app::kVideoServiceAddress + std::string("1098614583893545004")).status, 404);
  EXPECT_EQ(Fetch(*env_, app::kVideoServiceAddress + std::string("42")).status, 404);
}

// Each video has its own cover: a picture of the stated size and format, the badge in the
// middle in the video's colour, the same bytes every time it is asked for.
TEST_F(DemoSiteTest, CoversArePicturesOfTheirVideoTheSameOnEveryRequest) {
  std::set<std::string> covers;
  const char* ids[] = {"1098614583893544960", "1098614583893544961", "1098614583893546003",
                       "1099000000000000007"};
  for (const char* id : ids) {
    const demo::DemoVideo* video = content().FindVideo(id);
    ASSERT_NE(video, nullptr);
    SCOPED_TRACE(video->cover_url);
    // A PNG goes over plain HTTP (absolute form through the proxy), a JPEG through a tunnel.
    std::string url = video->png ? "http" + video->cover_url.substr(5) : video->cover_url;
    Fetched f = Fetch(*env_, url);
    ASSERT_EQ(f.status, 200);
    EXPECT_EQ(f.Header("Content-Type"), video->png ? "image/png" : "image/jpeg");
    QImage image = QImage::fromData(reinterpret_cast<const uchar*>(f.body.data()),
                                    static_cast<int>(f.body.size()), video->png ? "PNG" : "JPG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), demo::kCoverWidth);
    EXPECT_EQ(image.height(), demo::kCoverHeight);
    QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_NEAR(qRed(pixel), video->colour.r, 4);
    EXPECT_NEAR(qGreen(pixel), video->colour.g, 4);
    EXPECT_NEAR(qBlue(pixel), video->colour.b, 4);
    EXPECT_EQ(Fetch(*env_, url).body, f.body);
    covers.insert(f.body);
  }
  EXPECT_EQ(covers.size(), std::size(ids));
  // Another site draws the same bytes.
  const demo::DemoVideo* first = content().FindVideo(ids[0]);
  EXPECT_EQ(
      demo::DemoContent().Cover(first->cover_url.substr(std::string_view("https://pic1.zhimg.com").size())),
      Fetch(*env_, first->cover_url).body);
  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[2].scheme, "http");
  EXPECT_EQ(seen[2].host, "pic1.zhimg.com");
  EXPECT_EQ(seen[2].path, "/v2-demo-green.png");

  const demo::DemoVideo* missing = content().FindVideo("1098614583893545005");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(Fetch(*env_, missing->cover_url).status, 404);
}

TEST_F(DemoSiteTest, PlayAddressesServeTheirFilesWithRanges) {
  const std::string url = content().FindVideo("1098614583893544960")->qualities[2].play_url;
  const demo::DemoFile* file = content().FindFile(url);
  ASSERT_NE(file, nullptr);
  const std::string expected = file->Expected(), length = std::to_string(file->length);
  Fetched whole = Fetch(*env_, url);
  ASSERT_EQ(whole.status, 200);
  EXPECT_TRUE(whole.body == expected);  // not EXPECT_EQ: megabytes of output on a failure
  EXPECT_EQ(whole.Header("Content-Length"), length);
  EXPECT_EQ(whole.Header("Content-Type"), "video/mp4");
  EXPECT_EQ(whole.Header("Accept-Ranges"), "bytes");
  struct Case {
    std::string range;
    uint64_t first, count;
  } cases[] = {
      {"100-199", 100, 100},
      {std::to_string(file->length - 10) + "-", file->length - 10, 10},
      {"-500", file->length - 500, 500},
  };
  for (const Case& c : cases) {
    Fetched part = Fetch(*env_, url, nullptr, nullptr, {c.range.c_str()});
    EXPECT_EQ(part.status, 206) << c.range;
    EXPECT_EQ(part.Header("Content-Range"), "bytes " + std::to_string(c.first) + "-" +
                                                std::to_string(c.first + c.count - 1) + "/" + length);
    EXPECT_TRUE(part.body == expected.substr(c.first, c.count)) << c.range;
  }
  Fetched past = Fetch(*env_, url, nullptr, nullptr, {(length + "-").c_str()});
  EXPECT_EQ(past.status, 416);
  EXPECT_EQ(past.Header("Content-Range"), "bytes */" + length);
  Fetched head = Fetch(*env_, url, nullptr, nullptr, {nullptr, true});
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), length);
  EXPECT_TRUE(head.body.empty());
  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0].host, "vdn.vzuu.com");
  EXPECT_THAT(seen[1].headers,
              ::testing::Contains(std::pair<std::string, std::string>("Range", "bytes=100-199")));
  EXPECT_EQ(seen[5].method, "HEAD");
  EXPECT_EQ(Fetch(*env_, std::string(app::kCdnBase) + "hd/not-listed.mp4").status, 404);
}

TEST_F(DemoSiteTest, FaultAddressesFailAsListed) {
  // Reset: half the body, then the connection ends; a Range request then gives the rest.
  const demo::DemoFile* reset = content().FindFile(demo::kResetFileAddress);
  ASSERT_NE(reset, nullptr);
  Fetched broken = Fetch(*env_, demo::kResetFileAddress);
  EXPECT_EQ(broken.result, CURLE_PARTIAL_FILE);
  EXPECT_TRUE(broken.body == reset->Bytes(0, reset->length / 2));
  Fetched rest = Fetch(*env_, demo::kResetFileAddress, nullptr, nullptr,
                       {(std::to_string(broken.body.size()) + "-").c_str()});
  EXPECT_EQ(rest.status, 206);
  EXPECT_TRUE(broken.body + rest.body == reset->Expected());

  EXPECT_EQ(Fetch(*env_, demo::kMissingFileAddress).status, 404);

  const demo::DemoFile* plain = content().FindFile(demo::kNoRangesFileAddress);
  ASSERT_NE(plain, nullptr);
  Fetched ignored = Fetch(*env_, demo::kNoRangesFileAddress, nullptr, nullptr, {"0-9"});
  EXPECT_EQ(ignored.status, 200);
  EXPECT_EQ(ignored.Header("Content-Range"), "");
  EXPECT_EQ(ignored.Header("Accept-Ranges"), "none");
  EXPECT_TRUE(ignored.body == plain->Expected());

  // Longer: a client library would drop the extra bytes, so the bytes are read off the socket.
  const demo::DemoFile* longer = content().FindFile(demo::kLongerFileAddress);
  ASSERT_NE(longer, nullptr);
  RawExchange extra(env_->site().http_port(), longer->path);
  ASSERT_TRUE(extra.connected());
  extra.Read(10000);
  EXPECT_TRUE(extra.closed());
  Fetched got = extra.AsFetched();
  EXPECT_EQ(got.Header("Content-Length"), std::to_string(longer->length));
  EXPECT_EQ(got.Header("Connection"), "close");
  EXPECT_EQ(got.body.size(), longer->length + demo::kLongerExtraBytes);
  EXPECT_TRUE(got.body == longer->Bytes(0, longer->length + demo::kLongerExtraBytes));

  // Stall: half the body, then nothing while the connection stays open.
  const demo::DemoFile* stall = content().FindFile(demo::kStallFileAddress);
  ASSERT_NE(stall, nullptr);
  RawExchange stalled(env_->site().http_port(), stall->path);
  stalled.Read(10000, stall->length / 2);
  ASSERT_EQ(stalled.Body().size(), stall->length / 2);
  stalled.Read(300);
  EXPECT_FALSE(stalled.closed());
  EXPECT_EQ(stalled.Body().size(), stall->length / 2);
  EXPECT_TRUE(stalled.Body() == stall->Bytes(0, stall->length / 2));
  // Through the proxy a client's time-out ends it.
  Fetched given_up = Fetch(*env_, demo::kStallFileAddress, nullptr, nullptr, {nullptr, false, 500});
  EXPECT_EQ(given_up.result, CURLE_OPERATION_TIMEDOUT);
}

// Raw traditional characters whose code page 936 form holds 5C bytes, characters code page 936
// lacks, and the escaped twin of each description, which decodes to the same values.
TEST_F(DemoSiteTest, TraditionalPageHasRawUtf8DescriptionsAndEscapedTwins) {
  const demo::DemoPage* raw = content().FindPage(demo::kTraditionalPagePath);
  const demo::DemoPage* escaped = content().FindPage(demo::kTraditionalEscapedPagePath);
  ASSERT_NE(raw, nullptr);
  ASSERT_NE(escaped, nullptr);
  ASSERT_EQ(raw->ids.size(), 4u);
  EXPECT_EQ(escaped->title, raw->title);
  Fetched page = Fetch(*env_, std::string(app::kSiteHost) + demo::kTraditionalEscapedPagePath);
  EXPECT_EQ(Between(page.body, app::kIdStartMarker, app::kIdEndMarker), escaped->ids);

  std::vector<std::string> titles;
  bool raw_query = false;
  for (std::size_t i = 0; i < raw->ids.size(); ++i) {
    const demo::DemoVideo* video = content().FindVideo(raw->ids[i]);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(video->escaped_twin, escaped->ids[i]);
    Fetched a = Fetch(*env_, app::kVideoServiceAddress + video->id);
    Fetched b = Fetch(*env_, app::kVideoServiceAddress + video->escaped_twin);
    ASSERT_EQ(a.status, 200);
    ASSERT_EQ(b.status, 200);
    EXPECT_TRUE(std::none_of(b.body.begin(), b.body.end(), [](char c) { return c & 0x80; })) << b.body;
    EXPECT_NE(a.body.find(video->title_json), std::string::npos);  // raw bytes, not escapes
    nlohmann::json da = nlohmann::json::parse(a.body), db = nlohmann::json::parse(b.body);
    EXPECT_EQ(da["title"], video->title);
    EXPECT_EQ(db["title"], video->title);
    EXPECT_EQ(db["cover_url"], da["cover_url"]);
    EXPECT_EQ(db["playlist"], da["playlist"]);
    for (const demo::Quality& q : video->qualities) {
      std::string_view query = std::string_view(q.play_url).substr(q.play_url.find('?'));
      raw_query = raw_query || std::any_of(query.begin(), query.end(), [](char c) { return c & 0x80; });
    }
    titles.push_back(video->title);
  }
  EXPECT_TRUE(raw_query);
  // 誠 at the end; 謀 診 淺 before n, u and a quote: their code page 936 forms end in 5C.
  const std::string first = platform::Utf8ToGbk(titles[0]), second = platform::Utf8ToGbk(titles[1]);
  EXPECT_EQ(first.back(), '\x5c');
  for (const char* pair : {"\x5cn", "\x5cu", "\x5c\""})
    EXPECT_NE(second.find(pair), std::string::npos) << pair;
  EXPECT_NE(platform::GbkToUtf8(platform::Utf8ToGbk(titles[2])), titles[2]);  // not all in code page 936
  EXPECT_NE(titles[2].find(U8(u8"😺")), std::string::npos);
  const std::string& mixed = content().FindVideo(raw->ids[3])->title_json;
  EXPECT_NE(mixed.find("\\u"), std::string::npos);
  EXPECT_TRUE(std::any_of(mixed.begin(), mixed.end(), [](char c) { return c & 0x80; }));
}

TEST_F(DemoSiteTest, IndexListsEveryPageAndFaultAddress) {
  Fetched index = Fetch(*env_, std::string(app::kSiteHost) + "/");
  ASSERT_EQ(index.status, 200);
  for (const demo::DemoPage& p : content().pages()) {
    EXPECT_FALSE(p.about.empty()) << p.path;
    EXPECT_NE(index.body.find(std::string(app::kSiteHost) + p.path + " "), std::string::npos) << p.path;
    EXPECT_NE(index.body.find(p.about), std::string::npos) << p.path;
  }
  for (const char* address : {demo::kResetFileAddress, demo::kStallFileAddress, demo::kMissingFileAddress,
                              demo::kNoRangesFileAddress, demo::kLongerFileAddress}) {
    EXPECT_NE(index.body.find(address), std::string::npos) << address;
  }
  const std::string list = content().PageList();
  EXPECT_EQ(static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n')), content().pages().size());
}

TEST_F(DemoSiteTest, OtherMethodsGetTheSameAnswerAndAreRecorded) {
  const std::string url = std::string(app::kSiteHost) + demo::kTwoVideoPagePath;
  Fetched posted = Fetch(*env_, url, nullptr, "a=1");
  EXPECT_EQ(posted.status, 200);
  EXPECT_EQ(posted.body, Fetch(*env_, url).body);
  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[1].method, "GET");
}

TEST_F(DemoSiteTest, ProxyRefusesAnOriginFormRequest) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(env_->proxy_port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  std::string request = "GET /question/1 HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
  std::string answer;
  char buffer[512];
  for (int i = 0; i < 50; ++i) {  // until the proxy closes, at most 5 s
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 400")) << answer;
  EXPECT_TRUE(env_->site().Requests().empty());
}

// The way the program goes: no proxy option of its own, only the standard variables.
TEST_F(DemoSiteTest, ProxyVariablesLeadAPlainClientToTheSite) {
  setenv("no_proxy", "*", 1);
  unsetenv("HTTPS_PROXY");
  std::string fetched;
  long status = 0;
  {
    demo::ProxyVariables variables(env_->ProxyUrl());
    EXPECT_EQ(std::string(getenv("https_proxy")), env_->ProxyUrl());
    EXPECT_EQ(getenv("no_proxy"), nullptr);
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, app::kSampleAddress);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched);
    if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
  }
  EXPECT_EQ(status, 200);
  EXPECT_EQ(Between(fetched, app::kIdStartMarker, app::kIdEndMarker).size(), 6u);
  EXPECT_EQ(env_->site().Requests().size(), 1u);
  // The variables are as they were.
  EXPECT_EQ(std::string(getenv("no_proxy")), "*");
  EXPECT_EQ(getenv("HTTPS_PROXY"), nullptr);
  unsetenv("no_proxy");
}

// A kept-alive tunnel does not hold up the stop, and a stopped environment refuses connections.
TEST(DemoEnvironmentTest, StopsPromptlyWithAnOpenTunnel) {
  demo::DemoEnvironment env;
  ASSERT_TRUE(env.Start());
  uint16_t port = env.proxy_port();
  CURL* curl = curl_easy_init();
  EXPECT_EQ(Fetch(env, std::string(app::kSiteHost) + "/", curl).status, 200);
  auto start = std::chrono::steady_clock::now();
  env.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(env.proxy_port(), 0);
  curl_easy_cleanup(curl);

  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_NE(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
}

// Every response waits the latency before its first byte, on both servers and for every kind
// of answer; the bound is a lower one only.
TEST(DemoEnvironmentTest, ResponsesWaitTheLatency) {
  constexpr int kLatencyMs = 150;
  demo::DemoEnvironment env;
  ASSERT_TRUE(env.Start(0, kLatencyMs));
  EXPECT_EQ(env.site().latency(), kLatencyMs);
  const demo::DemoVideo* video = env.site().content().FindVideo("1098614583893544961");
  ASSERT_NE(video, nullptr);
  const std::string page = std::string(app::kSiteHost) + demo::kTwoVideoPagePath;
  const std::string file = video->qualities[0].play_url;
  const std::pair<std::string, How> cases[] = {
      {page, {}},
      {"http" + page.substr(5), {}},
      {app::kVideoServiceAddress + video->id, {}},
      {video->cover_url, {}},
      {file, {nullptr, true}},
      {"http" + file.substr(5), {"0-99"}},
  };
  for (const auto& [url, how] : cases) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch(env, url, nullptr, nullptr, how).result, CURLE_OK);
    EXPECT_GE(SecondsSince(start), kLatencyMs / 1000.0) << url;
  }
  env.SetLatency(0);
  EXPECT_EQ(env.site().latency(), 0);
}

// Forty connections held by stalled downloads leave the site free to answer the next request:
// none of them keeps a worker that another connection waits for.
TEST(DemoEnvironmentTest, StalledConnectionsDoNotHoldUpOthers) {
  demo::DemoEnvironment env;
  ASSERT_TRUE(env.Start());
  const demo::DemoFile* stall = env.site().content().FindFile(demo::kStallFileAddress);
  ASSERT_NE(stall, nullptr);
  std::vector<std::unique_ptr<RawExchange>> held;
  for (int i = 0; i < 40; ++i) {
    held.push_back(std::make_unique<RawExchange>(env.site().http_port(), stall->path));
    ASSERT_TRUE(held.back()->connected());
  }
  for (auto& h : held) {
    h->Read(10000, stall->length / 2);
    ASSERT_EQ(h->Body().size(), stall->length / 2);
  }
  Fetched page = Fetch(env, "http" + std::string(app::kSiteHost).substr(5) + demo::kTwoVideoPagePath, nullptr,
                       nullptr, {nullptr, false, 10000});
  EXPECT_EQ(page.result, CURLE_OK);
  EXPECT_EQ(page.status, 200);
  for (auto& h : held) EXPECT_FALSE(h->closed());
}

// Stop ends a stalled download and a response still waiting out its latency.
TEST(DemoEnvironmentTest, StopEndsStalledAndWaitingAnswers) {
  demo::DemoEnvironment env;
  ASSERT_TRUE(env.Start());
  const demo::DemoFile* stall = env.site().content().FindFile(demo::kStallFileAddress);
  ASSERT_NE(stall, nullptr);
  RawExchange stalled(env.site().http_port(), stall->path);
  stalled.Read(10000, stall->length / 2);
  ASSERT_EQ(stalled.Body().size(), stall->length / 2);
  env.SetLatency(60000);
  RawExchange waiting(env.site().http_port(), demo::kTwoVideoPagePath);
  ASSERT_TRUE(waiting.connected());
  waiting.Read(200);
  auto start = std::chrono::steady_clock::now();
  env.Stop();
  EXPECT_LT(SecondsSince(start), 5.0);
  stalled.Read(2000);
  waiting.Read(2000);
  EXPECT_TRUE(stalled.closed());
  EXPECT_TRUE(waiting.closed());
}

}  // namespace
