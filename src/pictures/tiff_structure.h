// What both editions know of a TIFF file before a library decodes it, read
// by our own bounds-checked walk of its first directory (the first page):
// the header, where the directory lies and how many entries it has, the
// picture's size, its compression, and whether the picture data the
// directory points at is all in the file. Only the first page is shown, so
// later directories are never read.
#pragma once

#include <string_view>

#include "pictures/structure_check.h"

namespace vs {

// The compressions both editions decode: none, CCITT modified Huffman and
// group 3 and 4 fax, LZW, JPEG, Deflate (both codes) and PackBits. Others,
// old-style JPEG above all (a long record of faults in every library), are
// refused with their name.
bool tiff_compression_allowed(int compression);

struct TiffStructure : StructureCheck {
  bool big = false;     // BigTIFF: 64-bit offsets
  int compression = 1;  // as the first directory names it
};

// problem is "" when the library may be given the file, else "not a TIFF
// file", "truncated TIFF data", "TIFF file holds no picture", "corrupt TIFF
// data (...)", "unsupported TIFF compression (old-style JPEG)" or the
// picture size's reason.
TiffStructure read_tiff_structure(std::string_view bytes);

}  // namespace vs
