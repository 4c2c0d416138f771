// Code page 932 (Microsoft's Shift-JIS table), the encoding of the settings
// file. Program text is UTF-8. Converted by our own table on every system, so
// both editions read and write the file alike, whatever the system's own code
// page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vs {

// UTF-8 to code page 932; nothing when the text holds a character that code
// page 932 cannot represent or is not valid UTF-8.
std::optional<std::string> utf8_to_cp932(std::string_view utf8);

// Code page 932 to UTF-8; nothing when the bytes are not valid code page 932.
std::optional<std::string> cp932_to_utf8(std::string_view bytes);

// Code page 932 to UTF-32 for comparisons. Never fails: a byte that does not
// start a valid character becomes 0xDC00 + byte, so invalid input still
// compares consistently (and only ever equal to the same bytes).
std::u32string cp932_to_utf32_lossless(std::string_view bytes);

}  // namespace vs
