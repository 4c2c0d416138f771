#include "core/numeric.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vs {

int64_t round_half_even(double v) {
  if (std::isnan(v)) return 0;
  // 2^63 as a double; anything at or beyond it cannot be an int64.
  constexpr double kLimit = 9223372036854775808.0;
  if (v >= kLimit) return std::numeric_limits<int64_t>::max();
  if (v < -kLimit) return std::numeric_limits<int64_t>::min();
  // nearbyint follows the current rounding mode, which is to-nearest-even
  // unless someone changed it; std::rint would do the same. Be explicit.
  double fl = std::floor(v);
  double diff = v - fl;
  double r;
  if (diff > 0.5) {
    r = fl + 1.0;
  } else if (diff < 0.5) {
    r = fl;
  } else {
    r = std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
  }
  if (r >= kLimit) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(r);
}

std::optional<int16_t> to_int16(int64_t v) {
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int16_t>(v);
}

std::optional<int32_t> to_int32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(v);
}

std::optional<int64_t> int_div(double a, double b) {
  int64_t ia = round_half_even(a);
  int64_t ib = round_half_even(b);
  if (ib == 0) return std::nullopt;
  if (ib == -1 && ia == std::numeric_limits<int64_t>::min()) return std::nullopt;
  return ia / ib;  // C++ division truncates towards zero
}

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// from_chars rather than strtod: the reading must not depend on the locale.
std::optional<double> to_double(std::string_view t) {
  double v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace

std::optional<double> parse_number(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && is_blank(text[b])) ++b;
  while (e > b && is_blank(text[e - 1])) --e;
  std::string_view t = text.substr(b, e - b);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < t.size() && is_digit(t[j])) ++j, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    i = j;
  }
  if (i != t.size()) return std::nullopt;
  return to_double(t.substr(t[0] == '+' ? 1 : 0));
}

std::optional<int16_t> parse_floor_int16(std::string_view text) {
  std::optional<double> v = parse_number(text);
  if (!v) return std::nullopt;
  double f = std::floor(*v);
  if (f < -32768.0 || f > 32767.0) return std::nullopt;
  return static_cast<int16_t>(f);
}

double leading_number(std::string_view text) {
  std::string compact;
  for (char c : text) {
    if (!is_blank(c) && c != '\n' && c != '\r') compact.push_back(c);
  }
  size_t i = 0;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) ++i;
  size_t digits = 0;
  while (i < compact.size() && is_digit(compact[i])) ++i, ++digits;
  if (i < compact.size() && compact[i] == '.') {
    ++i;
    while (i < compact.size() && is_digit(compact[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E')) {
    size_t j = i + 1;
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < compact.size() && is_digit(compact[j])) ++j, ++exp_digits;
    if (exp_digits > 0) i = j;
  }
  std::string_view num(compact.data(), i);
  return to_double(num.substr(num[0] == '+' ? 1 : 0)).value_or(0.0);
}

}  // namespace vs
