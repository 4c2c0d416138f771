#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vs {
namespace {

TEST(Cp932, SettingsKeysHaveTheirExactBytes) {
  const std::pair<const char*, std::string> keys[] = {
      {"画像ﾁｪﾝｼﾞ", "\x89\xE6\x91\x9C\xC1\xAA\xDD\xBC\xDE"},
      {"画像のｻｲｽﾞ", "\x89\xE6\x91\x9C\x82\xCC\xBB\xB2\xBD\xDE"},
      {"画像のﾌｫﾙﾀﾞ", "\x89\xE6\x91\x9C\x82\xCC\xCC\xAB\xD9\xC0\xDE"},
      {"画像種類_0", "\x89\xE6\x91\x9C\x8E\xED\x97\xDE\x5F\x30"},
      {"画像種類_1", "\x89\xE6\x91\x9C\x8E\xED\x97\xDE\x5F\x31"},
      {"画像種類_2", "\x89\xE6\x91\x9C\x8E\xED\x97\xDE\x5F\x32"},
      {"画像種類_3", "\x89\xE6\x91\x9C\x8E\xED\x97\xDE\x5F\x33"},
      {"描画方法", "\x95\x60\x89\xE6\x95\xFB\x96\x40"},
  };
  for (const auto& [utf8, bytes] : keys) {
    EXPECT_EQ(utf8_to_cp932(utf8), bytes) << utf8;
    EXPECT_EQ(cp932_to_utf8(bytes), utf8) << utf8;
  }
}

TEST(Cp932, UsesMicrosoftsTable) {
  // 5C is the backslash (not the yen sign); the wave dash row is the
  // full-width tilde; NEC and IBM extension rows are present.
  const std::pair<const char*, std::string> chars[] = {
      {"C:\\x", "C:\\x"}, {"～", "\x81\x60"}, {"－", "\x81\x7C"}, {"Ⅰ", "\x87\x54"},
      {"ⅰ", "\xFA\x40"},  {"ｱ", "\xB1"},      {"≒", "\x81\xE0"},  {"　", "\x81\x40"},
  };
  for (const auto& [utf8, bytes] : chars) {
    EXPECT_EQ(utf8_to_cp932(utf8), bytes) << utf8;
    EXPECT_EQ(cp932_to_utf8(bytes), utf8) << utf8;
  }
  // The NEC-selected copy of an IBM character reads as the same character.
  EXPECT_EQ(cp932_to_utf8("\xED\x40"), "纊");
}

TEST(Cp932, RefusesWhatItCannotHold) {
  // Characters outside the code page, including those a converter might
  // replace by a look-alike that would read back as something else.
  for (const char* text : {"café", "€", "😀", "¥", "¢", "〜", "‾", "−"}) {
    EXPECT_EQ(utf8_to_cp932(std::string("/x/") + text), std::nullopt) << text;
  }
  // Not UTF-8 at all.
  for (std::string bad : {std::string("\xC3"), std::string("a\xFF"), std::string("\xC0\xAF")}) {
    EXPECT_EQ(utf8_to_cp932(bad), std::nullopt);
  }
  for (std::string bad : {std::string("\x81"), std::string("ab\x81\x20"), std::string("\xFF"),
                          std::string("\x80"), std::string("\xA0")}) {
    EXPECT_EQ(cp932_to_utf8(bad), std::nullopt);
  }
}

TEST(Cp932, LosslessDecodingKeepsInvalidBytesApart) {
  EXPECT_EQ(cp932_to_utf32_lossless(""), U"");
  EXPECT_EQ(cp932_to_utf32_lossless(std::string("a\0b", 3)), std::u32string(U"a\0b", 3));
  EXPECT_EQ(cp932_to_utf32_lossless("\x82\xA0\xB1"), U"あｱ");
  EXPECT_EQ(cp932_to_utf32_lossless("a\x81"), (std::u32string{U'a', 0xDC81}));
  EXPECT_EQ(cp932_to_utf32_lossless("\x81\x20z"), (std::u32string{0xDC81, U' ', U'z'}));
  EXPECT_EQ(cp932_to_utf32_lossless("\xFF\x82\xA0\x80"), (std::u32string{0xDCFF, U'あ', 0xDC80}));
  EXPECT_EQ(cp932_to_utf32_lossless("\x83]"), U"ゾ");
}

TEST(Cp932, LongTextsConvertWhole) {
  std::string utf8;
  std::string bytes;
  for (int i = 0; i < 5000; ++i)
    utf8 += "画a", bytes +=
                   "\x89\xE6"
                   "a";
  EXPECT_EQ(utf8_to_cp932(utf8), bytes);
  EXPECT_EQ(cp932_to_utf8(bytes), utf8);
  std::u32string wide = cp932_to_utf32_lossless(bytes + "\xFF");
  ASSERT_EQ(wide.size(), 10001u);
  EXPECT_EQ(wide[9998], U'画');
  EXPECT_EQ(wide[10000], 0xDCFFu);
}

}  // namespace
}  // namespace vs
