// The individual decoders behind LoadPicture. Each returns a null image on any failure and
// refuses pictures of more than `maxPixels` pixels before allocating them.
//
// Thread contract: no shared state.
#ifndef PLATFORM_PICTURE_DECODERS_H_
#define PLATFORM_PICTURE_DECODERS_H_

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace platform::picture {

QImage DecodeJpeg(const unsigned char* data, size_t length, int64_t maxPixels);
QImage DecodePng(const unsigned char* data, size_t length, int64_t maxPixels);
QImage DecodePcx(const unsigned char* data, size_t length, int64_t maxPixels);
// BMP, GIF, ICO and CUR through the toolkit's readers; `format` is the reader's format key.
QImage DecodeWithToolkit(const unsigned char* data, size_t length, const char* format, int64_t maxPixels);

// True when a width by height picture is allowed: both positive and their product at most
// `maxPixels` (and within the toolkit's 32767-pixel side limit).
bool FitsPixelCap(int64_t width, int64_t height, int64_t maxPixels);

}  // namespace platform::picture

#endif  // PLATFORM_PICTURE_DECODERS_H_
