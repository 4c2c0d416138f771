// The desktop's text font, which the English dialog writes in, is an
// installed family whose backslash is a backslash; the Japanese fonts draw
// that character as a yen sign. (The Windows edition's is tried end to end:
// the tests' Wine prefix is set up as a Japanese system.)
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/offscreen/offscreen_platform.h"

namespace vs {
namespace {

constexpr uint32_t kWhite = pixel_rgb(255, 255, 255);

// True when the character leans from the upper left to the lower right, as
// a backslash does; a yen sign stands upright, its arms in balance.
bool leans(Font& font, const std::string& character) {
  Surface s(font.width(character) + 40, 80, kWhite);
  font.draw(s, 20, 50, character, 0);
  int top = -1, bottom = -1;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) == kWhite) continue;
      if (top < 0) top = y;
      bottom = y;
    }
  }
  if (top < 0) return false;
  auto middle = [&](int y, int& width) {
    int sum = 0, count = 0, left = s.width(), right = -1;
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) == kWhite) continue;
      sum += x, ++count, left = std::min(left, x), right = std::max(right, x);
    }
    width = right - left + 1;
    return static_cast<double>(sum) / count;
  };
  int top_width = 0, bottom_width = 0;
  const double from = middle(top, top_width), to = middle(bottom, bottom_width);
  return to - from > std::max(top_width, bottom_width);
}

TEST(InterfaceFont, IsInstalledAndDrawsABackslash) {
  OffscreenPlatform p;
  const std::vector<std::string> families = p.interface_font_families();
  ASSERT_FALSE(families.empty());
  EXPECT_NE(families.front(), "sans-serif") << "not resolved to an installed family";
  const struct {
    std::vector<std::string> families;
    bool backslash;
  } cases[] = {{families, true}, {{"IPAPGothic"}, false}};
  for (const auto& c : cases) {
    std::unique_ptr<Font> font = p.open_font(c.families, 19.5, "Z:\\Pictures");
    ASSERT_TRUE(font) << c.families.front();
    EXPECT_EQ(leans(*font, "\\"), c.backslash) << c.families.front();
  }
}

}  // namespace
}  // namespace vs
