// What a BMP file's headers say about its pixels, read by bmp_header.cpp and
// turned into a picture by bmp_decoder.cpp and bmp_rle.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/picture_sink.h"

namespace vs {

enum BmpCompression : uint32_t {
  kBmpRgb = 0,
  kBmpRle8 = 1,
  kBmpRle4 = 2,
  kBmpBitfields = 3,
  kBmpJpeg = 4,
  kBmpPng = 5,
  kBmpAlphaBitfields = 6,
};

struct BmpLayout {
  int width = 0;
  int height = 0;         // always positive; see top_down
  bool top_down = false;  // a negative height in the file
  int bits = 0;
  uint32_t compression = kBmpRgb;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  // Colours for 1 to 8 bits as pixels; indices past the end are black.
  std::vector<uint32_t> palette;
  size_t pixel_offset = 0;  // where the pixel data begins in the file
};

// Reads and checks the file and info headers, the masks and the palette.
// Returns the reason when the file cannot be decoded ("" on success). The
// size limit is checked here, the amount of pixel data by the decoders.
std::string read_bmp_layout(std::string_view bytes, BmpLayout& out);

// The ICC profile a version 5 header embeds in the file, or nothing: a
// linked profile (a file name) is never followed, and one that does not lie
// whole inside the file counts as none.
std::string_view bmp_embedded_profile(std::string_view bytes);

// The surface row that holds the file's row `r` (rows are stored bottom-up
// unless the height was negative).
inline int bmp_target_row(const BmpLayout& l, int64_t r) {
  return l.top_down ? static_cast<int>(r) : l.height - 1 - static_cast<int>(r);
}

// The reason RLE8 or RLE4 data cannot be decoded ("" when it can), found
// without drawing: a file cut short or with runs outside the bitmap is
// refused before its picture is allocated.
std::string check_bmp_rle(const BmpLayout& l, std::string_view data);

// Decodes RLE8 or RLE4 data into `out` (begun at the bitmap's size). Returns
// the reason when the data is corrupt or ends early.
std::string decode_bmp_rle(const BmpLayout& l, std::string_view data, PictureSink& out);

}  // namespace vs
