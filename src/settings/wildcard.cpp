#include "settings/wildcard.h"

namespace vs {

namespace {

char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// One past the character that starts at i.
size_t next_char(std::string_view s, size_t i) {
  ++i;
  while (i < s.size() && is_continuation(s[i])) ++i;
  return i;
}

}  // namespace

// The usual greedy match with one back-track point: on a mismatch, the last
// "*" takes one more character of the name and the match resumes after it.
bool wildcard_match(std::string_view pattern, std::string_view name) {
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string_view::npos;  // pattern position after the last "*"
  size_t star_n = 0;                     // name position that "*" reached
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_n = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n = next_char(name, n);
    } else if (p < pattern.size() && fold(pattern[p]) == fold(name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star;
      star_n = next_char(name, star_n);
      n = star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace vs
