#include "settings/ini.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <clocale>
#include <cwctype>
#include <map>
#include <set>
#include <string>

#include "core/cp932.h"
#include "settings/case_fold.h"

namespace vs {
namespace {

// Code page 932 bytes of a UTF-8 text.
std::string sj(std::string_view utf8) {
  std::optional<std::string> bytes = utf8_to_cp932(utf8);
  EXPECT_TRUE(bytes) << utf8;
  return bytes.value_or("");
}

using ini::read_value;
using ini::write_value;
using ini::write_value_as_is;

TEST(IniRead, LineEndsBlanksAndComments) {
  std::string file =
      "top=before any section\r\n"
      "[Section]\r\n"
      "a=1\n"
      "b=2\r"
      "  \t c \t=  \t three words \t \r\n"
      ";d=commented\r\n"
      "  ; e=commented after blanks\r\n"
      "f=x=y\r\n"
      "g\r\n"
      "h=last line without break";
  EXPECT_EQ(read_value(file, "Section", "a"), "1");
  EXPECT_EQ(read_value(file, "Section", "b"), "2");
  EXPECT_EQ(read_value(file, "Section", "c"), "three words");
  EXPECT_EQ(read_value(file, "Section", "d"), "");
  EXPECT_EQ(read_value(file, "Section", ";d"), "");
  EXPECT_EQ(read_value(file, "Section", "e"), "");
  EXPECT_EQ(read_value(file, "Section", "f"), "x=y");
  EXPECT_EQ(read_value(file, "Section", "g"), "");
  EXPECT_EQ(read_value(file, "Section", "h"), "last line without break");
  EXPECT_EQ(read_value(file, "Section", "top"), "");
  EXPECT_EQ(read_value(file, "", "top"), "");
}

TEST(IniRead, MissingFileSectionOrKeyReadEmpty) {
  EXPECT_EQ(read_value("", "Section", "a"), "");
  EXPECT_EQ(read_value("[Other]\r\na=1\r\n", "Section", "a"), "");
  EXPECT_EQ(read_value("[Section]\r\nb=1\r\n", "Section", "a"), "");
  EXPECT_EQ(read_value("[Section]\r\na=\r\n", "Section", "a"), "");
}

TEST(IniRead, FirstMatchingKeyOfFirstMatchingSectionWins) {
  std::string file =
      "[Other]\r\na=other\r\n"
      "[ Section ]  trailing text\r\na=first\r\nA=second\r\n"
      "[section]\r\na=third\r\nb=only in the second copy\r\n";
  EXPECT_EQ(read_value(file, "Section", "a"), "first");
  EXPECT_EQ(read_value(file, "Section", "b"), "");
  EXPECT_EQ(read_value(file, "Other", "a"), "other");
}

TEST(IniRead, OneOuterPairOfEqualQuotesIsRemoved) {
  std::string file =
      "[S]\r\n"
      "a=\"quoted\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"\r\ne=\"\"\r\n"
      "f=\"\"twice\"\"\r\ng=  \" kept blanks \"  \r\nh=in\"side\"\r\n";
  EXPECT_EQ(read_value(file, "S", "a"), "quoted");
  EXPECT_EQ(read_value(file, "S", "b"), "single");
  EXPECT_EQ(read_value(file, "S", "c"), "\"mixed'");
  EXPECT_EQ(read_value(file, "S", "d"), "\"");
  EXPECT_EQ(read_value(file, "S", "e"), "");
  EXPECT_EQ(read_value(file, "S", "f"), "\"twice\"");
  EXPECT_EQ(read_value(file, "S", "g"), " kept blanks ");
  EXPECT_EQ(read_value(file, "S", "h"), "in\"side\"");
}

TEST(IniRead, OpenBracketWithoutCloseIsNoHeader) {
  // The broken line neither starts a section nor ends the one above it.
  std::string file = "[S]\r\na=1\r\n[T\r\nb=2\r\n";
  EXPECT_EQ(read_value(file, "S", "b"), "2");
  EXPECT_EQ(read_value(file, "T", "b"), "");
  EXPECT_EQ(read_value(file, "S", "[T"), "");
}

TEST(IniRead, HeaderScanStepsOverTwoByteCharacters) {
  // "ソ" is 83 5C, "ゾ" 83 5D and "表" 95 5C: their second bytes are "\" and
  // "]", which must not end the section name.
  for (auto [header, name] : std::initializer_list<std::pair<const char*, const char*>>{
           {"ゾ", "ゾ"}, {"ソ", "ソ"}, {"表示", "表示"}, {"ゾ]x", "ゾ"}}) {
    std::string file = "[" + sj(header) + "]\r\nkey=found\r\n";
    EXPECT_EQ(read_value(file, sj(name), "key"), "found") << header;
  }
  // A lone lead byte before "]" takes the bracket with it: no header.
  EXPECT_EQ(read_value("[ab\x81]\r\nkey=x\r\n", "ab\x81", "key"), "");
  EXPECT_EQ(read_value("[ab\x81]\r\nkey=x\r\n", "ab", "key"), "");
}

TEST(IniRead, NamesMatchWithoutRegardToCaseAsWindowsFolds) {
  std::string file = "[SECTION]\r\n" + sj("ＫＥＹ") + "=fullwidth\r\n" + sj("ΑΒΓ") + "=greek\r\n" +
                     sj("ДОМ") + "=cyrillic\r\n" + sj("ⅠⅡⅢ") + "=roman\r\n" + sj("あ") +
                     "=hiragana\r\n" + sj("ｱ") + "=halfwidth\r\n" + sj("Ё") + "=io\r\n";
  EXPECT_EQ(read_value(file, "section", sj("ｋｅｙ")), "fullwidth");
  EXPECT_EQ(read_value(file, "Section", sj("αβγ")), "greek");
  EXPECT_EQ(read_value(file, "Section", sj("дом")), "cyrillic");
  EXPECT_EQ(read_value(file, "Section", sj("ⅰⅱⅲ")), "roman");
  EXPECT_EQ(read_value(file, "Section", sj("ё")), "io");
  // Width and kana type are not folded.
  EXPECT_EQ(read_value(file, "Section", "KEY"), "");
  EXPECT_EQ(read_value(file, "Section", sj("ア")), "");
  EXPECT_EQ(read_value(file, "Section", sj("ｱ")), "halfwidth");
  EXPECT_EQ(read_value(file, "Section", sj("あ")), "hiragana");
}

TEST(CaseFold, InvalidBytesOnlyMatchThemselves) {
  EXPECT_TRUE(names_match("a\xff", "A\xff"));
  EXPECT_FALSE(names_match("a\xfe", "a\xff"));
  EXPECT_FALSE(names_match("\x81", "\x82"));
  EXPECT_TRUE(names_match("\x81", "\x81"));
}

// Every character code page 932 holds, one per entry.
std::set<char32_t> cp932_repertoire() {
  std::set<char32_t> chars;
  auto add = [&](std::string bytes) {
    std::u32string u = cp932_to_utf32_lossless(bytes);
    if (u.size() == 1 && (u[0] < 0xDC00 || u[0] > 0xDCFF)) chars.insert(u[0]);
  };
  for (int b = 0; b < 256; ++b) add(std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      add(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  return chars;
}

// The system's own lower case of one character: the C library's full
// Unicode table on Linux, the system's table (which the profile functions
// fold with) on Windows.
#ifdef _WIN32
char32_t system_lower(char32_t c) {
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return w;
}
#else
char32_t system_lower(char32_t c) {
  return static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
}
#endif

TEST(CaseFold, TableCoversEveryCasedLetterOfTheCodePage) {
#ifndef _WIN32
  const char* old = std::setlocale(LC_CTYPE, nullptr);
  std::string saved = old ? old : "C";
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
#endif
  std::set<char32_t> chars = cp932_repertoire();
  ASSERT_GT(chars.size(), 7000u);
  // The groups of characters that fold together must be those of the C
  // library's full Unicode table, restricted to what the code page holds.
  std::map<char32_t, std::set<char32_t>> by_library;
  std::map<char32_t, std::set<char32_t>> by_table;
  for (char32_t c : chars) {
    by_library[system_lower(c)].insert(c);
    by_table[fold_case(c)].insert(c);
  }
  size_t pairs = 0;
  for (char32_t c : chars) {
    const auto& library_group = by_library[system_lower(c)];
    EXPECT_EQ(library_group, by_table[fold_case(c)]) << std::hex << static_cast<uint32_t>(c);
    if (library_group.size() > 1) ++pairs;
  }
#ifndef _WIN32
  std::setlocale(LC_CTYPE, saved.c_str());
#endif
  // ASCII, Greek, Cyrillic, full-width Latin and Roman numerals: 26 + 24 + 33
  // + 26 + 10 pairs.
  EXPECT_EQ(pairs, 2u * (26 + 24 + 33 + 26 + 10));
}

TEST(CaseFold, LengthShortcutIsSound) {
  // names_match rejects names of different byte lengths outright; that only
  // holds if no one-byte character equals a two-byte one after folding.
  std::map<char32_t, std::set<size_t>> lengths;
  auto add = [&](std::string bytes) {
    std::u32string u = cp932_to_utf32_lossless(bytes);
    if (u.size() == 1) lengths[fold_case(u[0])].insert(bytes.size());
  };
  for (int b = 0; b < 256; ++b) add(std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      add(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  for (const auto& [c, sizes] : lengths) {
    EXPECT_EQ(sizes.size(), 1u) << std::hex << static_cast<uint32_t>(c);
  }
}

TEST(IniWrite, NewFileHasHeaderAndKeyWithCrlf) {
  std::string file;
  ASSERT_TRUE(write_value(file, "Section", "k", "v").ok);
  EXPECT_EQ(file, "[Section]\r\nk=v\r\n");
  ASSERT_TRUE(write_value_as_is(file, "Section", "n", " 1").ok);
  EXPECT_EQ(file, "[Section]\r\nk=v\r\nn= 1\r\n");
  EXPECT_EQ(read_value(file, "Section", "n"), "1");
}

TEST(IniWrite, MissingKeyGoesAfterTheLastKeyLineOfItsSection) {
  std::string file =
      "; head\r\n"
      "[A]\r\n"
      "x=1\r\n"
      "\r\n"
      "; about B\r\n"
      "[B]\r\n"
      "y=2\n"
      "z\n"
      "\n"
      "; trailing comment\n";
  ASSERT_TRUE(write_value(file, "a", "new", "v").ok);
  ASSERT_TRUE(write_value(file, "B", "new", "w").ok);
  EXPECT_EQ(file,
            "; head\r\n"
            "[A]\r\n"
            "x=1\r\n"
            "new=v\r\n"
            "\r\n"
            "; about B\r\n"
            "[B]\r\n"
            "y=2\n"
            "z\n"
            "new=w\r\n"
            "\n"
            "; trailing comment\n");
}

TEST(IniWrite, EmptySectionGetsKeyRightAfterItsHeader) {
  std::string file = "[A]\r\n; note\r\n[B]\r\nq=1\r\n";
  ASSERT_TRUE(write_value(file, "A", "k", "v").ok);
  EXPECT_EQ(file, "[A]\r\nk=v\r\n; note\r\n[B]\r\nq=1\r\n");
}

TEST(IniWrite, MissingSectionIsAppendedAndAnUnfinishedLastLineEnded) {
  std::string file = "[Other]\r\nq=1";
  ASSERT_TRUE(write_value(file, "Section", "k", "v").ok);
  EXPECT_EQ(file, "[Other]\r\nq=1\r\n[Section]\r\nk=v\r\n");

  file = "[Section]\r\nq=1";
  ASSERT_TRUE(write_value(file, "Section", "k", "v").ok);
  EXPECT_EQ(file, "[Section]\r\nq=1\r\nk=v\r\n");

  file = "[Section]";
  ASSERT_TRUE(write_value(file, "Section", "k", "v").ok);
  EXPECT_EQ(file, "[Section]\r\nk=v\r\n");

  file = "[Other]\rq=1\r";
  ASSERT_TRUE(write_value(file, "Section", "k", "v").ok);
  EXPECT_EQ(file, "[Other]\rq=1\r[Section]\r\nk=v\r\n");
}

TEST(IniWrite, ExistingValueIsReplacedInItsOwnLine) {
  std::string file =
      "[other]\r\nKEY=other section\r\n"
      "[SECTION]\n"
      "\t Key \t=  old value  \n"
      "key=second copy\r"
      "after=1";
  ASSERT_TRUE(write_value(file, "Section", "key", "new").ok);
  EXPECT_EQ(file,
            "[other]\r\nKEY=other section\r\n"
            "[SECTION]\n"
            "\t Key \t=new\n"
            "key=second copy\r"
            "after=1");
  ASSERT_TRUE(write_value(file, "Section", "after", "2").ok);
  EXPECT_TRUE(file.ends_with("\rafter=2"));
}

TEST(IniWrite, KeyWithoutEqualsGetsItsValue) {
  std::string file = "[S]\r\nk  \r\nz=1\r\n";
  ASSERT_TRUE(write_value(file, "S", "K", "v").ok);
  EXPECT_EQ(file, "[S]\r\nk  =v\r\nz=1\r\n");
}

TEST(IniWrite, ValuesComeBackWhole) {
  std::string long_value(100000, 'x');
  long_value += sj("画像のﾌｫﾙﾀﾞ");
  for (std::string value :
       {std::string("plain"), std::string(""), std::string("\"quoted\""), std::string("'q'"),
        std::string(" leading"), std::string("trailing\t"), std::string("\"\""), std::string("\""),
        std::string("'mixed\""), std::string(" \"both\" "), std::string("a;b"), std::string("[x]"),
        std::string("=equals="), long_value}) {
    std::string file = "[S]\r\nk=old\r\n";
    ASSERT_TRUE(write_value(file, "S", "k", value).ok) << value;
    EXPECT_EQ(read_value(file, "S", "k"), value);
  }
}

TEST(IniWrite, RefusesWhatTheReaderCouldNotGiveBack) {
  const std::string original = "[S]\r\nk=old\r\n[k\r\n";
  struct Case {
    std::string section, key, value;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"S", "k", "line\r\nbreak"},
           {"S", "k", "cr\ronly"},
           {"S", "k", "lf\nonly"},
           {"S", "k", std::string("nul\0byte", 8)},
           {"S]", "k", "v"},
           {"", "k", "v"},
           {" S", "k", "v"},
           {"S\x81", "k", "v"},
           {"S", "", "v"},
           {"S", "k=", "v"},
           {"S", " k", "v"},
           {"S", ";k", "v"},
           {"S", "[k]", "v"},
           {"S", "k\n", "v"},
           {"S", "[k", "x]"},  // "[k=x]" would read as a section header
           {"S", "[K", "]"},
       }) {
    std::string file = original;
    ini::Edit e = write_value(file, c.section, c.key, c.value);
    EXPECT_FALSE(e.ok) << c.section << "/" << c.key;
    EXPECT_FALSE(e.refusal.empty());
    EXPECT_EQ(file, original);
  }
}

TEST(IniWrite, WritesIntoSectionWithTwoByteName) {
  std::string section = sj("ゾ表");
  std::string file;
  ASSERT_TRUE(write_value(file, section, "k", "1").ok);
  ASSERT_TRUE(write_value(file, section, "k", "2").ok);
  EXPECT_EQ(file, "[" + section + "]\r\nk=2\r\n");
}

}  // namespace
}  // namespace vs
