// What both editions know of a PNG file before a library decodes it, read
// by our own bounds-checked chunk walk: the header chunk (its length, its
// checksum, the size and a valid bit depth for the colour type), whether an
// ICC profile is embedded, the orientation its EXIF chunk gives, and whether the file can hold all
// its picture. The Linux edition's libpng and the Windows edition's decoder each check some of this
// in their own words; the walk gives the same reason for the same file on both.
#pragma once

#include <cstdint>
#include <string_view>

#include "pictures/structure_check.h"

namespace vs {

struct PngStructure : StructureCheck {
  int bit_depth = 0;
  int colour_type = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  bool interlaced = false;
  bool has_icc_profile = false;    // an iCCP chunk before the picture data
  int orientation = 1;             // from an eXIf chunk, as EXIF numbers it
  int64_t picture_data_bytes = 0;  // all IDAT chunks' data, compressed
};

// problem is "" when libpng may be given the file, else "not a PNG file",
// "truncated PNG data", "corrupt PNG data (...)" or the picture size's
// reason ("picture too large (...)").
PngStructure read_png_structure(std::string_view bytes);

}  // namespace vs
