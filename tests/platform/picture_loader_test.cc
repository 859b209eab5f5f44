#include "platform/picture/picture_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

// The samples are written by the toolkit and the Linux backend's libraries.
#if !defined(_WIN32)
#include <png.h>
#include <zlib.h>

#include <QBuffer>
#include <QImageWriter>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <cstring>
#include <string>

#include "tests/support/picture_samples.h"
#include "ui/qt/picture_image.h"
// clang-format off
#include <jpeglib.h>
// clang-format on
#endif

namespace platform {
namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes* b, size_t at, uint32_t v) {
  (*b)[at] = v & 0xFF;
  (*b)[at + 1] = (v >> 8) & 0xFF;
}
void Put32(Bytes* b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A 24-bit BMP of one row: red, green, blue (stored blue, green, red, padded to 12 bytes).
Bytes RowBmp() {
  Bytes b(54 + 12, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(&b, 2, static_cast<uint32_t>(b.size()));
  Put32(&b, 10, 54);
  Put32(&b, 14, 40);
  Put32(&b, 18, 3);  // width
  Put32(&b, 22, 1);  // height
  Put16(&b, 26, 1);
  Put16(&b, 28, 24);
  const unsigned char pixels[] = {0, 0, 255, 0, 255, 0, 255, 0, 0};
  std::copy(std::begin(pixels), std::end(pixels), b.begin() + 54);
  return b;
}

// Every backend gives the same words for the same file: 0xAARRGGBB, rows top-down, opaque
// pictures without alpha; the cap and damaged files give a null picture.
TEST(PictureLoaderTest, BackendsAgreeOnThePictureLayout) {
  const Bytes bmp = RowBmp();
  Picture row = LoadPicture(bmp.data(), bmp.size());
  ASSERT_FALSE(row.isNull());
  ASSERT_EQ(row.width, 3);
  ASSERT_EQ(row.height, 1);
  EXPECT_FALSE(row.hasAlpha);
  EXPECT_EQ(row.pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(row.pixel(1, 0), 0xFF00FF00u);
  EXPECT_EQ(row.pixel(2, 0), 0xFF0000FFu);
  EXPECT_TRUE(LoadPicture(bmp.data(), bmp.size(), 2).isNull());  // three pixels over a cap of two
  Bytes damaged = bmp;
  damaged.resize(30);  // the header cut short
  EXPECT_TRUE(LoadPicture(damaged.data(), damaged.size()).isNull());

  // PCX, version 5, 8 bits, one plane, 2 by 2, run-length bytes, the palette at the end.
  Bytes pcx(128, 0);
  pcx[0] = 0x0A;
  pcx[1] = 5;
  pcx[2] = 1;
  pcx[3] = 8;
  Put16(&pcx, 8, 1);   // x max
  Put16(&pcx, 10, 1);  // y max
  pcx[65] = 1;
  Put16(&pcx, 66, 2);
  const unsigned char lines[] = {0xC2, 1, 2, 3};  // 1 1 / 2 3
  pcx.insert(pcx.end(), std::begin(lines), std::end(lines));
  pcx.push_back(0x0C);
  for (int i = 0; i < 256; ++i) {
    pcx.push_back(static_cast<unsigned char>(i * 10));
    pcx.push_back(static_cast<unsigned char>(i));
    pcx.push_back(static_cast<unsigned char>(255 - i));
  }
  Picture square = LoadPicture(pcx.data(), pcx.size());
  ASSERT_EQ(square.width, 2);
  ASSERT_EQ(square.height, 2);
  EXPECT_EQ(square.pixel(1, 0), 0xFF0A01FEu);
  EXPECT_EQ(square.pixel(0, 1), 0xFF1402FDu);
  EXPECT_EQ(square.pixel(1, 1), 0xFF1E03FCu);
}

#if !defined(_WIN32)

QImage Load(const Bytes& b, int64_t cap = kMaxPicturePixels) {
  return ui::ToImage(LoadPicture(b.data(), b.size(), cap));
}

QImage Quadrants(int w, int h) { return testing_support::QuadrantPicture(w, h); }

Bytes Encode(const QImage& img, const char* format, bool progressive = false) {
  const std::string s = testing_support::EncodePicture(img, format, progressive);
  return Bytes(s.begin(), s.end());
}

// True when the colour is within `tol` of the expected one in every channel.
::testing::AssertionResult Near(QRgb got, QRgb want, int tol = 12) {
  if (std::abs(qRed(got) - qRed(want)) <= tol && std::abs(qGreen(got) - qGreen(want)) <= tol &&
      std::abs(qBlue(got) - qBlue(want)) <= tol) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << std::hex << "got " << got << " want " << want;
}

void ExpectQuadrants(const QImage& img, int w, int h) {
  ASSERT_FALSE(img.isNull());
  ASSERT_EQ(img.width(), w);
  ASSERT_EQ(img.height(), h);
  EXPECT_TRUE(Near(img.pixel(w / 4, h / 4), qRgb(255, 0, 0)));
  EXPECT_TRUE(Near(img.pixel(3 * w / 4, h / 4), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(img.pixel(w / 4, 3 * h / 4), qRgb(0, 0, 255)));
  EXPECT_TRUE(Near(img.pixel(3 * w / 4, 3 * h / 4), qRgb(255, 255, 255)));
}

// ---- PNG written with libpng, for the variants the toolkit cannot write ----------------

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}

// Grey, 16 bits, optionally interlaced: value = x * 4096 (so 8-bit x * 16).
Bytes GreyPng16(int w, int h, bool interlaced) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    ADD_FAILURE() << "png write failed";
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, w, h, 16, PNG_COLOR_TYPE_GRAY,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<Bytes> rows(h, Bytes(w * 2));
  std::vector<png_bytep> ptrs(h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      rows[y][2 * x] = static_cast<unsigned char>(x * 16);  // big-endian 16-bit sample
      rows[y][2 * x + 1] = 0;
    }
    ptrs[y] = rows[y].data();
  }
  png_write_image(png, ptrs.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes AnnouncingPng(uint32_t w, uint32_t h) {
  const std::string s = testing_support::AnnouncingPng(w, h);
  return Bytes(s.begin(), s.end());
}

// ---- JPEG written with libjpeg, for CMYK ------------------------------------------------

Bytes CmykJpeg(int w, int h, const unsigned char cmyk[4]) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memLen = 0;
  jpeg_mem_dest(&cinfo, &mem, &memLen);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(w * 4);
  for (int x = 0; x < w; ++x) std::memcpy(&row[x * 4], cmyk, 4);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(mem, mem + memLen);
  jpeg_destroy_compress(&cinfo);
  free(mem);
  return out;
}

// ---- PCX written by hand -----------------------------------------------------------------

Bytes PcxHeader(int version, int bits, int planes, int w, int h, int bytesPerLine) {
  Bytes hd(128, 0);
  hd[0] = 0x0A;
  hd[1] = static_cast<unsigned char>(version);
  hd[2] = 1;
  hd[3] = static_cast<unsigned char>(bits);
  hd[8] = static_cast<unsigned char>((w - 1) & 0xFF);
  hd[9] = static_cast<unsigned char>((w - 1) >> 8);
  hd[10] = static_cast<unsigned char>((h - 1) & 0xFF);
  hd[11] = static_cast<unsigned char>((h - 1) >> 8);
  hd[65] = static_cast<unsigned char>(planes);
  hd[66] = static_cast<unsigned char>(bytesPerLine & 0xFF);
  hd[67] = static_cast<unsigned char>(bytesPerLine >> 8);
  return hd;
}

// Run-length encodes the bytes: runs of equal bytes as (C0 | n, value), other bytes as
// themselves unless they need the escape.
void PcxEncode(Bytes* out, const Bytes& raw) {
  for (size_t i = 0; i < raw.size();) {
    size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
    if (n > 1 || raw[i] >= 0xC0) {
      out->push_back(static_cast<unsigned char>(0xC0 | n));
    }
    out->push_back(raw[i]);
    i += n;
  }
}

// ---- Tests ---------------------------------------------------------------------------------

TEST(PictureLoaderTest, FormatTestFollowsTheOrderOnTheFirstEightBytes) {
  struct Case {
    Bytes bytes;
    PictureFormat want;
  } cases[] = {
      {{'B', 'M', 0, 0, 0, 0, 0, 0}, PictureFormat::kBmp},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0}, PictureFormat::kJpeg},
      {{0x89, 'P', 'N', 'G', 0, 0, 0, 0}, PictureFormat::kPng},
      {{0, 0, 1, 0, 1, 0, 0, 0}, PictureFormat::kIcon},
      {{0, 0, 2, 0, 3, 0, 0, 0}, PictureFormat::kIcon},  // cursor
      {{0, 0, 1, 0, 0, 0, 0, 0}, PictureFormat::kNone},  // no images
      {{0, 0, 3, 0, 1, 0, 0, 0}, PictureFormat::kNone},  // neither icon nor cursor
      {{'G', 'I', 'F', '8', '7', 'a', 0, 0}, PictureFormat::kGif},
      {{'G', 'I', 'F', '8', '9', 'a', 0, 0}, PictureFormat::kGif},
      {{'G', 'I', 'F', '8', '8', 'a', 0, 0}, PictureFormat::kNone},
      {{0x0A, 5, 1, 8, 0, 0, 0, 0}, PictureFormat::kPcx},
      {{0x0A, 0, 1, 8, 0, 0, 0, 0}, PictureFormat::kPcx},
      {{0x0A, 3, 1, 1, 0, 0, 0, 0}, PictureFormat::kPcx},
      {{0x0A, 5, 1, 1, 0, 0, 0, 0}, PictureFormat::kNone},  // 1 bit only with version 3
      {{0x0A, 6, 1, 8, 0, 0, 0, 0}, PictureFormat::kNone},
      {{0x0A, 5, 0, 8, 0, 0, 0, 0}, PictureFormat::kNone},  // not run-length encoded
      {{0x0A, 3, 1, 4, 0, 0, 0, 0}, PictureFormat::kNone},
      {{'B', 'M', 0, 0, 0, 0, 0}, PictureFormat::kNone},  // 7 bytes
      {{'b', 'm', 0, 0, 0, 0, 0, 0}, PictureFormat::kNone},
      // "BM" wins over a header that would also pass later tests.
      {{'B', 'M', 1, 0, 1, 0, 0, 0}, PictureFormat::kBmp},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectPictureFormat(c.bytes.data(), c.bytes.size()), c.want)
        << "first bytes " << int(c.bytes[0]) << " " << int(c.bytes[1]) << " size " << c.bytes.size();
  }
  EXPECT_EQ(DetectPictureFormat(nullptr, 0), PictureFormat::kNone);
}

TEST(PictureLoaderTest, JpegDecodesBaselineProgressiveGreyAndCmyk) {
  ExpectQuadrants(Load(Encode(Quadrants(64, 48), "jpg")), 64, 48);
  ExpectQuadrants(Load(Encode(Quadrants(64, 48), "jpg", /*progressive=*/true)), 64, 48);

  QImage grey(40, 20, QImage::Format_Grayscale8);
  grey.fill(200);
  QImage g = Load(Encode(grey, "jpg"));
  ASSERT_FALSE(g.isNull());
  EXPECT_TRUE(Near(g.pixel(20, 10), qRgb(200, 200, 200), 4));

  const unsigned char green[4] = {0, 255, 0, 255};  // inverted CMYK as the usual tools write it
  QImage c = Load(CmykJpeg(16, 16, green));
  ASSERT_FALSE(c.isNull());
  EXPECT_TRUE(Near(c.pixel(8, 8), qRgb(0, 255, 0)));
}

TEST(PictureLoaderTest, PngDecodesColourAlphaPaletteGreyAndInterlaced) {
  ExpectQuadrants(Load(Encode(Quadrants(30, 20), "png")), 30, 20);

  QImage alpha(8, 8, QImage::Format_ARGB32);
  alpha.fill(qRgba(10, 20, 30, 0));
  alpha.setPixel(1, 1, qRgba(200, 100, 50, 255));
  QImage a = Load(Encode(alpha, "png"));
  ASSERT_FALSE(a.isNull());
  EXPECT_EQ(qAlpha(a.pixel(0, 0)), 0);
  EXPECT_EQ(a.pixel(1, 1), qRgba(200, 100, 50, 255));

  QImage indexed = Quadrants(16, 16).convertToFormat(QImage::Format_Indexed8);
  ExpectQuadrants(Load(Encode(indexed, "png")), 16, 16);

  for (bool interlaced : {false, true}) {
    QImage grey = Load(GreyPng16(16, 9, interlaced));
    ASSERT_FALSE(grey.isNull()) << interlaced;
    EXPECT_EQ(grey.size(), QSize(16, 9));
    EXPECT_EQ(grey.pixel(5, 8), qRgb(80, 80, 80)) << interlaced;
    EXPECT_EQ(grey.pixel(15, 0), qRgb(240, 240, 240)) << interlaced;
  }
}

TEST(PictureLoaderTest, ToolkitFormatsBmpGifIconAndCursor) {
  ExpectQuadrants(Load(Encode(Quadrants(20, 10), "bmp")), 20, 10);

  // A 1 by 1 GIF whose only colour is red.
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0,    0, 0,  0,
                     0,   ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 0x01, 0, ';'};
  QImage g = Load(gif);
  ASSERT_FALSE(g.isNull());
  EXPECT_EQ(g.pixel(0, 0), qRgb(255, 0, 0));

  Bytes ico = Encode(Quadrants(16, 16), "ico");
  ASSERT_EQ(DetectPictureFormat(ico.data(), ico.size()), PictureFormat::kIcon);
  ExpectQuadrants(Load(ico), 16, 16);
  Bytes cur = ico;
  cur[2] = 2;  // the same directory as a cursor
  ExpectQuadrants(Load(cur), 16, 16);
}

TEST(PictureLoaderTest, PcxDecodesEachAcceptedVariant) {
  // 8 bits, one plane, palette at the end: index = x + 4y over a 4 by 2 picture.
  {
    Bytes f = PcxHeader(5, 8, 1, 4, 2, 4);
    PcxEncode(&f, {0, 1, 2, 3, 4, 5, 6, 7});
    f.push_back(0x0C);
    for (int i = 0; i < 256; ++i) f.insert(f.end(), {static_cast<unsigned char>(i * 10), 7, 9});
    QImage img = Load(f);
    ASSERT_FALSE(img.isNull());
    ASSERT_EQ(img.size(), QSize(4, 2));
    EXPECT_EQ(img.pixel(3, 1), qRgb(70, 7, 9));
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 7, 9));
  }
  // 8 bits, three planes (runs across the planes of a line); odd width padded to 4 bytes.
  {
    Bytes f = PcxHeader(5, 8, 3, 3, 1, 4);
    PcxEncode(&f, {200, 200, 200, 0, 10, 20, 30, 0, 0xC5, 0xC5, 0xC5, 0});
    QImage img = Load(f);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(0, 0), qRgb(200, 10, 0xC5));
    EXPECT_EQ(img.pixel(2, 0), qRgb(200, 30, 0xC5));
  }
  // Version 3, 1 bit, one plane: 10 pixels, alternating.
  {
    Bytes f = PcxHeader(3, 1, 1, 10, 1, 2);
    PcxEncode(&f, {0xAA, 0x80});
    QImage img = Load(f);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(8, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(9, 0), qRgb(0, 0, 0));
  }
  // Version 3, 1 bit, four planes: the first pixel has planes 0 and 2 set, colour 5.
  {
    Bytes f = PcxHeader(3, 1, 4, 2, 1, 2);
    PcxEncode(&f, {0x80, 0, 0, 0, 0x80, 0, 0x40, 0});
    QImage img = Load(f);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(0, 0), qRgb(0xAA, 0, 0xAA));
    EXPECT_EQ(img.pixel(1, 0), qRgb(0x55, 0x55, 0x55));  // plane 3 only: colour 8
  }
  // Data that ends before the last line gives no picture.
  {
    Bytes f = PcxHeader(5, 8, 1, 4, 2, 4);
    PcxEncode(&f, {0, 1, 2, 3, 4});
    EXPECT_TRUE(Load(f).isNull());
  }
  // A line length shorter than the width needs.
  EXPECT_TRUE(Load(PcxHeader(5, 8, 1, 40, 2, 4)).isNull());
}

TEST(PictureLoaderTest, ShortUnknownAndDamagedDataGiveNoPicture) {
  Bytes jpeg = Encode(Quadrants(32, 32), "jpg");
  Bytes seven(jpeg.begin(), jpeg.begin() + 7);
  EXPECT_TRUE(Load(seven).isNull());
  EXPECT_TRUE(Load({}).isNull());
  EXPECT_TRUE(Load({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}).isNull());

  Bytes junk = {0xFF, 0xD8};
  for (int i = 0; i < 300; ++i) junk.push_back(static_cast<unsigned char>((i * 37 + 11) & 0xFF));
  EXPECT_TRUE(Load(junk).isNull());

  // A PNG with a damaged header checksum.
  Bytes png = Encode(Quadrants(8, 8), "png");
  png[29] ^= 0xFF;
  EXPECT_TRUE(Load(png).isNull());

  // A header that announces 60000 by 60000 pixels, followed by real (small) data.
  const Bytes huge = AnnouncingPng(60000, 60000);
  ASSERT_EQ(DetectPictureFormat(huge.data(), huge.size()), PictureFormat::kPng);
  EXPECT_TRUE(Load(huge).isNull());
  // The same file with a size the cap allows decodes as far as its data goes: the test of
  // the size, not the damage, refused the large one.
  EXPECT_FALSE(Load(AnnouncingPng(16, 16)).isNull());
}

TEST(PictureLoaderTest, CapOnWidthTimesHeightHoldsForEveryDecoder) {
  const QImage img = Quadrants(100, 100);
  Bytes pcx = PcxHeader(5, 8, 3, 100, 100, 100);
  PcxEncode(&pcx, Bytes(300 * 100, 7));
  const std::pair<const char*, Bytes> files[] = {
      {"jpg", Encode(img, "jpg")},
      {"png", Encode(img, "png")},
      {"bmp", Encode(img, "bmp")},
      {"ico", Encode(Quadrants(100, 100), "ico")},
      {"pcx", pcx},
  };
  for (const auto& [name, bytes] : files) {
    EXPECT_FALSE(Load(bytes, 10000).isNull()) << name;
    EXPECT_TRUE(Load(bytes, 9999).isNull()) << name;
  }
}

TEST(PictureLoaderTest, EveryTruncationAndBitFlipIsSurvived) {
  // Damaged network data must never end the process or read outside the data (the
  // sanitizer build checks the latter). Whatever decodes keeps the announced size.
  const Bytes files[] = {Encode(Quadrants(24, 24), "jpg"), Encode(Quadrants(24, 24), "jpg", true),
                         Encode(Quadrants(24, 24), "png"), GreyPng16(24, 24, true)};
  for (const Bytes& file : files) {
    for (size_t n = 0; n < file.size(); ++n) {
      QImage img = ui::ToImage(LoadPicture(file.data(), n));
      if (!img.isNull()) {
        EXPECT_EQ(img.size(), QSize(24, 24));
      }
    }
    Bytes flipped = file;
    for (size_t i = 2; i < flipped.size(); i += 3) {
      flipped[i] ^= static_cast<unsigned char>(1u << (i % 8));
      QImage img = Load(flipped);
      if (!img.isNull()) {
        EXPECT_LE(int64_t{img.width()} * img.height(), kMaxPicturePixels);
      }
      flipped[i] = file[i];
    }
  }
}

#endif  // !defined(_WIN32)

}  // namespace
}  // namespace platform
