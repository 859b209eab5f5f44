#include "demo/demo_cover.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <csetjmp>
#include <jpeglib.h>
#include <png.h>
// clang-format on
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace demo {

std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) {
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(text[i + k]);
      valid = valid && (t >> 6) == 2;
      cp = (cp << 6) | (t & 0x3F);
    }
    i += valid ? extra + 1 : 1;
    if (valid) out.push_back(cp);
  }
  return out;
}

Rgb RgbImage::At(int x, int y) const {
  const uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
  return {p[0], p[1], p[2]};
}

namespace {
// libjpeg's own handler ends the process; this one jumps back to the encoder instead.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf failed;
};
[[noreturn]] void JpegFailed(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->failed, 1);
}
}  // namespace

std::string EncodeJpeg(const RgbImage& image) {
  jpeg_compress_struct cinfo{};
  JpegErrors errors;
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = &JpegFailed;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(errors.failed)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return std::string();
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    // libjpeg takes rows as non-const pointers but only reads them.
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(image.pixels.data() + cinfo.next_scanline * stride)};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}
}  // namespace

std::string EncodePng(const RgbImage& image) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return out;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return std::string();
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
  for (int y = 0; y < image.height; ++y) png_write_row(png, image.pixels.data() + y * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

FontFile FindCjkFont() {
  FontFile found;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return found;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("WenQuanYi Zen Hei:lang=zh-cn"));
  if (pattern != nullptr) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcCharSet* chars = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    // The match is the best font there is, which need not hold Chinese at all.
    if (match != nullptr && FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch &&
        FcCharSetHasChar(chars, 0x4E2D) && FcCharSetHasChar(chars, 0x8AA0) &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
      found.file = reinterpret_cast<const char*>(file);
      found.index = index;
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return found;
}

struct CoverPainter::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

CoverPainter::CoverPainter(const FontFile& font) {
  if (font.file.empty()) return;
  auto face = std::make_unique<Face>();
  if (FT_Init_FreeType(&face->library) != 0) return;
  if (FT_New_Face(face->library, font.file.c_str(), font.index, &face->face) != 0) return;
  face_ = std::move(face);
}

CoverPainter::~CoverPainter() = default;

namespace {

struct Colour {
  float r, g, b;
};

Colour FromRgb(Rgb c) { return {float(c.r), float(c.g), float(c.b)}; }

// Hue in degrees, saturation and value from 0 to 1.
Colour Hsv(float h, float s, float v) {
  h = std::fmod(h, 360.0f);
  if (h < 0) h += 360.0f;
  float c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0f, 2.0f) - 1)), m = v - c;
  float r = 0, g = 0, b = 0;
  if (h < 60) {
    r = c, g = x;
  } else if (h < 120) {
    r = x, g = c;
  } else if (h < 180) {
    g = c, b = x;
  } else if (h < 240) {
    g = x, b = c;
  } else if (h < 300) {
    r = x, b = c;
  } else {
    r = c, b = x;
  }
  return {(r + m) * 255, (g + m) * 255, (b + m) * 255};
}

Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
 public:
  Canvas(int width, int height) {
    image_.width = width;
    image_.height = height;
    image_.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  }
  int width() const { return image_.width; }
  int height() const { return image_.height; }

  void Set(int x, int y, Colour c) { Blend(x, y, c, 1.0f); }
  void Blend(int x, int y, Colour c, float alpha) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height || alpha <= 0) return;
    alpha = std::min(alpha, 1.0f);
    uint8_t* p = &image_.pixels[(static_cast<std::size_t>(y) * image_.width + x) * 3];
    const float channels[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
      float v = p[i] + (channels[i] - p[i]) * alpha;
      p[i] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    }
  }
  // A disc with a one-pixel soft edge.
  void Disc(float cx, float cy, float radius, Colour c, float alpha = 1.0f) {
    for (int y = int(cy - radius - 1); y <= int(cy + radius + 1); ++y) {
      for (int x = int(cx - radius - 1); x <= int(cx + radius + 1); ++x) {
        float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        Blend(x, y, c, alpha * std::clamp(radius - d + 0.5f, 0.0f, 1.0f));
      }
    }
  }
  void Rect(int x0, int y0, int x1, int y1, Colour c, float alpha) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Blend(x, y, c, alpha);
  }
  RgbImage Take() { return std::move(image_); }

 private:
  RgbImage image_;
};

constexpr char32_t kEllipsis = 0x2026;

}  // namespace

RgbImage CoverPainter::Paint(const CoverScene& scene, int width, int height) const {
  Canvas canvas(width, height);
  const float w = float(width), h = float(height);
  auto unit = [&](int shift) { return float((scene.seed >> shift) & 0xFF) / 255.0f; };
  const float hue = unit(0) * 360.0f;

  // Sky: a gradient from a deep tone at the top to a light one near the horizon.
  const Colour top = Hsv(hue, 0.55f, 0.30f), bottom = Hsv(hue + 35, 0.40f, 0.92f);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      canvas.Set(x, y, Mix(top, bottom, std::clamp(y / h * 0.85f + x / w * 0.15f, 0.0f, 1.0f)));
  // A sun in the upper half, off the middle so that the badge never covers it.
  const float sun_x = w * (unit(8) < 0.5f ? 0.26f + 0.08f * unit(16) : 0.70f + 0.18f * unit(16));
  canvas.Disc(sun_x, h * (0.18f + 0.15f * unit(24)), h * (0.09f + 0.05f * unit(32)),
              Hsv(hue + 180, 0.25f, 1.0f), 0.9f);
  // Two ranges of hills, the nearer one darker.
  for (int layer = 0; layer < 2; ++layer) {
    const float base = h * (layer == 0 ? 0.60f : 0.74f), amp = h * (0.05f + 0.06f * unit(40 + layer * 8));
    const float freq = (1.5f + 2.5f * unit(48 + layer * 4)) * 6.2832f / w, phase = unit(56) * 6.2832f;
    const Colour land = Hsv(hue + 100 + 30 * layer, 0.45f, layer == 0 ? 0.50f : 0.30f);
    for (int x = 0; x < width; ++x) {
      float ridge = base + amp * std::sin(x * freq + phase + layer);
      for (int y = int(ridge); y < height; ++y)
        canvas.Blend(x, y, land, std::clamp(y + 1 - ridge, 0.0f, 1.0f));
    }
  }
  // A shade under the title, and the player's progress bar along the bottom edge.
  const int band = int(h * 0.32f);
  for (int y = height - band; y < height; ++y)
    canvas.Rect(0, y, width, y + 1, {0, 0, 0}, 0.6f * (y - (height - band)) / band);
  const int bar = std::max(2, height / 60), played = int(w * (0.1f + 0.8f * unit(4)));
  canvas.Rect(0, height - bar, played, height, {230, 40, 40}, 1.0f);
  canvas.Rect(played, height - bar, width, height, {200, 200, 200}, 0.6f);
  // The play badge: a white ring around a disc of the video's colour, centred.
  const float badge = h * 0.17f;
  canvas.Disc(w / 2, h / 2, badge, {255, 255, 255}, 0.95f);
  canvas.Disc(w / 2, h / 2, badge - std::max(2.0f, h / 60), FromRgb(scene.colour));
  // The number's badge at the top left.
  const int number_px = std::max(10, height / 6), pad = std::max(3, height / 30);

  std::lock_guard lock(mutex_);
  auto advance_of = [&](char32_t cp) -> int {
    FT_UInt glyph = FT_Get_Char_Index(face_->face, cp);
    if (glyph == 0 || FT_Load_Glyph(face_->face, glyph, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return 0;
    return int(face_->face->glyph->advance.x >> 6);
  };
  // Draws the code points with their left end at x and their baseline at y; a character the
  // font lacks is left out.
  auto draw = [&](const std::vector<char32_t>& text, int x, int y, Colour colour) {
    for (char32_t cp : text) {
      FT_UInt glyph = FT_Get_Char_Index(face_->face, cp);
      if (glyph == 0 || FT_Load_Glyph(face_->face, glyph, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP) != 0) continue;
      const FT_GlyphSlot slot = face_->face->glyph;
      const FT_Bitmap& bitmap = slot->bitmap;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        for (unsigned row = 0; row < bitmap.rows; ++row) {
          for (unsigned col = 0; col < bitmap.width; ++col) {
            float alpha = bitmap.buffer[row * bitmap.pitch + col] / 255.0f;
            int px = x + slot->bitmap_left + int(col), py = y - slot->bitmap_top + int(row);
            canvas.Blend(px + 1, py + 1, {0, 0, 0}, alpha * 0.7f);  // a shadow, for the light skies
            canvas.Blend(px, py, colour, alpha);
          }
        }
      }
      x += int(slot->advance.x >> 6);
    }
  };

  int number_width = 2 * number_px;
  std::vector<char32_t> number = CodePoints(scene.number);
  if (face_ != nullptr) {
    FT_Set_Pixel_Sizes(face_->face, 0, number_px);
    number_width = 0;
    std::size_t fit = 0;  // a number wider than a third of the picture is cut
    for (int advance = 0;
         fit < number.size() && number_width + (advance = advance_of(number[fit])) <= width / 3; ++fit) {
      number_width += advance;
    }
    number.resize(fit);
  }
  canvas.Rect(pad, pad, pad * 3 + number_width, pad * 3 + number_px, {0, 0, 0}, 0.55f);
  if (face_ == nullptr) return canvas.Take();
  draw(number, pad * 2, pad * 2 + number_px * 7 / 8, {255, 255, 255});

  // The title, wrapped at the width of the picture: at a space where the line has one, else
  // between any two characters (Chinese has no spaces); the last line ends in "…" when cut.
  // Up to two lines, as many as fit between the badge and the bottom edge.
  const int title_px = std::max(8, height / 10), margin = pad * 3, room = width - 2 * margin;
  const int last_baseline = height - bar - pad * 2, badge_bottom = int(h / 2 + badge) + 1;
  std::size_t max_lines = 0;
  while (max_lines < 2 && last_baseline - int(max_lines) * (title_px + pad) - title_px >= badge_bottom)
    ++max_lines;
  FT_Set_Pixel_Sizes(face_->face, 0, title_px);
  std::vector<char32_t> rest = CodePoints(scene.title);
  std::vector<std::vector<char32_t>> lines;
  while (!rest.empty() && lines.size() < max_lines) {
    std::size_t fit = 0, space = 0;
    for (int used = 0; fit < rest.size(); ++fit) {
      used += advance_of(rest[fit]);
      if (used > room) break;
      if (rest[fit] == U' ') space = fit;
    }
    std::size_t take = fit;
    if (fit < rest.size() && space > 0 && lines.empty()) take = space + 1;
    if (lines.size() + 1 == max_lines && fit < rest.size()) {  // the last line: cut, with room for "…"
      int used = advance_of(kEllipsis);
      for (take = 0; take < rest.size() && (used += advance_of(rest[take])) <= room;) ++take;
      std::vector<char32_t> line(rest.begin(), rest.begin() + take);
      line.push_back(kEllipsis);
      lines.push_back(line);
      break;
    }
    take = std::max<std::size_t>(take, 1);
    lines.emplace_back(rest.begin(), rest.begin() + take);
    rest.erase(rest.begin(), rest.begin() + take);
  }
  int baseline = last_baseline - (int(lines.size()) - 1) * (title_px + pad);
  for (const auto& line : lines) {
    draw(line, margin, baseline, {255, 255, 255});
    baseline += title_px + pad;
  }
  return canvas.Take();
}

}  // namespace demo
