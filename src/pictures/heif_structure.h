// What both editions know of a HEIF or AVIF file (ISO base media boxes)
// before a library decodes it, read by our own bounds-checked box walk: the
// primary item, its size (the `ispe` property, turned by `irot`), every
// size the file declares for any item checked before a library allocates
// it, and whether the data of every item is in the file. The boxes and items
// are capped in number, and only the boxes that lead to these are entered.
#pragma once

#include <cstdint>
#include <string_view>

#include "pictures/structure_check.h"

namespace vs {

// Real files hold a few hundred items at most (a phone's photo is a grid
// of some tens of tiles, a thumbnail and its metadata).
inline constexpr int kMaxHeifItems = 8192;
inline constexpr int kMaxHeifBoxes = 1 << 16;
// No coded picture of either kind is wider or taller than this; only a grid
// could be, and our check and libheif's own limit both refuse one.
inline constexpr int64_t kMaxHeifSide = 65535;

struct HeifStructure : StructureCheck {
  const char* kind = "HEIF";  // "AVIF" by the file's brands; the reasons use it
  uint32_t primary_item = 0;  // its id
  int quarter_turns = 0;      // irot: anticlockwise; width and height are as shown
};

// problem is "" when the library may be given the file, else "not a HEIF
// file", "truncated HEIF data", "HEIF file holds no picture", "too many HEIF
// boxes", "too many HEIF items", "corrupt HEIF data (...)" or the picture
// size's reason ("AVIF" in place of "HEIF" for an AVIF file).
HeifStructure read_heif_structure(std::string_view bytes);

}  // namespace vs
