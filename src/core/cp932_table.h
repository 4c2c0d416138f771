// The tables behind core/cp932.cpp, written by tools/make_cp932_table.py.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vs::cp932_table {

// A two-byte code's second byte runs from 0x40 to 0xFC, without 0x7F.
inline constexpr int kTrailsPerRow = 188;
inline constexpr uint8_t kNoRow = 0xFF;

// The row of kRows of each first byte, or kNoRow where it starts no
// character of the table (single bytes, empty rows, the user-defined rows,
// which are a rule in core/cp932.cpp).
extern const uint8_t kRowOfLead[256];

// The rows one after the other, kTrailsPerRow characters each, one for
// each second byte; 0 where the code is none.
extern const uint16_t kRows[];

// Every character of kRows once, by the code it is written as, in the order
// of the characters: a binary search finds a character's code.
extern const uint16_t kCodesByCharacter[];
extern const size_t kCodesByCharacterCount;

}  // namespace vs::cp932_table
