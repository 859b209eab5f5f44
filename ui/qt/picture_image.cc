#include "ui/qt/picture_image.h"

#include <cstring>

namespace ui {

QImage ToImage(const platform::Picture& picture) {
  if (picture.isNull()) return QImage();
  // The picture's 0xAARRGGBB words are the toolkit's 32-bit formats' pixels.
  QImage image(picture.width, picture.height,
               picture.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (image.isNull()) return QImage();
  const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(image.scanLine(y), picture.pixels.data() + static_cast<size_t>(y) * picture.width, rowBytes);
  }
  return image;
}

}  // namespace ui
