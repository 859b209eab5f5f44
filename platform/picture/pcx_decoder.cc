// PCX (run-length encoded, encoding 1) for the header variants the format test accepts:
// 8 bits per pixel with one plane (256 colours from the palette at the end of the file, or
// grey when it has none), three planes (RGB) or four (RGBA), and version 3 with 1 bit per
// pixel: one plane (black and white) or four (16 colours from the default EGA palette,
// since version 3 carries no palette of its own).
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/picture/decoders.h"

namespace platform::picture {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kVgaPaletteSize = 769;  // the marker 0C and 256 RGB triples

constexpr std::array<uint32_t, 16> kEgaPalette = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA, 0xFFAA5500, 0xFFAAAAAA,
    0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF, 0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF,
};

int Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }

constexpr uint32_t Argb(unsigned r, unsigned g, unsigned b, unsigned a = 0xFF) {
  return a << 24 | r << 16 | g << 8 | b;
}

// Run-length decoding across scanlines: a byte with both top bits set repeats the next
// byte (its low six bits) times; any other byte stands for itself.
class RleReader {
 public:
  RleReader(const unsigned char* data, size_t end) : data_(data), end_(end), pos_(kHeaderSize) {}

  // Fills `out` with n decoded bytes; false when the data ends first.
  bool Read(unsigned char* out, size_t n) {
    size_t i = 0;
    while (i < n) {
      if (runLeft_ > 0) {
        const size_t take = std::min(runLeft_, n - i);
        std::fill(out + i, out + i + take, runValue_);
        i += take;
        runLeft_ -= take;
        continue;
      }
      if (pos_ >= end_) return false;
      const unsigned char b = data_[pos_++];
      if ((b & 0xC0) == 0xC0) {
        if (pos_ >= end_) return false;
        runLeft_ = b & 0x3F;
        runValue_ = data_[pos_++];
      } else {
        out[i++] = b;
      }
    }
    return true;
  }

 private:
  const unsigned char* data_;
  size_t end_;
  size_t pos_;
  size_t runLeft_ = 0;
  unsigned char runValue_ = 0;
};

}  // namespace

Picture DecodePcx(const unsigned char* data, size_t length, int64_t maxPixels) {
  if (length < kHeaderSize || data[0] != 0x0A || data[2] != 1) return Picture();
  const int version = data[1];
  const int bits = data[3];
  const int64_t width = int64_t{Le16(data + 8)} - Le16(data + 4) + 1;
  const int64_t height = int64_t{Le16(data + 10)} - Le16(data + 6) + 1;
  const int planes = data[65];
  const size_t bytesPerLine = static_cast<size_t>(Le16(data + 66));
  if (!FitsPixelCap(width, height, maxPixels)) return Picture();

  const bool eightBit = bits == 8 && version <= 5 && (planes == 1 || planes == 3 || planes == 4);
  const bool oneBit = bits == 1 && version == 3 && (planes == 1 || planes == 4);
  if (!eightBit && !oneBit) return Picture();
  const size_t needed = static_cast<size_t>((width * bits + 7) / 8);
  // Lines are padded to an even length; anything much longer is not a real file.
  if (bytesPerLine < needed || bytesPerLine > needed + 64) return Picture();

  std::array<uint32_t, 256> palette{};
  size_t dataEnd = length;
  if (eightBit && planes == 1) {
    if (length >= kHeaderSize + kVgaPaletteSize && data[length - kVgaPaletteSize] == 0x0C) {
      const unsigned char* p = data + length - kVgaPaletteSize + 1;
      for (int i = 0; i < 256; ++i, p += 3) palette[i] = Argb(p[0], p[1], p[2]);
      dataEnd = length - kVgaPaletteSize;
    } else {
      for (int i = 0; i < 256; ++i) palette[i] = Argb(i, i, i);
    }
  } else if (oneBit && planes == 1) {
    palette[0] = Argb(0, 0, 0);
    palette[1] = Argb(255, 255, 255);
  } else if (oneBit) {
    std::copy(kEgaPalette.begin(), kEgaPalette.end(), palette.begin());
  }

  Picture image;
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  image.hasAlpha = eightBit && planes == 4;
  image.pixels.resize(static_cast<size_t>(width * height));
  std::vector<unsigned char> line(bytesPerLine * static_cast<size_t>(planes));
  RleReader reader(data, dataEnd);
  for (int32_t y = 0; y < image.height; ++y) {
    if (!reader.Read(line.data(), line.size())) return Picture();
    uint32_t* out = image.pixels.data() + static_cast<size_t>(y) * image.width;
    for (int32_t x = 0; x < image.width; ++x) {
      if (eightBit && planes == 1) {
        out[x] = palette[line[x]];
      } else if (eightBit) {
        const unsigned char r = line[x];
        const unsigned char g = line[bytesPerLine + x];
        const unsigned char b = line[2 * bytesPerLine + x];
        const unsigned char a = planes == 4 ? line[3 * bytesPerLine + x] : 0xFF;
        out[x] = Argb(r, g, b, a);
      } else {
        int index = 0;
        for (int plane = 0; plane < planes; ++plane) {
          const unsigned char byte = line[plane * bytesPerLine + x / 8];
          index |= ((byte >> (7 - x % 8)) & 1) << plane;
        }
        out[x] = palette[index];
      }
    }
  }
  return image;
}

}  // namespace platform::picture
