// Picture loading for grid cells: recognises a picture file by its first 8 bytes and decodes
// it into a toolkit-free picture (the window system makes its own image of it). On Linux JPEG
// goes through libjpeg-turbo and PNG through libpng, both with error handlers that return, and
// BMP, GIF, ICO and CUR through the toolkit's decoders; on Windows all of those go through WIC.
// PCX goes through a decoder of our own on both.
//
// The bytes usually come from the network, so every decoder is bounded: a picture whose
// width times height exceeds the cap is refused before its pixels are allocated, and any
// failure gives no picture (a null image), never an ended process.
//
// Thread contract: the functions keep no state; they may run on any thread (the toolkit's
// decoders need only the application object to exist).
#ifndef PLATFORM_PICTURE_PICTURE_LOADER_H_
#define PLATFORM_PICTURE_PICTURE_LOADER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// A decoded picture: rows top-down without padding, each pixel 32 bits 0xAARRGGBB with straight
// (not premultiplied) alpha. Null when it has no pixels.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  bool hasAlpha = false;         // some pixel may be less than opaque
  std::vector<uint32_t> pixels;  // width * height

  bool isNull() const { return pixels.empty(); }
  uint32_t pixel(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

enum class PictureFormat { kNone, kBmp, kJpeg, kPng, kIcon, kGif, kPcx };

// Pictures of more pixels than this are refused (16 Mi pixels, 64 MiB as 32-bit pixels).
inline constexpr int64_t kMaxPicturePixels = int64_t{16} * 1024 * 1024;

// The format the first 8 bytes announce, tested in this order: "BM"; FF D8; 89 50 4E 47;
// an icon or cursor directory (zero, type 1 or 2, a non-zero count, 16-bit little-endian);
// "GIF87a" or "GIF89a"; a PCX header (0A, encoding 1, version 5 or lower with 8 bits per
// pixel, or version 3 with 1 bit per pixel). Fewer than 8 bytes is kNone.
PictureFormat DetectPictureFormat(const unsigned char* data, size_t length);

// Decodes the picture; a null picture when the format is not recognised, the data is damaged
// or the picture holds more than `maxPixels` pixels.
// REQUIRES: `data` points to `length` readable bytes (null only with length 0).
Picture LoadPicture(const unsigned char* data, size_t length, int64_t maxPixels = kMaxPicturePixels);

}  // namespace platform

#endif  // PLATFORM_PICTURE_PICTURE_LOADER_H_
