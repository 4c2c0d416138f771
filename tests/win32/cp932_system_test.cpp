// Our code page 932 table checked against the system's own, the table the
// settings file was always written with on Windows: every code read, every
// character of the first plane written.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/cp932.h"
#include "core/utf8.h"

namespace vs {
namespace {

constexpr UINT kCp932 = 932;

std::string code_bytes(unsigned code) {
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// The one character the system reads the bytes as, or nothing.
std::optional<char32_t> system_read(const std::string& bytes) {
  wchar_t wide[4];
  const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), wide, 4);
  if (n != 1) return std::nullopt;
  return static_cast<char32_t>(wide[0]);
}

std::optional<std::string> system_write(char32_t c) {
  const wchar_t wide = static_cast<wchar_t>(c);
  char out[4];
  BOOL used_default = FALSE;
  const int n =
      WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, &wide, 1, out, 4, nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  return std::string(out, static_cast<size_t>(n));
}

TEST(Cp932AgainstSystem, EveryCodeReadsAsTheSystemReadsIt) {
  for (unsigned code = 0; code < 0x10000; ++code) {
    const unsigned lead = code >> 8;
    if (lead != 0 && (lead < 0x81 || (lead > 0x9F && lead < 0xE0) || lead > 0xFC)) continue;
    const std::string bytes = code_bytes(code);
    std::optional<char32_t> expected = system_read(bytes);
    // The system passes the single bytes 0x80, 0xA0 and 0xFD to 0xFF through
    // as control and private-use characters; they are no characters of the
    // code page, and the Linux edition's table never had them.
    if (code == 0x80 || code == 0xA0 || (code >= 0xFD && code <= 0xFF)) expected.reset();
    std::optional<std::string> ours = cp932_to_utf8(bytes);
    EXPECT_EQ(ours, expected ? std::optional(encode_utf8(*expected)) : std::nullopt)
        << std::hex << code;
  }
}

TEST(Cp932AgainstSystem, EveryCharacterIsWrittenAsTheSystemWritesIt) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::optional<std::string> expected = system_write(c);
    // A code that reads as another character (or as none) is a look-alike.
    if (expected && cp932_to_utf8(*expected) != encode_utf8(c)) expected.reset();
    EXPECT_EQ(utf8_to_cp932(encode_utf8(c)), expected) << std::hex << static_cast<uint32_t>(c);
  }
}

}  // namespace
}  // namespace vs
