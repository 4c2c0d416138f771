#include "core/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

TEST(Cp932, CharactersWithSeveralCodesAreWrittenAsWindowsWritesThem) {
  // The NEC rows repeat some characters of the JIS rows, and the
  // NEC-selected IBM rows repeat the IBM rows: each reads from all its
  // codes, and is written as the JIS code, else the NEC row 13 code, else
  // the IBM code. The user-defined rows are the private-use area.
  struct Case {
    const char* utf8;
    std::string written;
    std::vector<std::string> also_read_from;
  };
  const Case cases[] = {
      {"≒", "\x81\xE0", {"\x87\x90"}},
      {"≡", "\x81\xDF", {"\x87\x91"}},
      {"∵", "\x81\xE6", {"\x87\x9A", "\xFA\x5B"}},
      {"￢", "\x81\xCA", {"\xEE\xF9", "\xFA\x54"}},
      {"Ⅰ", "\x87\x54", {"\xFA\x4A"}},
      {"ⅰ", "\xFA\x40", {"\xEE\xEF"}},
      {"￤", "\xFA\x55", {"\xEE\xFA"}},
      {"＇", "\xFA\x56", {"\xEE\xFB"}},
      {"㈱", "\x87\x8A", {"\xFA\x58"}},
      {"№", "\x87\x82", {"\xFA\x59"}},
      {"纊", "\xFA\x5C", {"\xED\x40"}},
      {"黑", "\xFC\x4B", {"\xEE\xEC"}},
      {"\xEE\x80\x80", "\xF0\x40", {}},  // U+E000
      {"\xEE\x9D\x97", "\xF9\xFC", {}},  // U+E757
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_cp932(c.utf8), c.written) << c.utf8;
    EXPECT_EQ(cp932_to_utf8(c.written), c.utf8) << c.utf8;
    for (const std::string& code : c.also_read_from) {
      EXPECT_EQ(cp932_to_utf8(code), c.utf8) << c.utf8;
    }
  }
}

TEST(Cp932, EveryCharacterReadIsWrittenAsACodeThatReadsTheSame) {
  int characters = 0;
  int written_as_read = 0;
  auto check = [&](const std::string& code) {
    std::optional<std::string> utf8 = cp932_to_utf8(code);
    if (!utf8) return;
    ++characters;
    std::optional<std::string> written = utf8_to_cp932(*utf8);
    ASSERT_TRUE(written) << *utf8;
    EXPECT_EQ(cp932_to_utf8(*written), utf8) << *utf8;
    if (written == code) ++written_as_read;
  };
  for (int byte = 0; byte < 0x100; ++byte) check(std::string(1, static_cast<char>(byte)));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA1 && lead <= 0xDF) continue;  // katakana
    for (int trail = 0; trail < 0x100; ++trail) {
      check(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  // ASCII, katakana, the two-byte table and the user-defined rows; 398 codes
  // repeat another's character.
  EXPECT_EQ(characters, 128 + 63 + 7724 + 1880);
  EXPECT_EQ(written_as_read, 128 + 63 + 7326 + 1880);
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
