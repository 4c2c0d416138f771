// Characters the dialog's Japanese font lacks (Hangul, accented Greek) are
// drawn from another installed font: each as itself, not as a font's box for
// a missing glyph, on the font's baseline, and advancing as far as the font
// measures.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/offscreen/offscreen_platform.h"

namespace vs {
namespace {

// The dialog's Japanese families, at twice its size: glyphs large enough
// that two different ones never share their pixels.
const std::vector<std::string> kJapanese = {"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic",
                                            "VL PGothic", "Noto Sans CJK JP"};
constexpr double kPoints = 19.5;
constexpr uint32_t kWhite = pixel_rgb(255, 255, 255);
// Where a font was missing, which package brings one.
constexpr const char* kPackages = "fonts-wqy-microhei (Hangul), fonts-dejavu-core (Greek)";

// Text drawn black on white at x = 20, baseline 60.
Surface drawn(Font& font, const std::string& text, int x = 20) {
  Surface s(font.width(text) + 80, 100, kWhite);
  font.draw(s, x, 60, text, 0);
  return s;
}

struct Ink {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  bool any() const { return right >= 0; }
};

Ink ink_of(const Surface& s) {
  Ink ink;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) == kWhite) continue;
      ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
    }
  }
  return ink;
}

bool same_pixels(const Surface& a, const Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  return std::equal(a.data(), a.data() + static_cast<size_t>(a.width()) * a.height(), b.data());
}

// A font's mark for a glyph it lacks: a rectangle's outline, each side of
// the ink's box inked along nearly all its length.
bool looks_like_box(const Surface& s) {
  const Ink ink = ink_of(s);
  auto inked = [&](int x0, int y0, int dx, int dy, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i) count += s.at(x0 + i * dx, y0 + i * dy) != kWhite;
    return count * 4 >= n * 3;
  };
  const int width = ink.right - ink.left + 1, height = ink.bottom - ink.top + 1;
  return ink.any() && inked(ink.left, ink.top, 1, 0, width) &&
         inked(ink.left, ink.bottom, 1, 0, width) && inked(ink.left, ink.top, 0, 1, height) &&
         inked(ink.right, ink.top, 0, 1, height);
}

TEST(FontFallback, MissingCharactersComeFromAFontThatHasThem) {
  OffscreenPlatform p;
  std::unique_ptr<Font> font = p.open_font(kJapanese, kPoints, "ﾌｧｲﾙ名");
  ASSERT_TRUE(font) << "no Japanese font (fonts-ipafont-gothic)";
  const Ink kanji = ink_of(drawn(*font, "画"));
  ASSERT_TRUE(kanji.any());

  // Letters of each script drawn as themselves: inked, no box, no two
  // alike. An unassigned code point, which no font has, shows the box.
  const struct {
    const char* text;
    bool box;
  } letters[] = {{"가", false}, {"힣", false}, {"한", false},
                 {"ά", false},  {"έ", false},  {"\u0378", true}};
  std::vector<Surface> seen;
  for (const auto& letter : letters) {
    const Surface s = drawn(*font, letter.text);
    EXPECT_TRUE(ink_of(s).any()) << letter.text << ": " << kPackages;
    EXPECT_EQ(looks_like_box(s), letter.box) << letter.text << ": " << kPackages;
    for (const Surface& other : seen) {
      EXPECT_FALSE(same_pixels(s, other)) << letter.text << " draws as another letter";
    }
    if (!letter.box) seen.push_back(s);
  }

  for (const char* text : {"가", "힣", "ά", "έ", "Zoë", "사진"}) {
    // The pen moves on by the measured width: drawn with a bar after it, the
    // text and the bar are where each is drawn alone.
    const int width = font->width(text);
    EXPECT_GT(width, 0) << text;
    EXPECT_EQ(font->width(std::string(text) + "|"), width + font->width("|")) << text;
    Surface together = drawn(*font, std::string(text) + "|");
    Surface apart(together.width(), together.height(), kWhite);
    font->draw(apart, 20, 60, text, 0);
    font->draw(apart, 20 + width, 60, "|", 0);
    EXPECT_TRUE(same_pixels(together, apart)) << text << " advances otherwise than measured";

    // Its ink within the measured box (a pixel of overhang aside), and on
    // the font's baseline: a full-width letter sits where a kanji does.
    const Ink ink = ink_of(drawn(*font, text));
    ASSERT_TRUE(ink.any()) << text;
    EXPECT_GE(ink.left, 20 - 2) << text;
    EXPECT_LE(ink.right, 20 + width + 1) << text;
    EXPECT_LE(ink.bottom, 60 + font->line_height() - font->ascent() + 1) << text;
    EXPECT_GE(ink.top, 60 - font->line_height()) << text;
  }
  for (const char* text : {"가", "힣"}) {
    const Ink ink = ink_of(drawn(*font, text));
    EXPECT_NEAR(ink.top + ink.bottom, kanji.top + kanji.bottom, 6) << text << " off the baseline";
  }
}

}  // namespace
}  // namespace vs
