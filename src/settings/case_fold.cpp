#include "settings/case_fold.h"

#include <string>

#include "core/cp932.h"

namespace vs {

namespace {

bool is_ascii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

// Code page 932 holds cased letters only in these blocks, so this short table
// is the whole of the folding that can ever apply to its text.
char32_t fold_case(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  // Greek capitals (U+03A2 is unassigned, and code page 932 has no final sigma).
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;
  if (c == 0x0401) return 0x0451;                   // Cyrillic IO
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // Cyrillic capitals
  if (c >= 0x2160 && c <= 0x216F) return c + 0x10;  // Roman numerals
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // full-width Latin
  return c;
}

bool names_match(std::string_view a, std::string_view b) {
  // Every pair of characters that folds together has the same length in
  // code page 932, so names of different lengths never match.
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  if (is_ascii(a) && is_ascii(b)) {
    for (size_t i = 0; i < a.size(); ++i) {
      if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
  }
  std::u32string wa = cp932_to_utf32_lossless(a);
  std::u32string wb = cp932_to_utf32_lossless(b);
  if (wa.size() != wb.size()) return false;
  for (size_t i = 0; i < wa.size(); ++i) {
    if (fold_case(wa[i]) != fold_case(wb[i])) return false;
  }
  return true;
}

}  // namespace vs
