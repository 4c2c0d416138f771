// A BMP writer by hand, every header variant the decoder accepts: for the
// sample generator and the tests of both editions (it needs no library).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/surface.h"

namespace vs::samples {

using Bytes = std::string;

inline void put8(Bytes& b, uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
}
inline void put16(Bytes& b, uint32_t v) {
  put8(b, v), put8(b, v >> 8);
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v), put16(b, v >> 16);
}

// ---------------------------------------------------------------- BMP ----

struct BmpSpec {
  int width = 0;
  int height = 0;  // rows in `rows`; written negative when top_down
  int bits = 24;
  uint32_t compression = 0;
  bool top_down = false;
  uint32_t header_size = 40;      // 12 (OS/2 core), 40, 108 (V4) or 124 (V5)
  std::vector<uint32_t> masks;    // after a 40-byte header, or inside V4/V5
  std::vector<uint32_t> palette;  // as pixels
  Bytes data;                     // the encoded pixel data, in file order
};

inline Bytes write_bmp(const BmpSpec& s) {
  const bool core = s.header_size == 12;
  Bytes head;
  put32(head, s.header_size);
  if (core) {
    put16(head, static_cast<uint32_t>(s.width)), put16(head, static_cast<uint32_t>(s.height));
    put16(head, 1), put16(head, static_cast<uint32_t>(s.bits));
  } else {
    put32(head, static_cast<uint32_t>(s.width));
    put32(head, static_cast<uint32_t>(s.top_down ? -s.height : s.height));
    put16(head, 1), put16(head, static_cast<uint32_t>(s.bits));
    put32(head, s.compression), put32(head, static_cast<uint32_t>(s.data.size()));
    put32(head, 3780), put32(head, 3780);  // 96 dpi
    put32(head, static_cast<uint32_t>(s.palette.size())), put32(head, 0);
    if (s.header_size > 40) {
      for (size_t i = 0; i < 4; ++i) put32(head, i < s.masks.size() ? s.masks[i] : 0);
      put32(head, 0x73524742);  // 'sRGB'
    }
    head.resize(s.header_size, '\0');
    if (s.header_size == 40) {
      for (uint32_t m : s.masks) put32(head, m);
    }
  }
  for (uint32_t c : s.palette) {
    put8(head, c), put8(head, c >> 8), put8(head, c >> 16);
    if (!core) put8(head, 0);
  }
  Bytes file = "BM";
  put32(file, static_cast<uint32_t>(14 + head.size() + s.data.size()));
  put32(file, 0);
  put32(file, static_cast<uint32_t>(14 + head.size()));
  return file + head + s.data;
}

// Rows of 1 to 8 bit indices (index(x, y) gives the index of a pixel in
// picture order) or of 16/24/32-bit pixels, padded to 32 bits, in file order.
template <class PixelBits>
Bytes encode_rows(int width, int height, int bits, bool top_down, PixelBits pixel_bits) {
  Bytes out;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  for (int r = 0; r < height; ++r) {
    const int y = top_down ? r : height - 1 - r;
    Bytes row(stride, '\0');
    for (int x = 0; x < width; ++x) {
      uint32_t v = pixel_bits(x, y);
      if (bits < 8) {
        size_t bit = static_cast<size_t>(x) * bits;
        row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - bits - bit % 8)));
      } else {
        for (int k = 0; k < bits / 8; ++k)
          row[static_cast<size_t>(x) * (bits / 8) + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
      }
    }
    out += row;
  }
  return out;
}

// RLE8 or RLE4, bottom-up: runs of equal indices (pairs of indices for
// RLE4) as encoded runs, the rest as absolute runs, one end of line per row.
template <class Index>
Bytes encode_rle(int width, int height, bool rle4, Index index) {
  Bytes out;
  for (int y = height - 1; y >= 0; --y) {
    int x = 0;
    while (x < width) {
      int run = 1;
      while (x + run < width && run < 255 && index(x + run, y) == index(x, y)) ++run;
      if (run >= 3 || width - x < 3) {
        put8(out, static_cast<uint32_t>(run));
        uint32_t v = static_cast<uint32_t>(index(x, y));
        put8(out, rle4 ? (v << 4) | v : v);
        x += run;
        continue;
      }
      // Absolute run up to the next stretch of three equal indices.
      int n = 0;
      while (x + n < width && n < 255 &&
             !(x + n + 2 < width && index(x + n, y) == index(x + n + 1, y) &&
               index(x + n, y) == index(x + n + 2, y))) {
        ++n;
      }
      if (n < 3) n = std::min(3, width - x);
      put8(out, 0), put8(out, static_cast<uint32_t>(n));
      Bytes chunk;
      for (int k = 0; k < n; ++k) {
        uint32_t v = static_cast<uint32_t>(index(x + k, y));
        if (!rle4) {
          put8(chunk, v);
        } else if (k % 2 == 0) {
          put8(chunk, v << 4);
        } else {
          chunk.back() = static_cast<char>(chunk.back() | v);
        }
      }
      if (chunk.size() % 2) put8(chunk, 0);
      out += chunk;
      x += n;
    }
    put8(out, 0), put8(out, y == 0 ? 1 : 0);  // end of line, or of bitmap
  }
  return out;
}

}  // namespace vs::samples
