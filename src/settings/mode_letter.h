// The mode letter of the command line, which the start-up and the saver
// screen both test (and never store).
#pragma once

#include <string_view>

namespace vs {

// The second character of the upper-cased argument string, or 0 when it has
// fewer than two characters. The first character is never looked at, so /s,
// -s and xS all give 'S'. Recomputed at every test; never stored.
char mode_letter(std::string_view argument_string);

}  // namespace vs
