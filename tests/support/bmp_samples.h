// Picture files made at test time without a toolkit: 24-bit BMP files of a picture given pixel
// by pixel, which every picture decoder of both builds reads.
#ifndef TESTS_SUPPORT_BMP_SAMPLES_H_
#define TESTS_SUPPORT_BMP_SAMPLES_H_

#include <cstdint>
#include <functional>
#include <string>

namespace testing_support {

// The BMP file of a w by h picture whose pixel (x, y) is `colour(x, y)` as 0xRRGGBB.
inline std::string BmpFile(int w, int h, const std::function<uint32_t(int x, int y)>& colour) {
  const uint32_t rowBytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(h);
  std::string out;
  auto u16 = [&out](uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  auto u32 = [&u16](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  out += "BM";
  u32(54 + dataBytes);
  u32(0);
  u32(54);
  u32(40);  // BITMAPINFOHEADER
  u32(static_cast<uint32_t>(w));
  u32(static_cast<uint32_t>(h));  // rows bottom-up
  u16(1);
  u16(24);
  u32(0);  // BI_RGB
  u32(dataBytes);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      row.push_back(static_cast<char>(c & 0xFF));
      row.push_back(static_cast<char>((c >> 8) & 0xFF));
      row.push_back(static_cast<char>((c >> 16) & 0xFF));
    }
    row.resize(rowBytes, '\0');
    out += row;
  }
  return out;
}

// One colour all over.
inline std::string SolidBmp(int w, int h, uint32_t rgb) {
  return BmpFile(w, h, [rgb](int, int) { return rgb; });
}

}  // namespace testing_support

#endif  // TESTS_SUPPORT_BMP_SAMPLES_H_
