// Picture files made at test time: toolkit-encoded JPEG, PNG and BMP of a given picture, and
// a well-formed PNG whose header announces any size.
#ifndef TESTS_SUPPORT_PICTURE_SAMPLES_H_
#define TESTS_SUPPORT_PICTURE_SAMPLES_H_

#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cstdint>
#include <string>

namespace testing_support {

// Four quadrants: red, green (top), blue, white (bottom).
inline QImage QuadrantPicture(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      img.setPixel(x, y,
                   y < h / 2 ? (x < w / 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                             : (x < w / 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    }
  }
  return img;
}

// One colour all over, 8 by 8.
inline QImage SolidPicture(QRgb colour) {
  QImage img(8, 8, QImage::Format_RGB32);
  img.fill(colour);
  return img;
}

// The file bytes of the picture in the toolkit's format ("jpg", "png", "bmp", "ico").
inline std::string EncodePicture(const QImage& img, const char* format, bool progressive = false) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  QImageWriter writer(&buf, format);
  writer.setQuality(95);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(img)) << format << ": " << writer.errorString().toStdString();
  return out.toStdString();
}

inline void AppendPngChunk(std::string* out, const char* type, const std::string& body) {
  const uint32_t n = static_cast<uint32_t>(body.size());
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<char>(n >> s));
  const std::string typed = std::string(type, 4) + body;
  *out += typed;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<char>(crc >> s));
}

// A PNG with correct checksums whose header announces w by h RGBA pixels and whose data holds
// 4096 compressed zero bytes.
inline std::string AnnouncingPng(uint32_t w, uint32_t h) {
  std::string out = "\x89PNG\r\n\x1A\n";
  std::string ihdr;
  for (uint32_t v : {w, h}) {
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<char>(v >> s));
  }
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);
  AppendPngChunk(&out, "IHDR", ihdr);
  std::string raw(4096, '\0');
  std::string packed(compressBound(raw.size()), '\0');
  uLongf packedLen = packed.size();
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedLen, reinterpret_cast<const Bytef*>(raw.data()),
           raw.size());
  packed.resize(packedLen);
  AppendPngChunk(&out, "IDAT", packed);
  AppendPngChunk(&out, "IEND", "");
  return out;
}

// True when the colours differ by at most `tol` in every channel.
inline ::testing::AssertionResult ColourNear(QRgb got, QRgb want, int tol = 16) {
  if (std::abs(qRed(got) - qRed(want)) <= tol && std::abs(qGreen(got) - qGreen(want)) <= tol &&
      std::abs(qBlue(got) - qBlue(want)) <= tol) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << std::hex << "colour " << got << ", expected about " << want;
}

}  // namespace testing_support

#endif  // TESTS_SUPPORT_PICTURE_SAMPLES_H_
