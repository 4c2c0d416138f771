#include "startup/command_line.h"

#include "core/numeric.h"

namespace vs {

namespace {

std::string_view from_fourth(std::string_view s) {
  return s.size() > 3 ? s.substr(3) : "";
}

}  // namespace

int64_t preview_handle(std::string_view argument_string) {
  double v = leading_number(from_fourth(argument_string));
  std::optional<int32_t> h = to_int32(round_half_even(v));
  return h ? *h : 0;
}

std::optional<int32_t> password_handle(std::string_view argument_string) {
  std::optional<double> v = parse_number(from_fourth(argument_string));
  if (!v) return std::nullopt;
  return to_int32(round_half_even(*v));
}

}  // namespace vs
