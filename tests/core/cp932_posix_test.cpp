// Our code page 932 table checked against the one it was made from, the C
// library's iconv "CP932": every code read, every character of the first
// plane written. A table edited by hand, or made on a C library whose table
// differs, shows here.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/cp932.h"
#include "core/utf8.h"

namespace vs {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // All of in converted, or nothing when any of it cannot be.
  std::optional<std::string> operator()(std::string_view in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in.data());
    size_t source_left = in.size();
    char buffer[256];
    char* out = buffer;
    size_t out_left = sizeof buffer;
    if (iconv(cd_, &source, &source_left, &out, &out_left) == static_cast<size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1) ||
        source_left != 0) {
      return std::nullopt;
    }
    return std::string(buffer, sizeof buffer - out_left);
  }

 private:
  iconv_t cd_;
};

std::string code_bytes(unsigned code) {
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

TEST(Cp932AgainstIconv, EveryCodeReadsAsIconvReadsIt) {
  Iconv read("UTF-8", "CP932");
  ASSERT_TRUE(read.ok());
  int characters = 0;
  auto check = [&](unsigned code) {
    const std::string bytes = code_bytes(code);
    const std::optional<std::string> expected = read(bytes);
    EXPECT_EQ(cp932_to_utf8(bytes), expected) << std::hex << code;
    const std::u32string wide = cp932_to_utf32_lossless(bytes);
    if (expected) {
      ++characters;
      ASSERT_EQ(wide.size(), 1u) << std::hex << code;
      EXPECT_EQ(encode_utf8(wide[0]), *expected) << std::hex << code;
    } else {
      // Not a character: its first byte kept apart.
      ASSERT_FALSE(wide.empty()) << std::hex << code;
      EXPECT_EQ(wide[0], 0xDC00u + static_cast<unsigned char>(bytes[0])) << std::hex << code;
    }
  };
  for (unsigned byte = 0; byte < 0x100; ++byte) check(byte);
  // Every first byte that is no character by itself, with every second.
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA1 && lead <= 0xDF) continue;
    for (unsigned trail = 0; trail < 0x100; ++trail) check(lead << 8 | trail);
  }
  // ASCII and the katakana, the two-byte table and the user-defined rows.
  EXPECT_EQ(characters, 128 + 63 + 7724 + 1880);
}

TEST(Cp932AgainstIconv, EveryCharacterIsWrittenAsIconvWritesIt) {
  Iconv write("CP932", "UTF-8");
  Iconv read("UTF-8", "CP932");
  ASSERT_TRUE(write.ok() && read.ok());
  int written = 0;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string utf8 = encode_utf8(c);
    std::optional<std::string> expected = write(utf8);
    // iconv also writes look-alikes ("¥" as "\"), which read back as
    // another character: those the code page does not hold.
    if (expected && read(*expected) != utf8) expected.reset();
    EXPECT_EQ(utf8_to_cp932(utf8), expected) << std::hex << static_cast<uint32_t>(c);
    if (expected) ++written;
  }
  EXPECT_EQ(written, 128 + 63 + 7326 + 1880);
  EXPECT_EQ(utf8_to_cp932(encode_utf8(0x10000)), std::nullopt);
  EXPECT_EQ(utf8_to_cp932(encode_utf8(0x2000B)), std::nullopt);
}

TEST(Cp932AgainstIconv, TextsRoundTripAsWithIconv) {
  Iconv write("CP932", "UTF-8");
  ASSERT_TRUE(write.ok());
  const char* texts[] = {
      "C:\\Users\\山田\\Pictures\\ｶﾒﾗ ロール",
      "≒≡∫∮√⊥∠∟⊿∵∩∪￢",
      "ⅰⅱⅲⅳⅴⅵⅶⅷⅸⅹⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩ",
      "纊褜鍈銈蓜俉炻昱棈鋹曻彅丨仡仼伀伃伹佖侒侊侚侔俍偀倢俿倞偆偰偂傔僴僘兊兤冝冾凬刕劜劦勀勛匀",
      "㈱№℡￤＇＂",
      "\xEE\x80\x80\xEE\x9D\x97",  // U+E000 and U+E757, the user-defined rows' ends
  };
  for (const char* text : texts) {
    const std::optional<std::string> bytes = utf8_to_cp932(text);
    ASSERT_TRUE(bytes) << text;
    EXPECT_EQ(bytes, write(text)) << text;
    EXPECT_EQ(cp932_to_utf8(*bytes), text) << text;
  }
}

}  // namespace
}  // namespace vs
