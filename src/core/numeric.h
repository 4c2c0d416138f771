// Number conventions shared by every layer: rounding, integer division, 16-bit
// values with overflow detection, and the text-to-number readings.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vs {

// Round to the nearest integer, exact halves to the even neighbour (1.5 -> 2,
// 2.5 -> 2, -0.5 -> 0). Values beyond the int64 range saturate; NaN gives 0.
int64_t round_half_even(double v);

// A 16-bit value, or nothing when v does not fit (the overflow case).
std::optional<int16_t> to_int16(int64_t v);
std::optional<int32_t> to_int32(int64_t v);

// Integer division as the drawing code uses it: both operands are rounded
// half to even first, then the quotient is truncated towards zero
// (-127 \ 2 = -63, 101 \ 2 = 50). Nothing when the divisor rounds to 0.
std::optional<int64_t> int_div(double a, double b);

// The run-time's text-to-number conversion: optional blanks, an optional
// sign, digits with an optional fraction and exponent, optional blanks.
// Anything else (empty text, letters, two numbers) is refused.
std::optional<double> parse_number(std::string_view text);

// The settings reader's rule: the largest integer not above the number, as
// a 16-bit value ("1.9" -> 1, "-0.5" -> -1). Refused when the text is not a
// number or the integer lies outside -32768..32767 ("abc", "40000").
std::optional<int16_t> parse_floor_int16(std::string_view text);

// The lenient leading-number reading used for window handles: blanks are
// skipped wherever they stand, reading stops at the first character that
// cannot continue a decimal number, and no digits at all give 0.
double leading_number(std::string_view text);

}  // namespace vs
