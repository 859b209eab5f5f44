#include "platform/picture/picture_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstring>

#include "platform/picture/decoders.h"

namespace platform {
namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

namespace picture {

bool FitsPixelCap(int64_t width, int64_t height, int64_t maxPixels) {
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  return width * height <= maxPixels;
}

QImage DecodeWithToolkit(const unsigned char* data, size_t length, const char* format, int64_t maxPixels) {
  if (length > static_cast<size_t>(INT32_MAX)) return QImage();
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
  // An icon file holds several images: take the largest that the cap allows. An animation
  // shows its first frame.
  int best = -1;
  {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return QImage();
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const bool several = std::strcmp(format, "ico") == 0 || std::strcmp(format, "cur") == 0;
    const int count = several ? std::min(reader.imageCount(), 256) : 1;
    int64_t bestArea = -1;
    for (int i = 0; i < std::max(count, 1); ++i) {
      if (i > 0 && !reader.jumpToImage(i)) break;
      const QSize size = reader.size();
      if (size.isValid() && !FitsPixelCap(size.width(), size.height(), maxPixels)) continue;
      const int64_t area = size.isValid() ? int64_t{size.width()} * size.height() : 0;
      if (area > bestArea) {
        bestArea = area;
        best = i;
      }
    }
  }
  if (best < 0) return QImage();
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return QImage();
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  if (best > 0 && !reader.jumpToImage(best)) return QImage();
  QImage image = reader.read();
  if (image.isNull() || !FitsPixelCap(image.width(), image.height(), maxPixels)) return QImage();
  return image;
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

QImage LoadPicture(const unsigned char* data, size_t length, int64_t maxPixels) {
  switch (DetectPictureFormat(data, length)) {
    case PictureFormat::kBmp:
      return picture::DecodeWithToolkit(data, length, "bmp", maxPixels);
    case PictureFormat::kJpeg:
      return picture::DecodeJpeg(data, length, maxPixels);
    case PictureFormat::kPng:
      return picture::DecodePng(data, length, maxPixels);
    case PictureFormat::kIcon:
      // The toolkit's icon reader reads cursors under the same key.
      return picture::DecodeWithToolkit(data, length, Le16(data + 2) == 2 ? "cur" : "ico", maxPixels);
    case PictureFormat::kGif:
      return picture::DecodeWithToolkit(data, length, "gif", maxPixels);
    case PictureFormat::kPcx:
      return picture::DecodePcx(data, length, maxPixels);
    case PictureFormat::kNone:
      break;
  }
  return QImage();
}

}  // namespace platform
