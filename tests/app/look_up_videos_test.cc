#include "app/look_up_videos.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "app/constants.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/codepage.h"
#include "runtime/dll_commands.h"
#include "tests/app/demo_lookup_fixture.h"
#include "tests/support/picture_samples.h"
#include "ui/grid_commands.h"
#include "ui/list_view_commands.h"
#include "ui/window_frame.h"
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
    QImage cover = Grid()->cellPicture(row, 1);
    if (v.kind == demo::DescriptionKind::kOrdinary && v.cover_served && !v.cover_url.empty()) {
      ASSERT_FALSE(cover.isNull());
      EXPECT_TRUE(testing_support::ColourNear(cover.pixel(cover.width() / 2, cover.height() / 2),
                                              qRgb(v.colour.r, v.colour.g, v.colour.b)));
    } else {
      EXPECT_TRUE(cover.isNull());
    }
    EXPECT_EQ(Grid()->rowHeight(row), 100);
  }
  // The README's picture of the main window after a demo lookup is taken here on request.
  if (const char* dir = std::getenv("WL_SCREENSHOT_DIR")) {
    ui::FrameOf(kMainWindowId)->show();
    ui::FrameOf(kMainWindowId)->grab().save(QString::fromUtf8(dir) + "/main_window_lookup.png");
  }
  // Six videos: columns 1 to 4 became 100 wide, column 0 kept its width.
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(Grid()->columnWidth(c), 100);
  EXPECT_NE(Grid()->columnWidth(0), 100);

  // 1 + 2n requests, each with the fixed user-agent and its own address as Referer.
  std::vector<demo::RecordedRequest> requests = env_->site().Requests();
  EXPECT_EQ(requests.size(), 1 + 2 * page.ids.size());
  for (const demo::RecordedRequest& r : requests) {
    EXPECT_EQ(r.referer, r.Url());
    EXPECT_NE(r.user_agent.find("Chrome/72.0.3626.121"), std::string::npos);
  }
}

TEST_F(LookUpVideosTest, EscapesInsideTheDescriptionSurviveAndASecondRunStartsAgain) {
  LookUp(demo::kTwoVideoPagePath);
  const demo::DemoPage& page = Page(demo::kTwoVideoPagePath);
  ASSERT_EQ(grid::RowCount(kGrid), 3);
  for (int row = 1; row <= 2; ++row) {
    const demo::DemoVideo& v = Video(page.ids[row - 1]);
    EXPECT_EQ(CellText(row, 2), JoinedAddresses(v));            // %2F stays as written
    EXPECT_EQ(CellText(row, 3), platform::Utf8ToGbk(v.title));  // quotes and backslashes decoded once
  }
  // Two videos: only columns 1 and 2 changed.
  EXPECT_EQ(Grid()->columnWidth(1), 100);
  EXPECT_EQ(Grid()->columnWidth(2), 100);
  EXPECT_NE(Grid()->columnWidth(3), 100);

  LookUp(demo::kNoIdPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);  // only the title row is left
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(Page(demo::kNoIdPagePath).title));
  EXPECT_EQ(CellText(0, 0), "序号");
}

TEST_F(LookUpVideosTest, FailingPagesAndDescriptionsGiveTheDefinedRows) {
  LookUp(demo::kFailingPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);
  EXPECT_EQ(Caption(), "");
  LookUp(demo::kEmptyPagePath);
  EXPECT_EQ(grid::RowCount(kGrid), 1);

  const demo::DemoPage& page = Page(demo::kFaultPagePath);
  LookUp(demo::kFaultPagePath);
  ASSERT_EQ(grid::RowCount(kGrid), static_cast<int>(page.ids.size()) + 1);
  for (size_t i = 0; i < page.ids.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const demo::DemoVideo& v = Video(page.ids[i]);
    SCOPED_TRACE(v.id);
    EXPECT_EQ(CellText(row, 0), std::to_string(row));  // every video still gets its numbered row
    if (v.kind == demo::DescriptionKind::kNotFound || v.kind == demo::DescriptionKind::kNotJson) {
      EXPECT_EQ(CellText(row, 2), "");
      EXPECT_EQ(CellText(row, 3), "");
      EXPECT_TRUE(Grid()->cellPicture(row, 1).isNull());
    }
    if (v.kind == demo::DescriptionKind::kNoPlaylist) {
      EXPECT_EQ(CellText(row, 2), "");
    }
    if (!v.cover_served) {
      EXPECT_TRUE(Grid()->cellPicture(row, 1).isNull());
    }
  }
}

TEST_F(LookUpVideosTest, ChineseTitlesAndLargePagesComplete) {
  LookUp(demo::kChinesePagePath);
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(Page(demo::kChinesePagePath).title));
  EXPECT_EQ(grid::RowCount(kGrid), 3);

  LookUp(demo::kHugePagePath);
  EXPECT_EQ(grid::RowCount(kGrid), static_cast<int>(Page(demo::kHugePagePath).ids.size()) + 1);
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
  QTimer::singleShot(0, [] { ui::FrameOf(kMainWindowId)->close(); });
  LookUp(demo::kBigListPagePath);
  // At most the page was fetched: the lookup stopped where the close arrived (during the page's
  // request or the id extraction) instead of fetching 1000 more addresses.
  EXPECT_LE(env_->site().Requests().size(), 1u);
  QApplication::processEvents();
  EXPECT_FALSE(ui::IsWindowLive(kMainWindowId));
}

}  // namespace
}  // namespace app
