// What the downloads window's lines say, on both systems: sizes and durations as the size,
// speed and time-left cells show them.
#include "download/download_lines.h"

#include <gtest/gtest.h>

namespace download {
namespace {

TEST(DownloadsWindowFormatTest, SizesAndDurations) {
  EXPECT_EQ(DownloadsWindow::FormatSize(0), "0 B");
  EXPECT_EQ(DownloadsWindow::FormatSize(1023), "1023 B");
  EXPECT_EQ(DownloadsWindow::FormatSize(1536), "1.5 KB");
  EXPECT_EQ(DownloadsWindow::FormatSize(5 * 1024 * 1024 + 300 * 1024), "5.3 MB");
  EXPECT_EQ(DownloadsWindow::FormatSize(int64_t{200} * 1024 * 1024), "200 MB");
  EXPECT_EQ(DownloadsWindow::FormatSize(int64_t{3} * 1024 * 1024 * 1024), "3.0 GB");
  EXPECT_EQ(DownloadsWindow::FormatDuration(-1), "--");
  EXPECT_EQ(DownloadsWindow::FormatDuration(7), "0:07");
  EXPECT_EQ(DownloadsWindow::FormatDuration(750), "12:30");
  EXPECT_EQ(DownloadsWindow::FormatDuration(3723), "1:02:03");
}

}  // namespace
}  // namespace download
