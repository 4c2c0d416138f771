// Case-insensitive comparison of names in the settings file, folded the way
// the Windows profile functions fold them: after decoding from code page 932,
// so full-width letters fold too, while kana (and half-width against
// full-width forms) never match each other.
#pragma once

#include <string_view>

namespace vs {

// The lower-case partner of a letter that code page 932 can hold, else c.
char32_t fold_case(char32_t c);

// True when two code page 932 names are equal without regard to letter case.
// Bytes that are not valid code page 932 only ever match themselves.
bool names_match(std::string_view a, std::string_view b);

}  // namespace vs
