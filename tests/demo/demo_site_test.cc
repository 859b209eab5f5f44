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
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "app/constants.h"
#include "platform/codepage.h"

namespace {

struct Fetched {
  long status = 0;
  std::string body;
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
              const char* post = nullptr) {
  CURL* curl = reuse != nullptr ? reuse : curl_easy_init();
  Fetched f;
  if (post != nullptr) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXY, env.ProxyUrl().c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent().c_str());
  curl_easy_setopt(curl, CURLOPT_REFERER, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &f.body);
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &f.status);
  if (reuse == nullptr) curl_easy_cleanup(curl);
  return f;
}

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

TEST_F(DemoSiteTest, CoversAreRealPicturesOfTheirColour) {
  int checked = 0;
  for (const char* id : {"1098614583893544960", "1098614583893544961"}) {  // a JPEG and a PNG
    const demo::DemoVideo* video = content().FindVideo(id);
    ASSERT_NE(video, nullptr);
    SCOPED_TRACE(video->cover_url);
    // The PNG goes over plain HTTP (absolute form through the proxy), the JPEG through a tunnel.
    std::string url = video->png ? "http" + video->cover_url.substr(5) : video->cover_url;
    Fetched f = Fetch(*env_, url);
    ASSERT_EQ(f.status, 200);
    EXPECT_EQ(static_cast<unsigned char>(f.body[0]), video->png ? 0x89 : 0xFF);
    QImage image = QImage::fromData(reinterpret_cast<const uchar*>(f.body.data()),
                                    static_cast<int>(f.body.size()), video->png ? "PNG" : "JPG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), demo::kCoverWidth);
    EXPECT_EQ(image.height(), demo::kCoverHeight);
    QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_NEAR(qRed(pixel), video->colour.r, 4);
    EXPECT_NEAR(qGreen(pixel), video->colour.g, 4);
    EXPECT_NEAR(qBlue(pixel), video->colour.b, 4);
    ++checked;
  }
  EXPECT_EQ(checked, 2);
  std::vector<demo::RecordedRequest> seen = env_->site().Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].scheme, "http");
  EXPECT_EQ(seen[1].host, "pic1.zhimg.com");
  EXPECT_EQ(seen[1].path, "/v2-demo-green.png");

  const demo::DemoVideo* missing = content().FindVideo("1098614583893545005");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(Fetch(*env_, missing->cover_url).status, 404);
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

}  // namespace
