#include "settings/mode_letter.h"

namespace vs {

char mode_letter(std::string_view argument_string) {
  // Characters, not bytes: step over a first character of several UTF-8
  // bytes. A second character outside ASCII matches no mode.
  if (argument_string.empty()) return 0;
  auto lead = static_cast<unsigned char>(argument_string[0]);
  size_t second = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (argument_string.size() <= second) return 0;
  char c = argument_string[second];
  if (static_cast<unsigned char>(c) >= 0x80) return '?';
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return c;
}

}  // namespace vs
