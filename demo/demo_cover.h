// Cover pictures of the demo videos: a scene that looks like a video still (a gradient sky,
// hills, a sun, a play badge in the middle, a progress bar) with the video's number and title
// drawn in a CJK font, and the JPEG and PNG encoders that turn it into a cover file.
//
// Ownership and threads: a CoverPainter owns its FreeType library and face. Paint may be called
// from any number of threads at once; the face is used under the painter's lock. The free
// functions keep no state and may run on any thread.
#ifndef DEMO_DEMO_COVER_H_
#define DEMO_DEMO_COVER_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

struct Rgb {
  uint8_t r, g, b;
};

// Pixels in rows from the top, three bytes (red, green, blue) each.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;

  Rgb At(int x, int y) const;
};

// The code points of a UTF-8 text; a byte that starts no valid sequence is skipped.
std::vector<char32_t> CodePoints(std::string_view text);

// Baseline JPEG (quality 90) and 8-bit RGB PNG files of an image; empty when encoding fails.
// REQUIRES: image.pixels.size() == width * height * 3, both sides positive.
std::string EncodeJpeg(const RgbImage& image);
std::string EncodePng(const RgbImage& image);

// What a cover shows.
struct CoverScene {
  std::string number;   // drawn in the badge at the top left
  std::string title;    // UTF-8, drawn at the bottom on up to two lines, cut with "…" when longer
  Rgb colour{0, 0, 0};  // the play badge in the middle: the centre pixel has this colour
  uint64_t seed = 0;    // picks the sky's colours, the hills and the sun
};

// A font file and the index of the face in it; an empty file names no font.
struct FontFile {
  std::string file;
  int index = 0;
};

// The font fontconfig matches for Chinese text (the setup installs WenQuanYi Zen Hei, asked for
// first), provided it really holds simplified and traditional characters; else no font.
FontFile FindCjkFont();

class CoverPainter {
 public:
  // Draws text with `font`. Without a font, or when it cannot be opened, covers show the scene
  // without text.
  explicit CoverPainter(const FontFile& font);
  CoverPainter(const CoverPainter&) = delete;
  CoverPainter& operator=(const CoverPainter&) = delete;
  ~CoverPainter();

  bool has_font() const { return face_ != nullptr; }

  // The same scene and size always give the same pixels. REQUIRES: width >= 160, height >= 90.
  RgbImage Paint(const CoverScene& scene, int width, int height) const;

 private:
  struct Face;
  std::unique_ptr<Face> face_;
  mutable std::mutex mutex_;
};

}  // namespace demo

#endif  // DEMO_DEMO_COVER_H_
