#include "core/cp932.h"

#include <algorithm>
#include <cstdint>

#include "core/cp932_table.h"
#include "core/utf8.h"

namespace vs {

namespace {

using cp932_table::kTrailsPerRow;

// The user-defined rows hold the private-use area from U+E000 on, in the
// order of their codes: a rule, not a table.
constexpr unsigned kFirstUserDefinedLead = 0xF0;
constexpr unsigned kLastUserDefinedLead = 0xF9;
constexpr char32_t kFirstUserDefined = 0xE000;
constexpr char32_t kLastUserDefined =
    kFirstUserDefined + (kLastUserDefinedLead - kFirstUserDefinedLead + 1) * kTrailsPerRow - 1;

// Half-width katakana are the single bytes 0xA1 to 0xDF.
constexpr unsigned kFirstKatakanaByte = 0xA1;
constexpr unsigned kLastKatakanaByte = 0xDF;
constexpr char32_t kFirstKatakana = 0xFF61;
constexpr char32_t kLastKatakana = kFirstKatakana + (kLastKatakanaByte - kFirstKatakanaByte);

// The place of a second byte in its row, or -1 when no code ends in it.
int trail_index(unsigned trail) {
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return -1;
  return static_cast<int>(trail - 0x40 - (trail > 0x7F ? 1 : 0));
}

unsigned trail_at(unsigned index) {
  return index + 0x40 + (index >= 0x3F ? 1 : 0);
}

// The character of a two-byte code, or 0 when it is none.
char32_t two_byte_character(unsigned lead, unsigned trail) {
  const int index = trail_index(trail);
  if (index < 0) return 0;
  if (lead >= kFirstUserDefinedLead && lead <= kLastUserDefinedLead) {
    return kFirstUserDefined + (lead - kFirstUserDefinedLead) * kTrailsPerRow + index;
  }
  const uint8_t row = cp932_table::kRowOfLead[lead];
  if (row == cp932_table::kNoRow) return 0;
  return cp932_table::kRows[row * kTrailsPerRow + index];
}

char32_t two_byte_character(uint16_t code) {
  return two_byte_character(code >> 8, code & 0xFF);
}

struct Character {
  char32_t code_point = 0;
  size_t length = 0;  // 0: the bytes start no character
};

Character first_character(std::string_view bytes) {
  const auto byte = static_cast<unsigned char>(bytes[0]);
  if (byte < 0x80) return {byte, 1};
  if (byte >= kFirstKatakanaByte && byte <= kLastKatakanaByte) {
    return {kFirstKatakana + (byte - kFirstKatakanaByte), 1};
  }
  if (bytes.size() >= 2) {
    const char32_t c = two_byte_character(byte, static_cast<unsigned char>(bytes[1]));
    if (c != 0) return {c, 2};
  }
  return {};
}

// Appends the code of c; false when code page 932 has none. A character with
// several codes (the NEC and IBM rows repeat some) is written as the table
// says, the code Windows writes too.
bool append_code(char32_t c, std::string& out) {
  auto put = [&out](unsigned byte) { out += static_cast<char>(byte); };
  if (c < 0x80) {
    put(c);
    return true;
  }
  if (c >= kFirstKatakana && c <= kLastKatakana) {
    put(kFirstKatakanaByte + (c - kFirstKatakana));
    return true;
  }
  if (c >= kFirstUserDefined && c <= kLastUserDefined) {
    const unsigned offset = c - kFirstUserDefined;
    put(kFirstUserDefinedLead + offset / kTrailsPerRow);
    put(trail_at(offset % kTrailsPerRow));
    return true;
  }
  const uint16_t* begin = cp932_table::kCodesByCharacter;
  const uint16_t* end = begin + cp932_table::kCodesByCharacterCount;
  const uint16_t* found = std::lower_bound(begin, end, c, [](uint16_t code, char32_t wanted) {
    return two_byte_character(code) < wanted;
  });
  if (found == end || two_byte_character(*found) != c) return false;
  put(*found >> 8);
  put(*found & 0xFF);
  return true;
}

}  // namespace

std::optional<std::string> utf8_to_cp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  // A malformed sequence decodes as U+FFFD, which code page 932 lacks: it is
  // refused with the characters the code page cannot hold.
  for (char32_t c : decode_utf8(utf8)) {
    if (!append_code(c, out)) return std::nullopt;
  }
  return out;
}

std::optional<std::string> cp932_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  while (!bytes.empty()) {
    const Character c = first_character(bytes);
    if (c.length == 0) return std::nullopt;
    out += encode_utf8(c.code_point);
    bytes.remove_prefix(c.length);
  }
  return out;
}

std::u32string cp932_to_utf32_lossless(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    Character c = first_character(bytes);
    if (c.length == 0) {
      // One byte that does not start a valid character: kept apart, and the
      // next byte starts afresh.
      c = {char32_t{0xDC00} + static_cast<unsigned char>(bytes[0]), 1};
    }
    out.push_back(c.code_point);
    bytes.remove_prefix(c.length);
  }
  return out;
}

}  // namespace vs
