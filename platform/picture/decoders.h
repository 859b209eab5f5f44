// The decoders behind LoadPicture that every platform shares. Each returns a null picture on any
// failure and refuses pictures of more than `maxPixels` pixels before allocating them.
//
// Thread contract: no shared state.
#ifndef PLATFORM_PICTURE_DECODERS_H_
#define PLATFORM_PICTURE_DECODERS_H_

#include <cstddef>
#include <cstdint>

#include "platform/picture/picture_loader.h"

namespace platform::picture {

Picture DecodePcx(const unsigned char* data, size_t length, int64_t maxPixels);

// True when a width by height picture is allowed: both positive and their product at most
// `maxPixels` (and within the toolkit's 32767-pixel side limit).
bool FitsPixelCap(int64_t width, int64_t height, int64_t maxPixels);

}  // namespace platform::picture

#endif  // PLATFORM_PICTURE_DECODERS_H_
