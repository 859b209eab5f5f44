#include <cstring>

#include "platform/picture/decoders.h"
#include "platform/picture/picture_loader.h"

namespace platform {
namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

namespace picture {

bool FitsPixelCap(int64_t width, int64_t height, int64_t maxPixels) {
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  return width * height <= maxPixels;
}

}  // namespace picture

PictureFormat DetectPictureFormat(const unsigned char* data, size_t length) {
  if (data == nullptr || length < 8) return PictureFormat::kNone;
  const unsigned char* p = data;
  if (p[0] == 'B' && p[1] == 'M') return PictureFormat::kBmp;
  if (p[0] == 0xFF && p[1] == 0xD8) return PictureFormat::kJpeg;
  if (p[0] == 0x89 && p[1] == 0x50 && p[2] == 0x4E && p[3] == 0x47) return PictureFormat::kPng;
  if (Le16(p) == 0 && (Le16(p + 2) == 1 || Le16(p + 2) == 2) && Le16(p + 4) != 0) return PictureFormat::kIcon;
  if (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0) return PictureFormat::kGif;
  if (p[0] == 0x0A && p[2] == 1 && ((p[1] <= 5 && p[3] == 8) || (p[1] == 3 && p[3] == 1))) {
    return PictureFormat::kPcx;
  }
  return PictureFormat::kNone;
}

}  // namespace platform
