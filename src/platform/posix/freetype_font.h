// Text drawn with FreeType, the font found through fontconfig. Fonts differ
// in width from system to system, so everything is measured at run time.
// A character the font lacks (a Korean or accented Greek file name in a
// Japanese font) comes from the first font fontconfig ranks after it that
// has it, at the same size and on the same baseline.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vs {

class FreetypeFont : public Font {
 public:
  // A font with every character of sample (blanks and line breaks aside)
  // at the given pixel height: the first of the families that is installed,
  // else the first stand-in fontconfig offers for one of them. Nothing when
  // no such font has the characters (fontconfig always answers with some
  // font, often one without them).
  static std::unique_ptr<FreetypeFont> find(const std::vector<std::string>& families,
                                            const std::string& sample, int pixel_size);
  // The installed family fontconfig gives for a name ("sans-serif": the
  // desktop's choice); nothing when it gives none.
  static std::optional<std::string> installed_family(const std::string& family);
  ~FreetypeFont() override;
  FreetypeFont(const FreetypeFont&) = delete;
  FreetypeFont& operator=(const FreetypeFont&) = delete;

  const std::string& family() const { return family_; }
  const std::string& file() const { return file_; }
  int ascent() const override { return ascent_; }
  int line_height() const override { return line_height_; }
  int width(std::string_view text) override;
  void draw(Surface& s, int x, int baseline, std::string_view text, uint32_t pixel) override;

 private:
  FreetypeFont() = default;
  struct Faces;
  std::unique_ptr<Faces> ft_;
  std::string family_;
  std::string file_;
  int ascent_ = 0;
  int line_height_ = 0;
};

}  // namespace vs
