#include "app/look_up_videos.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/result_grid.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/codepage.h"
#include "runtime/dll_commands.h"
#include "tests/app/demo_lookup_fixture.h"
#include "tests/support/picture_samples.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"
#include "ui/qt/window_frame.h"
#include "ui/window_template.h"

namespace app {
namespace {

constexpr ui::ControlRef kGrid{kMainWindowId, k高级表格1};

// The main window against the local demo site, reached through its proxy under the program's
// real host names, as a user of the demo would run it.
class LookUpVideosTest : public testing_support::DemoLookupFixture {
 protected:
  void SetUp() override {
    DemoLookupFixture::SetUp();
    env_->site().ClearRequests();
  }

  // Puts the page's address into 编辑框2 and presses 按钮1 with a real click.
  void LookUp(const std::string& path) {
    SetContent(k编辑框2, (std::string(kSiteHost) + path).c_str());
    QWidget* button = WidgetOf(k按钮1);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // What the address cell must read: the last quality first, each followed by the separator.
  static std::string JoinedAddresses(const demo::DemoVideo& v) {
    std::string joined;
    for (const demo::Quality& q : v.qualities) joined = q.play_url + kAddressSeparator + joined;
    return joined;
  }
  static const demo::DemoPage& Page(const char* path) { return *env_->site().content().FindPage(path); }
  static const demo::DemoVideo& Video(const std::string& id) { return *env_->site().content().FindVideo(id); }
  // The bytes the demo site serves for a video's cover; empty when it serves none.
  static std::string CoverBytes(const demo::DemoVideo& v) {
    if (v.cover_url.empty() || !v.cover_served) return std::string();
    return env_->site().content().Answer(v.cover_url.substr(v.cover_url.find('/', 8))).body;
  }
  static std::string CellBytes(int row, int column) {
    return std::string(grid::GetCell(kGrid, row, column).bytes.view());
  }
  // A short stand-in for a picture cell's bytes, so that a failed comparison prints a line.
  static std::string PictureDigest(int row, int column) {
    std::string bytes = CellBytes(row, column);
    return std::to_string(bytes.size()) + " bytes #" + std::to_string(std::hash<std::string>{}(bytes));
  }
  // Every cell of a row that a description which gave nothing fills: its number only.
  void ExpectFailureRow(int row) {
    EXPECT_EQ(CellText(row, 0), std::to_string(row));
    EXPECT_EQ(CellBytes(row, 1), "");
    EXPECT_TRUE(Grid()->cellPicture(row, 1).isNull());
    EXPECT_EQ(CellText(row, 2), "");
    EXPECT_EQ(CellText(row, 3), "");
    EXPECT_EQ(Grid()->model().rowHeight(row), 100);
  }
  // Column widths 0 to 4: the template's 60, and 100 for each column a video widened.
  void ExpectColumnWidths(int widened) {
    for (int c = 0; c <= 4; ++c)
      EXPECT_EQ(Grid()->model().columnWidth(c), c >= 1 && c <= widened ? 100 : 60) << c;
  }
};

TEST_F(LookUpVideosTest, SamplePageFillsOneRowPerOccurrence) {
  const demo::DemoPage& page = Page(demo::kSamplePagePath);
  LookUp(demo::kSamplePagePath);

  EXPECT_EQ(Caption(), platform::Utf8ToGbk(page.title));
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);  // duplicates kept
  for (size_t i = 0; i < page.ids.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const demo::DemoVideo& v = Video(page.ids[i]);
    SCOPED_TRACE("row " + std::to_string(row) + " id " + v.id);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));
    if (v.kind == demo::DescriptionKind::kOrdinary) {
      EXPECT_EQ(CellText(row, 2), JoinedAddresses(v));
      EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
    }
    // The cover exactly as served, and a picture that decodes.
    EXPECT_TRUE(CellBytes(row, 1) == CoverBytes(v));
    EXPECT_EQ(Grid()->cellPicture(row, 1).isNull(), CoverBytes(v).empty());
    EXPECT_EQ(Grid()->model().rowHeight(row), 100);
  }
  // Six videos: columns 1 to 4 became 100 wide, column 0 kept its width.
  ExpectColumnWidths(4);

  // 1 + 2n requests, each with the fixed user-agent and its own address as Referer.
  std::vector<demo::RecordedRequest> requests = env_->site().Requests();
  EXPECT_EQ(requests.size(), 1 + 2 * page.ids.size());
  for (const demo::RecordedRequest& r : requests) {
    EXPECT_EQ(r.referer, r.Url());
    EXPECT_NE(r.user_agent.find("Chrome/72.0.3626.121"), std::string::npos);
  }
}

TEST_F(LookUpVideosTest, EscapesInsideTheDescriptionSurviveAndASecondRunStartsAgain) {
  // The sample page's fourth video has a quote and a backslash in its title and %2F in an
  // address; its second one a title written as \u escapes.
  const demo::DemoPage& sample = Page(demo::kSamplePagePath);
  const demo::DemoVideo& quoted = Video(sample.ids[3]);
  ASSERT_NE(quoted.title.find('"'), std::string::npos);
  ASSERT_NE(quoted.title.find('\\'), std::string::npos);
  ASSERT_NE(JoinedAddresses(quoted).find("%2F"), std::string::npos);
  LookUp(demo::kSamplePagePath);
  EXPECT_EQ(CellText(4, 2), JoinedAddresses(quoted));            // %2F stays as written
  EXPECT_EQ(CellText(4, 3), platform::Utf8ToGbk(quoted.title));  // quote and backslash decoded once
  EXPECT_EQ(CellText(2, 3), platform::Utf8ToGbk(Video(sample.ids[1]).title));

  // The list filled by a click on a row is emptied by the next lookup.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Grid()->cellRect(1, 2).center());
  ASSERT_GT(List()->itemCount(), 0);
  LookUp(demo::kTwoVideoPagePath);
  EXPECT_EQ(List()->itemCount(), 0);
  const demo::DemoPage& page = Page(demo::kTwoVideoPagePath);
  ASSERT_EQ(grid::RowCount(kGrid), 3);
  for (int row = 1; row <= 2; ++row) {
    const demo::DemoVideo& v = Video(page.ids[row - 1]);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));  // numbers start again at 1
    EXPECT_EQ(CellText(row, 2), JoinedAddresses(v));
    EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
  }
  // Two videos: only columns 1 and 2 changed (the widths of the run before stay).
  ExpectColumnWidths(4);

  LookUp(demo::kNoIdPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);  // only the title row is left, the caption says why
  EXPECT_EQ(Caption(),
            platform::Utf8ToGbk(Page(demo::kNoIdPagePath).title) + kReasonSeparator + kNoVideosReason);
  EXPECT_EQ(CellText(0, 0), "序号");
}

TEST_F(LookUpVideosTest, TwoVideosWidenOnlyColumnsOneAndTwo) {
  LookUp(demo::kTwoVideoPagePath);
  ASSERT_EQ(grid::RowCount(kGrid), 3);
  ExpectColumnWidths(2);
}

// Failed rows keep the cells they always had, and say why in their tip and below their
// addresses when clicked; the caption says why a page gave none.
TEST_F(LookUpVideosTest, FailingPagesAndDescriptionsGiveTheDefinedRowsAndSayWhy) {
  LookUp(demo::kFailingPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);
  EXPECT_EQ(Caption(), std::string("HTTP 503") + kServerErrorReason);
  LookUp(demo::kEmptyPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);
  EXPECT_EQ(Caption(), kNotQuestionReason);

  const demo::DemoPage& page = Page(demo::kFaultPagePath);
  LookUp(demo::kFaultPagePath);
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);
  for (size_t i = 0; i < page.ids.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const demo::DemoVideo& v = Video(page.ids[i]);
    SCOPED_TRACE(v.id);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));  // every video still gets its numbered row
    std::string why;
    switch (v.kind) {
      case demo::DescriptionKind::kNotFound:
        why = std::string(kDescriptionFailedReason) + "HTTP 404" + kNotFoundReason;
        ExpectFailureRow(row);
        break;
      case demo::DescriptionKind::kNotJson:
        why = kDescriptionNotJsonReason;
        ExpectFailureRow(row);
        break;
      case demo::DescriptionKind::kStalls:
        ExpectFailureRow(row);
        break;
      case demo::DescriptionKind::kMalformed:  // cut off: nothing of it, not a cut address
        why = kDescriptionCutReason;
        ExpectFailureRow(row);
        break;
      case demo::DescriptionKind::kNoPlaylist:  // complete, but without addresses
        why = kNoPlaylistReason;
        EXPECT_EQ(CellText(row, 2), "");
        EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
        EXPECT_TRUE(CellBytes(row, 1) == CoverBytes(v));
        break;
      case demo::DescriptionKind::kOrdinary:  // a cover missing (404: its error page) or not named
        why = v.cover_url.empty() ? std::string(kNoCoverAddressReason)
                                  : std::string(kCoverFailedReason) + "HTTP 404" + kNotFoundReason;
        EXPECT_EQ(CellText(row, 2), JoinedAddresses(v));
        EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
        EXPECT_TRUE(Grid()->cellPicture(row, 1).isNull());
        if (v.cover_url.empty()) {
          EXPECT_EQ(CellBytes(row, 1), "");
        }
        break;
    }
    EXPECT_EQ(Grid()->model().rowToolTip(row), why);
    // The row's click routine lists its addresses, then why it lacks something (rows below the
    // grid's visible part are made current as a click would).
    ASSERT_TRUE(Grid()->model().setCurrentCell(row, 2));
    ShowRowAddresses(0, nullptr, nullptr);
    std::string lines;
    for (auto q = v.qualities.rbegin(); q != v.qualities.rend(); ++q) {
      if (v.kind == demo::DescriptionKind::kOrdinary) lines += q->play_url + "\r\n";
    }
    EXPECT_EQ(Content(k编辑框1), lines + why);
  }
  // A row that lacks nothing has no tip.
  LookUp(demo::kTwoVideoPagePath);
  EXPECT_EQ(Grid()->model().rowToolTip(1), "");
}

TEST_F(LookUpVideosTest, ChineseTitlesAndLargePagesComplete) {
  LookUp(demo::kChinesePagePath);
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(Page(demo::kChinesePagePath).title));
  EXPECT_EQ(grid::RowCount(kGrid), 3);

  LookUp(demo::kHugePagePath);
  EXPECT_EQ(grid::RowCount(kGrid), static_cast<int>(Page(demo::kHugePagePath).ids.size()) + 1);
}

// Resident memory of the process, in kilobytes.
long ResidentKb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST_F(LookUpVideosTest, FiveHundredVideosCompleteWithinBoundedMemory) {
  const demo::DemoPage& page = Page(demo::kBigListPagePath);
  LookUp(demo::kBigListPagePath);  // once, so that pools and caches are made
  const long before = ResidentKb();
  LookUp(demo::kBigListPagePath);
  const long after = ResidentKb();
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);
  for (int row : {1, 250, 500}) {
    const demo::DemoVideo& v = Video(page.ids[static_cast<size_t>(row - 1)]);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));
    EXPECT_EQ(CellText(row, 2), JoinedAddresses(v));
    EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
    EXPECT_TRUE(CellBytes(row, 1) == CoverBytes(v));
  }
  ASSERT_GT(before, 0);
  // A second lookup of the same page replaces the rows instead of piling them up: a few MB of
  // texts and undecoded covers at most (more under the address checker, which keeps freed
  // blocks in quarantine).
#if defined(__SANITIZE_ADDRESS__)
  constexpr long kGrowthLimitKb = 256 * 1024;
#else
  constexpr long kGrowthLimitKb = 32 * 1024;
#endif
  EXPECT_LT(after - before, kGrowthLimitKb);
}

TEST_F(LookUpVideosTest, RawAndEscapedDescriptionsGiveTheSameRows) {
  // Raw UTF-8 in the descriptions: characters whose second GBK byte is a backslash (誠 at the
  // end of a title, 謀 before "n", 診 before "u", 淺 before a quote), characters code page 936
  // lacks, and raw and \u forms mixed; the twin page has every description fully escaped.
  const demo::DemoPage& raw = Page(demo::kTraditionalPagePath);
  const demo::DemoPage& escaped = Page(demo::kTraditionalEscapedPagePath);
  ASSERT_EQ(raw.ids.size(), escaped.ids.size());
  LookUp(demo::kTraditionalPagePath);
  const std::string caption = Caption();
  std::vector<std::string> rows;
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(raw.ids.size()) + 1);
  for (size_t i = 0; i < raw.ids.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const demo::DemoVideo& v = Video(raw.ids[i]);
    SCOPED_TRACE(v.id);
    // The title and the addresses as the code page writes them; "?" where it has no character.
    EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
    EXPECT_EQ(CellText(row, 2), platform::Utf8ToGbk(JoinedAddresses(v)));
    EXPECT_TRUE(CellBytes(row, 1) == CoverBytes(v));
    for (int column = 0; column <= 3; ++column) {
      rows.push_back(column == 1 ? PictureDigest(row, column) : CellText(row, column));
    }
  }
  LookUp(demo::kTraditionalEscapedPagePath);
  EXPECT_EQ(Caption(), caption);
  std::vector<std::string> twins;
  for (int row = 1; row < grid::RowCount(kGrid); ++row) {
    for (int column = 0; column <= 3; ++column) {
      twins.push_back(column == 1 ? PictureDigest(row, column) : CellText(row, column));
    }
  }
  EXPECT_EQ(twins, rows);
}

TEST_F(LookUpVideosTest, AStalledDescriptionHoldsUpOnlyItsOwnRow) {
  // The second description is never answered: rows 1, 3 and 4 come at once, in page order, and
  // row 2 takes its place among them once its request's time-out (15 s) has run out.
  const demo::DemoPage& page = Page(demo::kStalledDescriptionPagePath);
  std::vector<std::string> numbersWhileStalled;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (numbersWhileStalled.empty() && grid::RowCount(kGrid) == static_cast<int>(page.ids.size())) {
      for (int row = 1; row < grid::RowCount(kGrid); ++row) numbersWhileStalled.push_back(CellText(row, 0));
    }
  });
  watcher.start(10);
  auto start = std::chrono::steady_clock::now();
  LookUp(demo::kStalledDescriptionPagePath);
  watcher.stop();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(14));
  EXPECT_EQ(numbersWhileStalled, (std::vector<std::string>{"1", "3", "4"}));
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);
  ExpectFailureRow(2);
  EXPECT_EQ(Grid()->model().rowToolTip(2), std::string(kDescriptionFailedReason) + kReceiveTimeoutReason);
  for (int row : {1, 3, 4}) {
    const demo::DemoVideo& v = Video(page.ids[static_cast<size_t>(row - 1)]);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));
    EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));
  }
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(page.title));
}

TEST_F(LookUpVideosTest, ClicksOnTheResultListAndCopyAnAddress) {
  LookUp(demo::kTwoVideoPagePath);
  const demo::DemoVideo& v = Video(Page(demo::kTwoVideoPagePath).ids[0]);
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Grid()->cellRect(1, 2).center());
  ASSERT_EQ(List()->itemCount(), static_cast<int>(v.qualities.size()));
  // The last quality of the description comes first.
  EXPECT_EQ(List()->itemText(0, 2), v.qualities.back().play_url);
  std::string expected;
  for (auto q = v.qualities.rbegin(); q != v.qualities.rend(); ++q) expected += q->play_url + "\r\n";
  EXPECT_EQ(Content(k编辑框1), expected);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                    List()->visualItemRect(List()->topLevelItem(0)).center());
  EXPECT_EQ(platform::Utf8ToGbk(QGuiApplication::clipboard()->text().toStdString()),
            v.qualities.back().play_url);
}

TEST_F(LookUpVideosTest, ASecondClickStopsTheLookupInsteadOfStartingAnother) {
  // The lookup handles events while its requests run: a click queued before it arrives inside
  // it, reads "停止" and stops it; no second lookup runs in the same grid.
  QTimer::singleShot(0, [this] {
    EXPECT_EQ(ButtonCaption(), kStopButtonCaption);
    QTest::mouseClick(WidgetOf(k按钮1), Qt::LeftButton);
  });
  LookUp(demo::kBigListPagePath);
  EXPECT_LT(grid::RowCount(kGrid), static_cast<int>(Page(demo::kBigListPagePath).ids.size()) + 1);
  EXPECT_EQ(ButtonCaption(), kLookUpButtonCaption);
  // The same grid takes the next lookup whole.
  LookUp(demo::kTwoVideoPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 3);
  EXPECT_EQ(CellText(1, 0), "1");
  EXPECT_EQ(CellText(2, 0), "2");
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(Page(demo::kTwoVideoPagePath).title));
}

TEST_F(LookUpVideosTest, ClosingTheWindowDuringALookupStopsIt) {
  QTimer::singleShot(0, [] { ui::FrameWidgetOf(kMainWindowId)->close(); });
  LookUp(demo::kBigListPagePath);
  // At most the page was fetched: the lookup stopped where the close arrived (during the page's
  // request or the id extraction) instead of fetching 1000 more addresses.
  EXPECT_LE(env_->site().Requests().size(), 1u);
  QApplication::processEvents();
  EXPECT_FALSE(ui::IsWindowLive(kMainWindowId));
}

}  // namespace
}  // namespace app
