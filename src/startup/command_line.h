// Reading the command line: the mode letter and the window numbers that
// follow it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/mode_letter.h"

namespace vs {

// The preview window number: from the fourth character on, read as far as a
// decimal number goes (blanks skipped, no digits give 0), rounded to the
// nearest 32-bit integer. Out-of-range numbers give 0, which is no window.
int64_t preview_handle(std::string_view argument_string);

// The password-change window number: the whole text from the fourth
// character on as a 32-bit integer; nothing when it is not one.
std::optional<int32_t> password_handle(std::string_view argument_string);

}  // namespace vs
