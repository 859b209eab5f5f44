// The Linux backend's decoders behind LoadPicture, into the toolkit's images. Each returns a
// null image on any failure and refuses pictures of more than `maxPixels` pixels before
// allocating them.
//
// Thread contract: no shared state.
#ifndef PLATFORM_PICTURE_IMAGE_DECODERS_H_
#define PLATFORM_PICTURE_IMAGE_DECODERS_H_

#include <QImage>
#include <cstddef>
#include <cstdint>

#include "platform/picture/decoders.h"

namespace platform::picture {

QImage DecodeJpeg(const unsigned char* data, size_t length, int64_t maxPixels);
QImage DecodePng(const unsigned char* data, size_t length, int64_t maxPixels);
// BMP, GIF, ICO and CUR through the toolkit's readers; `format` is the reader's format key.
QImage DecodeWithToolkit(const unsigned char* data, size_t length, const char* format, int64_t maxPixels);

}  // namespace platform::picture

#endif  // PLATFORM_PICTURE_IMAGE_DECODERS_H_
