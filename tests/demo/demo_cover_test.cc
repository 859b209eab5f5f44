// Cover pictures: a still-like scene with the number and the title drawn in.
#include "demo/demo_cover.h"

#include <gtest/gtest.h>

namespace demo {
namespace {

// Pixels that differ between two images of the same size, within a band of rows.
int Differences(const RgbImage& a, const RgbImage& b, int from_row, int to_row) {
  int n = 0;
  for (int y = from_row; y < to_row; ++y) {
    for (int x = 0; x < a.width; ++x) {
      Rgb p = a.At(x, y), q = b.At(x, y);
      n += p.r != q.r || p.g != q.g || p.b != q.b;
    }
  }
  return n;
}

// This file's narrow literals are code page 936; the painter reads UTF-8.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(DemoCoverTest, SameSceneSamePixelsWithTheTextsInTheirPlaces) {
  const FontFile font = FindCjkFont();
  if (font.file.empty()) GTEST_SKIP() << "no CJK font (the setup installs fonts-wqy-zenhei)";
  CoverPainter painter(font);
  const CoverScene scene{
      "12", U8(u8"示範影片 with a title too long for one line, so it wraps and is cut"), {200, 30, 60}, 7};
  RgbImage a = painter.Paint(scene, 320, 180);
  ASSERT_EQ(a.pixels.size(), 320u * 180 * 3);
  EXPECT_EQ(CoverPainter(font).Paint(scene, 320, 180).pixels, a.pixels);
  EXPECT_EQ(a.At(160, 90).r, 200);  // the badge in the video's colour
  EXPECT_EQ(a.At(160, 90).g, 30);

  CoverScene other = scene;
  other.title = U8(u8"另一個標題");
  RgbImage b = painter.Paint(other, 320, 180);
  EXPECT_GT(Differences(a, b, 125, 180), 200);  // the title in the bottom band, nowhere else
  EXPECT_EQ(Differences(a, b, 0, 120), 0);
  other = scene;
  other.number = "480";
  EXPECT_GT(Differences(a, painter.Paint(other, 320, 180), 0, 40), 20);
  other = scene;
  other.seed = 0x9E3779B97F4A7C15ull;
  EXPECT_GT(Differences(a, painter.Paint(other, 320, 180), 0, 60), 5000);  // another sky
  // Without a font: the same scene, no texts.
  RgbImage bare = CoverPainter(FontFile{}).Paint(scene, 320, 180);
  EXPECT_EQ(Differences(a, bare, 60, 120), 0);
  EXPECT_GT(Differences(a, bare, 125, 180), 200);
}

TEST(DemoCoverTest, AnyTextAndAMissingFontAreSafe) {
  EXPECT_FALSE(CoverPainter(FontFile{"no-such-font.ttf", 0}).has_font());
  CoverPainter painter(FindCjkFont());
  // Broken UTF-8, characters the font lacks, texts far wider than the picture.
  for (const std::string& title : {std::string(), std::string("\xff\xfe\xc3"), std::string("\xe4\xb8"),
                                   U8(u8"𠮷😺🎬"), std::string(300, ' '), std::string(2000, 'w')}) {
    RgbImage image = painter.Paint({title, title, {10, 200, 30}, 1}, 160, 90);
    EXPECT_EQ(image.At(80, 45).g, 200);  // texts never reach the badge
  }
}

}  // namespace
}  // namespace demo
