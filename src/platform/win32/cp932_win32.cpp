#include "platform/cp932.h"

namespace vs {

std::optional<std::string> utf8_to_cp932(std::string_view) {
  return std::nullopt;
}

std::optional<std::string> cp932_to_utf8(std::string_view) {
  return std::nullopt;
}

std::u32string cp932_to_utf32_lossless(std::string_view) {
  return {};
}

}  // namespace vs
