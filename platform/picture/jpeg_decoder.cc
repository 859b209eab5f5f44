// JPEG through libjpeg-turbo. libjpeg's default error handler ends the process; here every
// error jumps back to the stage that started it, which cleans up and reports failure.
// Stages that call setjmp hold only plain data, so the jump skips no destructor.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/picture/image_decoders.h"

namespace platform::picture {
namespace {

// Progressive files may hold any number of scans; a crafted one with thousands of tiny
// scans would take very long. Real pictures have about ten.
constexpr int kMaxScans = 256;

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void OnJpegMessage(j_common_ptr) {}  // warnings stay quiet; damaged data shows as it decodes

void OnJpegProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) OnJpegError(cinfo);
}

struct JpegDecoder {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  jpeg_progress_mgr progress;
  bool cmyk = false;
};

// Reads the header and chooses the output colours. False on any error or a refused size.
bool ReadHeader(JpegDecoder* d, const unsigned char* data, size_t length, int64_t maxPixels) {
  if (setjmp(d->err.jump)) return false;
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(length));
  jpeg_read_header(&d->cinfo, TRUE);
  if (!FitsPixelCap(d->cinfo.image_width, d->cinfo.image_height, maxPixels)) return false;
  d->cmyk = d->cinfo.jpeg_color_space == JCS_CMYK || d->cinfo.jpeg_color_space == JCS_YCCK;
  d->cinfo.out_color_space = d->cmyk ? JCS_CMYK : JCS_EXT_RGBX;
  d->cinfo.scale_num = 1;
  d->cinfo.scale_denom = 1;
  jpeg_start_decompress(&d->cinfo);
  return d->cinfo.output_components == 4;
}

// Decodes every scanline into `image` (RGBX, sized by the header).
bool ReadPixels(JpegDecoder* d, QImage* image) {
  if (setjmp(d->err.jump)) return false;
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(d->cinfo.output_scanline));
    if (jpeg_read_scanlines(&d->cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

// CMYK as written by the usual tools (inverted, Adobe) to RGB: R = C * K / 255 and so on.
void CmykToRgb(QImage* image) {
  for (int y = 0; y < image->height(); ++y) {
    unsigned char* p = image->scanLine(y);
    for (int x = 0; x < image->width(); ++x, p += 4) {
      const int k = p[3];
      p[0] = static_cast<unsigned char>(p[0] * k / 255);
      p[1] = static_cast<unsigned char>(p[1] * k / 255);
      p[2] = static_cast<unsigned char>(p[2] * k / 255);
      p[3] = 0xFF;
    }
  }
}

}  // namespace

QImage DecodeJpeg(const unsigned char* data, size_t length, int64_t maxPixels) {
  if (length == 0 || length > 0xFFFFFFFFu) return QImage();
  JpegDecoder d{};
  d.cinfo.err = jpeg_std_error(&d.err.pub);
  d.err.pub.error_exit = OnJpegError;
  d.err.pub.output_message = OnJpegMessage;
  if (setjmp(d.err.jump)) return QImage();  // jpeg_create_decompress itself may fail
  jpeg_create_decompress(&d.cinfo);
  d.progress.progress_monitor = OnJpegProgress;
  d.cinfo.progress = &d.progress;
  // Working memory beyond the output: coefficient buffers of progressive files.
  d.cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;

  QImage image;
  bool ok = ReadHeader(&d, data, length, maxPixels);
  if (ok) {
    image = QImage(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height),
                   QImage::Format_RGBX8888);
    ok = !image.isNull() && ReadPixels(&d, &image);
  }
  jpeg_destroy_decompress(&d.cinfo);
  if (!ok) return QImage();
  if (d.cmyk) CmykToRgb(&image);
  return image;
}

}  // namespace platform::picture
