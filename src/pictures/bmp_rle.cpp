// Run-length encoded bitmaps (RLE8 and RLE4). Pixels the data never
// reaches (skipped by a delta, or left by an early end of line or bitmap)
// stay black, as the saver's screen is; any run or delta that would leave
// the bitmap makes the whole file corrupt rather than half drawn.
#include "pictures/bmp_format.h"
#include "pictures/byte_order.h"

namespace vs {

namespace {

constexpr const char* kCorrupt = "corrupt BMP RLE data";

// Follows the runs, calling paint(file_row, x, count, index_of_k) for each
// run of pixels; returns the reason when the data is corrupt or ends early.
template <class Paint>
std::string walk_rle(const BmpLayout& l, std::string_view data, Paint paint) {
  const unsigned char* p = bytes_of(data);
  const size_t n = data.size();
  const bool rle4 = l.compression == kBmpRle4;
  const int64_t w = l.width, h = l.height;
  size_t i = 0;
  int64_t x = 0, y = 0;  // y counts rows in file order
  while (i + 2 <= n) {
    const unsigned count = p[i], value = p[i + 1];
    i += 2;
    if (count > 0) {
      // Encoded run: one index repeated, or two alternating for RLE4.
      if (y >= h || x + count > w) return kCorrupt;
      paint(y, x, count,
            [&](unsigned k) { return rle4 ? ((k & 1) ? value & 0x0F : value >> 4) : value; });
      x += count;
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return {};
    } else if (value == 2) {  // delta: move right and down
      if (i + 2 > n) break;
      x += p[i];
      y += p[i + 1];
      i += 2;
      if (x > w || y > h) return kCorrupt;
    } else {
      // Absolute run of `value` indices, padded to a 16-bit boundary.
      const size_t bytes = rle4 ? (value + 1) / 2 : value;
      if (!in_range(n, i, bytes)) break;
      if (y >= h || x + value > w) return kCorrupt;
      const unsigned char* run = p + i;
      paint(y, x, value, [&](unsigned k) {
        return rle4 ? (run[k / 2] >> ((k & 1) ? 0 : 4)) & 0x0Fu : unsigned{run[k]};
      });
      x += value;
      i += bytes + (bytes & 1);
    }
  }
  // The data ran out without an end-of-bitmap: fine once every row is done.
  if (y >= h || (y == h - 1 && x == w)) return {};
  return "truncated BMP data";
}

}  // namespace

std::string check_bmp_rle(const BmpLayout& l, std::string_view data) {
  return walk_rle(l, data, [](int64_t, int64_t, unsigned, auto) {});
}

std::string decode_bmp_rle(const BmpLayout& l, std::string_view data, PictureSink& out) {
  const size_t colours = l.palette.size();
  return walk_rle(l, data, [&](int64_t y, int64_t x, unsigned count, auto index_of) {
    out.put_run(bmp_target_row(l, y), static_cast<int>(x), static_cast<int>(count), [&](int k) {
      const unsigned index = index_of(static_cast<unsigned>(k));
      return index < colours ? l.palette[index] : 0u;
    });
  });
}

}  // namespace vs
