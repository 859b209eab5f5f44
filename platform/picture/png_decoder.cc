// PNG through libpng. Errors jump back (libpng's own setjmp buffer) to the stage that
// started them; the stages hold only plain data, so the jump skips no destructor.
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/picture/image_decoders.h"

namespace platform::picture {
namespace {

struct PngSource {
  const unsigned char* data;
  size_t length;
  size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > src->length - src->offset) png_error(png, "read past the end of the data");
  std::memcpy(out, src->data + src->offset, count);
  src->offset += count;
}

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngSource source{};
  png_uint_32 width = 0;
  png_uint_32 height = 0;
};

// Reads up to the image data and sets the transformations to 8-bit RGBA.
bool ReadHeader(PngDecoder* d, int64_t maxPixels) {
  if (setjmp(png_jmpbuf(d->png))) return false;
  png_set_read_fn(d->png, &d->source, ReadFromMemory);
  png_set_user_limits(d->png, 32767, 32767);
  png_set_chunk_malloc_max(d->png, 16 * 1024 * 1024);
  png_read_info(d->png, d->info);
  int bitDepth = 0;
  int colorType = 0;
  png_get_IHDR(d->png, d->info, &d->width, &d->height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  if (!FitsPixelCap(d->width, d->height, maxPixels)) return false;
  png_set_expand(d->png);  // palette to RGB, small grey depths to 8 bits, transparency to alpha
  png_set_strip_16(d->png);
  png_set_gray_to_rgb(d->png);
  png_set_add_alpha(d->png, 0xFF, PNG_FILLER_AFTER);  // only where there is no alpha yet
  png_set_interlace_handling(d->png);
  png_read_update_info(d->png, d->info);
  return png_get_rowbytes(d->png, d->info) == static_cast<png_size_t>(d->width) * 4;
}

bool ReadPixels(PngDecoder* d, png_bytep* rows) {
  if (setjmp(png_jmpbuf(d->png))) return false;
  png_read_image(d->png, rows);
  return true;
}

}  // namespace

QImage DecodePng(const unsigned char* data, size_t length, int64_t maxPixels) {
  PngDecoder d;
  d.source = PngSource{data, length, 0};
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (d.png == nullptr) return QImage();
  d.info = png_create_info_struct(d.png);
  QImage image;
  bool ok = d.info != nullptr && ReadHeader(&d, maxPixels);
  if (ok) {
    image = QImage(static_cast<int>(d.width), static_cast<int>(d.height), QImage::Format_RGBA8888);
    ok = !image.isNull();
  }
  if (ok) {
    std::vector<png_bytep> rows(d.height);
    for (png_uint_32 y = 0; y < d.height; ++y) rows[y] = image.scanLine(static_cast<int>(y));
    ok = ReadPixels(&d, rows.data());
  }
  png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
  if (!ok) return QImage();
  return image;
}

}  // namespace platform::picture
