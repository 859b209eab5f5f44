// Fuzz target: the picture format test and the decoders on random bytes, as the grid loads
// cover pictures from the network. The format test must read no more than the 8 bytes it
// looks at and agree with the magic bytes; LoadPicture must give a null image or one within
// the pixel cap, never end the process. Each input also goes straight to the decoder its
// first byte picks, so every decoder sees data the format test would not hand it.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/event_loop.h"
#include "platform/picture/image_decoders.h"
#include "platform/picture/picture_loader.h"

namespace {

using fuzz_support::Check;

// Small enough that a damaged header cannot make a decoder fill gigabytes.
constexpr int64_t kCap = int64_t{1} << 20;

void CheckImage(const QImage& image) {
  if (image.isNull()) return;
  Check(image.width() > 0 && image.height() > 0, "a picture without pixels");
  Check(int64_t{image.width()} * image.height() <= kCap, "a picture over the pixel cap");
}

void CheckImage(const platform::Picture& picture) {
  if (picture.isNull()) return;
  Check(picture.width > 0 && picture.height > 0, "a picture without pixels");
  Check(int64_t{picture.width} * picture.height <= kCap, "a picture over the pixel cap");
  Check(picture.pixels.size() == static_cast<size_t>(picture.width) * picture.height,
        "pixels and size differ");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The toolkit's readers want the application object; offscreen needs no display.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: at exit the toolkit's own globals go first, and tearing the application
  // object down after them crashes in the toolkit.
  static platform::GuiApplication* app = std::make_unique<platform::GuiApplication>(*argc, *argv).release();
  (void)app;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read past the end is caught.
  std::vector<unsigned char> bytes(data, data + size);
  const unsigned char* p = bytes.empty() ? nullptr : bytes.data();

  const platform::PictureFormat format = platform::DetectPictureFormat(p, size);
  if (size < 8) Check(format == platform::PictureFormat::kNone, "a format for fewer than 8 bytes");
  if (size >= 8 && p[0] == 'B' && p[1] == 'M') Check(format == platform::PictureFormat::kBmp, "BM not BMP");
  if (size >= 8 && p[0] == 0xFF && p[1] == 0xD8) {
    Check(format == platform::PictureFormat::kJpeg, "FF D8 not JPEG");
  }
  const platform::Picture loaded = platform::LoadPicture(p, size, kCap);
  CheckImage(loaded);
  if (format == platform::PictureFormat::kNone) Check(loaded.isNull(), "a picture of no format");

  if (size == 0) return 0;
  namespace pic = platform::picture;
  switch (p[0] % 6) {
    case 0:
      CheckImage(pic::DecodeJpeg(p, size, kCap));
      break;
    case 1:
      CheckImage(pic::DecodePng(p, size, kCap));
      break;
    case 2:
      CheckImage(pic::DecodePcx(p, size, kCap));
      break;
    case 3:
      CheckImage(pic::DecodeWithToolkit(p, size, "BMP", kCap));
      break;
    case 4:
      CheckImage(pic::DecodeWithToolkit(p, size, "GIF", kCap));
      break;
    default:
      CheckImage(pic::DecodeWithToolkit(p, size, "ICO", kCap));
      break;
  }
  return 0;
}
