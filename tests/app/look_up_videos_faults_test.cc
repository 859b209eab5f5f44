// The lookup after a faulty page: the page address points at a misbehaving loopback server, the
// lookup ends with the rows the fault allows, and the very next lookup of the demo site gives
// the full, correct grid. Each case prints one line ("FAULT | lookup: case | ... | elapsed").
// Only faults that end quickly are used here: the lookup runs with the default 15 s time-out.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>

#include "app/constants.h"
#include "app/look_up_videos.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/codepage.h"
#include "runtime/dll_commands.h"
#include "tests/app/demo_lookup_fixture.h"
#include "tests/support/fault_server.h"
#include "tests/support/local_servers.h"
#include "ui/grid_commands.h"
#include "ui/window_template.h"

namespace app {
namespace {

using testing_support::FaultServer;
constexpr ui::ControlRef kGrid{kMainWindowId, k高级表格1};

// Loopback addresses go straight to the fault server; the site's host names still go through
// the demo proxy.
class LoopbackBypassesProxy {
 public:
  LoopbackBypassesProxy() { setenv("no_proxy", "127.0.0.1", 1); }
  ~LoopbackBypassesProxy() { unsetenv("no_proxy"); }
};

class LookUpVideosFaultsTest : public testing_support::DemoLookupFixture {
 protected:
  // Looks up `address` with a real click; returns the seconds it took.
  double LookUp(const std::string& address) {
    SetContent(k编辑框2, address.c_str());
    auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(WidgetOf(k按钮1), Qt::LeftButton);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double LookUpFault(const char* name, const std::string& address) {
    double elapsed;
    {
      LoopbackBypassesProxy bypass;
      elapsed = LookUp(address);
    }
    char line[256];
    std::snprintf(line, sizeof line, "FAULT | lookup: %-26s | 15 s | rows %3d, caption %3zu B | %6.2f s",
                  name, grid::RowCount(kGrid) - 1, Caption().size(), elapsed);
    std::printf("%s\n", line);
    RecordProperty(name, line);
    EXPECT_LT(elapsed, 20.0) << name;
    return elapsed;
  }

  static const demo::DemoPage& Page(const char* path) { return *env_->site().content().FindPage(path); }

  // The rows of a page as the lookup must fill them from the demo site's descriptions.
  void ExpectRowsOf(const demo::DemoPage& page) {
    ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);
    for (size_t i = 0; i < page.ids.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      const demo::DemoVideo& v = *env_->site().content().FindVideo(page.ids[i]);
      SCOPED_TRACE("row " + std::to_string(row));
      EXPECT_EQ(CellText(row, 0), std::to_string(row));
      if (v.kind != demo::DescriptionKind::kOrdinary) continue;
      std::string joined;
      for (const demo::Quality& q : v.qualities) joined = q.play_url + kAddressSeparator + joined;
      EXPECT_EQ(CellText(row, 2), joined);
      EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
      EXPECT_EQ(Grid()->cellPicture(row, 1).isNull(), !(v.cover_served && !v.cover_url.empty()));
    }
  }
  // The program is still usable: the sample page gives its full grid and caption.
  void ExpectSampleLookupWorks() {
    const demo::DemoPage& page = Page(demo::kSamplePagePath);
    LookUp(std::string(kSiteHost) + demo::kSamplePagePath);
    EXPECT_EQ(Caption(), platform::Utf8ToGbk(page.title));
    ExpectRowsOf(page);
  }
  // No rows; the caption says why, the page having given no title.
  void ExpectNothingFound(const char* reason) {
    EXPECT_EQ(grid::RowCount(kGrid), 1);
    EXPECT_EQ(Caption(), reason);
    EXPECT_EQ(CellText(0, 2), "下载地址");
  }
};

TEST_F(LookUpVideosFaultsTest, FailedPagesLeaveTheTitleRowAndTheNextLookupWorks) {
  // A page fetch that fails in each of these ways gives an empty page and its reason.
  const std::string twoVideos = env_->site().content().PageBody(Page(demo::kTwoVideoPagePath));
  const std::tuple<const char*, std::function<void(FaultServer&, int)>, const char*> faults[] = {
      {"reset in the middle",
       [&](FaultServer& s, int fd) {
         s.ReadHead(fd);
         s.SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + twoVideos);
         s.Wait(fd, std::chrono::milliseconds(100));
         FaultServer::Reset(fd);
       },
       kConnectionLostReason},
      {"malformed status line",
       [&](FaultServer& s, int fd) {
         s.ReadHead(fd);
         s.SendAll(fd, "HTTP/1.1 abc OK\r\nConnection: close\r\n\r\n" + twoVideos);
       },
       kOtherFailureReason},
      {"redirect loop",
       [](FaultServer& s, int fd) {
         s.ReadHead(fd);
         s.SendAll(fd,
                   "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
       },
       kOtherFailureReason},
      {"closed without an answer", [](FaultServer& s, int fd) { s.ReadHead(fd); }, kConnectionLostReason},
  };
  for (const auto& [name, behaviour, reason] : faults) {
    SCOPED_TRACE(name);
    LookUp(std::string(kSiteHost) + demo::kTwoVideoPagePath);  // rows and a caption to clear
    ASSERT_EQ(grid::RowCount(kGrid), 3);
    FaultServer server(behaviour);
    LookUpFault(name, server.url("/question/1"));
    ExpectNothingFound(reason);
    ExpectSampleLookupWorks();
  }

  LookUpFault("refused connection",
              "http://127.0.0.1:" + std::to_string(testing_support::ClosedPort()) + "/question/1");
  ExpectNothingFound(kConnectFailedReason);
  ExpectSampleLookupWorks();

  FaultServer garbage([](FaultServer& s, int fd) {
    s.Wait(fd, std::chrono::milliseconds(100));  // takes the client hello
    s.SendAll(fd, "no TLS here\r\n\r\n");
  });
  LookUpFault("TLS handshake failure", garbage.url("/question/1", "https"));
  ExpectNothingFound(kTlsFailedReason);
  ExpectSampleLookupWorks();
}

TEST_F(LookUpVideosFaultsTest, InvalidUtf8AroundThePageKeepsItsVideos) {
  const demo::DemoPage& page = Page(demo::kTwoVideoPagePath);
  const std::string body =
      "\xff\xfe\xc3\x28" + env_->site().content().PageBody(page) + "\xed\xa0\x80\xe2\x82";
  FaultServer server([&body](FaultServer& s, int fd) {
    s.ReadHead(fd);
    s.SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  });
  LookUpFault("invalid UTF-8 in the page", server.url("/question/1"));
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(page.title));
  ExpectRowsOf(page);  // the descriptions come from the demo site as usual
  ExpectSampleLookupWorks();
}

// Each way a lookup can end without simply succeeding names its reason after the title (alone
// when there is no title); the program stays usable after each.
TEST_F(LookUpVideosFaultsTest, EachOutcomeEndsWithItsWords) {
  testing_support::LocalServer statuses;
  statuses->Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    res.status = std::stoi(req.matches[1].str());
    res.set_content("<html>error</html>", "text/html");
  });
  statuses.Start();
  const std::pair<int, const char*> answers[] = {{404, kNotFoundReason},
                                                 {429, kTooManyRequestsReason},
                                                 {500, kServerErrorReason},
                                                 {503, kServerErrorReason}};
  for (const auto& [status, words] : answers) {
    LookUpFault(("status " + std::to_string(status)).c_str(),
                statuses.url("/status/" + std::to_string(status)));
    ExpectNothingFound(("HTTP " + std::to_string(status) + words).c_str());
  }

  LookUp("www.zhihu.com/question/1");  // no scheme
  ExpectNothingFound(kBadAddressReason);
  {
    setenv("no_proxy", "127.0.0.1,.invalid", 1);  // resolved here, not by the demo's proxy
    LookUp("https://www.no-such-host.invalid/question/1");
    unsetenv("no_proxy");
    ExpectNothingFound(kHostNotFoundReason);
  }
  {
    // A proxy that refuses the tunnel (it wants credentials the program does not have).
    testing_support::LocalProxy refusing("Basic dXNlcjpwYXNz");
    demo::ProxyVariables through("http://" + refusing.address());
    LookUp(std::string(kSiteHost) + demo::kTwoVideoPagePath);
    ExpectNothingFound(kProxyFailedReason);
  }
  ExpectSampleLookupWorks();

  // Pages that answer, but with nothing to list: a title without ids, and neither.
  LookUp(std::string(kSiteHost) + demo::kNoIdPagePath);
  EXPECT_EQ(Caption(),
            platform::Utf8ToGbk(Page(demo::kNoIdPagePath).title) + kReasonSeparator + kNoVideosReason);
  LookUp(std::string(kSiteHost) + demo::kEmptyPagePath);
  ExpectNothingFound(kNotQuestionReason);
}

}  // namespace
}  // namespace app
