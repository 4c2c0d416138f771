// Wildcard masks as directory listings match them: "*" stands for any run
// of characters, "?" for exactly one, and letters match without regard to
// ASCII case, so "*.jpg" also finds "X.JPG".
#pragma once

#include <string_view>

namespace vs {

// True when the whole of name matches the pattern. A UTF-8 sequence counts
// as one character; any other byte counts as one character by itself.
bool wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace vs
