#include <gtest/gtest.h>

#include "platform/x11/desktop_scale.h"

#include "core/utf8.h"
#include "forms/message_box_drawing.h"
#include "platform/posix/freetype_font.h"

namespace vs::forms {
namespace {

const std::string kText = "画像ﾌｧｲﾙを指定して下さい ！";
const std::vector<std::string> kFamilies = {"MS PGothic", "IPAPGothic", "VL PGothic",
                                            "Noto Sans CJK JP"};

TEST(X11Text, DecodesUtf8AndReplacesEachMalformedByte) {
  EXPECT_EQ(decode_utf8("a\xC3\xA9画ﾌ\xF0\x9F\x98\x80"),
            (std::vector<char32_t>{U'a', U'é', U'画', U'ﾌ', U'\U0001F600'}));
  EXPECT_EQ(decode_utf8("\xC3"), std::vector<char32_t>{0xFFFD});
  EXPECT_EQ(decode_utf8("\xC0\xAF"), (std::vector<char32_t>{0xFFFD, 0xFFFD}));  // overlong
  EXPECT_EQ(decode_utf8("\xED\xA0\x80").size(), 3u);                            // surrogate
  EXPECT_EQ(decode_utf8("\xF4\x90\x80\x80x").back(), U'x');                     // past U+10FFFF
  EXPECT_EQ(decode_utf8("\xE7\x94z"), (std::vector<char32_t>{0xFFFD, 0xFFFD, U'z'}));  // cut short
  EXPECT_TRUE(decode_utf8("").empty());
}

TEST(X11Text, FindsAnInstalledJapaneseFontAndMeasuresIt) {
  auto font = FreetypeFont::find(kFamilies, kText, 14);
  ASSERT_TRUE(font) << "no font with the message's characters (fonts-ipafont-gothic)";
  EXPECT_EQ(font->family(), "IPAPGothic");  // "MS PGothic" is not installed here
  EXPECT_GE(font->line_height(), 14);
  EXPECT_GT(font->ascent(), 8);
  // Half-width katakana are narrower than the full-width characters, and a
  // longer text is wider.
  EXPECT_LT(font->width("ﾌ"), font->width("画"));
  EXPECT_LT(font->width("画像"), font->width(kText));
  EXPECT_EQ(font->width(""), 0);

  // What is drawn stays inside the measured box.
  int width = font->width(kText);
  Surface s(width + 40, 40, pixel_rgb(255, 255, 255));
  font->draw(s, 20, 5 + font->ascent(), kText, 0);
  int inked = 0;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) == pixel_rgb(255, 255, 255)) continue;
      ++inked;
      EXPECT_GE(x, 19);
      EXPECT_LE(x, 20 + width);
      EXPECT_GE(y, 5);
      EXPECT_LT(y, 5 + font->line_height() + 1);
    }
  }
  EXPECT_GT(inked, 300);
}

TEST(X11Text, LineBreaksAndBlanksNeedNoGlyph) {
  EXPECT_TRUE(FreetypeFont::find(kFamilies, kText + "\r\n二行目\tand\u3000more", 14));
}

TEST(X11Text, NoFontWhenNoneHasTheCharacters) {
  EXPECT_FALSE(FreetypeFont::find(kFamilies, "\U0010FFFD", 14));  // private use, in no font
  EXPECT_FALSE(FreetypeFont::find({}, "a", 14));
}

TEST(X11DesktopScale, GdkScaleThenXftDpiThenOne) {
  const struct {
    const char* resources;
    std::optional<std::string> gdk;
    double want;
  } cases[] = {
      {nullptr, std::nullopt, 1},
      {"Xft.dpi:\t144\n", std::nullopt, 1.5},
      {"Xcursor.size: 24\nXft.dpi: 120\nXft.antialias: 1\n", std::nullopt, 1.25},
      {"Xft.dpi:\t168", std::nullopt, 1.75},
      {"Xft.dpi: 96\nXft.dpi: 192\n", std::nullopt, 2},  // the last counts
      {"Xft.dpi: 72\n", std::nullopt, 1},                // never smaller
      {"Xft.dpi: 9999\n", std::nullopt, 1},              // a mistake
      {"Xft.dpi: lots\n", std::nullopt, 1},
      {"Xft.dpix: 144\n", std::nullopt, 1},
      {"Xft.dpi: 144\n", "2", 2},
      {"Xft.dpi: 144\n", "1.5", 1.5},  // not a whole scale: Xft.dpi
      {nullptr, "0", 1},
      {nullptr, " 3 ", 3},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(x11::desktop_scale(c.resources, c.gdk), c.want)
        << (c.resources ? c.resources : "(none)") << " GDK_SCALE=" << c.gdk.value_or("(unset)");
  }
}

TEST(X11MessageBoxLayout, FitsTheTextAndKeepsTheButtonInTheStrip) {
  MessageBoxLayout narrow = layout_message_box(10, 16, 1920, 1080);
  MessageBoxLayout wide = layout_message_box(600, 16, 1920, 1080);
  MessageBoxLayout tall = layout_message_box(100, 5 * 16, 1920, 1080);
  EXPECT_EQ(narrow.width, 240);  // never narrower
  EXPECT_GT(wide.width, 600);
  EXPECT_GE(wide.width - wide.text.x, 600);
  EXPECT_GT(tall.height, narrow.height);
  for (const MessageBoxLayout& l : {narrow, wide, tall}) {
    EXPECT_GE(l.button.y, l.strip_top);
    EXPECT_LE(l.button.y + l.button.height, l.height);
    EXPECT_LE(l.button.x + l.button.width, l.width);
    EXPECT_GE(l.text.x, l.icon.x + l.icon.width);
  }
  MessageBoxLayout clipped = layout_message_box(5000, 16, 640, 480);
  EXPECT_EQ(clipped.width, 640);
  // At 200 % every part is twice the size, round the same (doubled) text.
  MessageBoxLayout doubled = layout_message_box(20, 32, 1920, 1080, true, 2.0);
  EXPECT_EQ(doubled.width, 2 * narrow.width);
  EXPECT_EQ(doubled.height, 2 * narrow.height);
  EXPECT_EQ(doubled.icon.width, 64);
  EXPECT_EQ(doubled.button, (Rect{2 * narrow.button.x, 2 * narrow.button.y, 2 * narrow.button.width,
                                  2 * narrow.button.height}));
  EXPECT_EQ(split_lines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(split_lines(""), std::vector<std::string>{""});
}

}  // namespace
}  // namespace vs::forms
