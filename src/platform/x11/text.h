// Message texts drawn with FreeType, the font found through fontconfig.
// Fonts differ in width from system to system, so everything is measured at
// run time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace vs::x11 {

// Unicode code points of UTF-8 text; a malformed byte gives U+FFFD.
std::vector<char32_t> decode_utf8(const std::string& text);

// Blends pixel over the surface pixel at (x, y) with coverage 0..255;
// points outside are ignored.
void blend_pixel(Surface& s, int x, int y, uint32_t pixel, int coverage);

class Font {
 public:
  // A font with every character of sample (blanks and line breaks aside)
  // at the given pixel height: the first of the families that is installed,
  // else the first stand-in fontconfig offers for one of them. Nothing when
  // no such font has the characters (fontconfig always answers with some
  // font, often one without them).
  static std::unique_ptr<Font> find(const std::vector<std::string>& families,
                                    const std::string& sample, int pixel_size);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const std::string& family() const { return family_; }
  const std::string& file() const { return file_; }
  int ascent() const { return ascent_; }
  int line_height() const { return line_height_; }
  // Advance width of one line of UTF-8 text, in pixels.
  int width(const std::string& text);
  // Draws one line with its baseline at y, starting at x.
  void draw(Surface& s, int x, int baseline, const std::string& text, uint32_t pixel);

 private:
  Font() = default;
  struct Faces;
  std::unique_ptr<Faces> ft_;
  std::string family_;
  std::string file_;
  int ascent_ = 0;
  int line_height_ = 0;
};

}  // namespace vs::x11
