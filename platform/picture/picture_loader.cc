#include "platform/picture/picture_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstring>

#include "platform/picture/image_decoders.h"

namespace platform {
namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

namespace picture {

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

namespace {

QImage Decode(const unsigned char* data, size_t length, int64_t maxPixels) {
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
      break;  // decoded without the toolkit: see LoadPicture
    case PictureFormat::kNone:
      break;
  }
  return QImage();
}

// The toolkit's image in the shared picture's pixel layout.
Picture FromImage(const QImage& decoded) {
  if (decoded.isNull()) return Picture();
  Picture picture;
  picture.hasAlpha = decoded.hasAlphaChannel();
  const QImage image =
      decoded.convertToFormat(picture.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (image.isNull()) return Picture();
  picture.width = image.width();
  picture.height = image.height();
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(picture.pixels.data() + static_cast<size_t>(y) * picture.width, image.constScanLine(y),
                static_cast<size_t>(picture.width) * 4);
  }
  return picture;
}

}  // namespace

Picture LoadPicture(const unsigned char* data, size_t length, int64_t maxPixels) {
  if (DetectPictureFormat(data, length) == PictureFormat::kPcx)
    return picture::DecodePcx(data, length, maxPixels);
  return FromImage(Decode(data, length, maxPixels));
}

}  // namespace platform
