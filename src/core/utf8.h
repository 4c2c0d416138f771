// UTF-8, the program's own encoding of text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vs {

// Unicode code points of UTF-8 text; a malformed byte gives U+FFFD.
std::vector<char32_t> decode_utf8(std::string_view text);

// The code point as UTF-8.
std::string encode_utf8(char32_t cp);

}  // namespace vs
