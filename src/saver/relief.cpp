#include "saver/relief.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/numeric.h"

namespace vs {

namespace {

constexpr uint8_t kWayDots = 0;
constexpr uint8_t kWayLines = 1;
// The drawing method for a setting that no byte can hold: like every method other than
// dots and lines, it walks the picture without drawing.
constexpr uint8_t kWayNone = 255;

double lightness_of_sum(int32_t s) {
  return static_cast<double>(s * 240 + 255) / 510.0;
}

int16_t height_of(double lightness) {
  return static_cast<int16_t>(round_half_even(lightness / 5.0));
}

// The height for every mx + mn (0..510), worked out once with the very
// lightness formula, so the walk needs one table look-up per pixel.
// At namespace scope, the walk reaches it without a guard or a register.
std::array<uint8_t, 511> make_height_table() {
  std::array<uint8_t, 511> t{};
  for (int s = 0; s <= 510; ++s) t[s] = static_cast<uint8_t>(height_of(lightness_of_sum(s)));
  return t;
}
const std::array<uint8_t, 511> kHeightOfSum = make_height_table();

// The heights grow with the sum, so each height owns one band of sums:
// [kFirstSumOfHeight[h], kFirstSumOfHeight[h + 1]).
std::array<size_t, kMaxReliefHeight + 2> make_first_sums() {
  std::array<size_t, kMaxReliefHeight + 2> first{};
  size_t s = 0;
  for (int h = 0; h <= kMaxReliefHeight + 1; ++h) {
    while (s < kHeightOfSum.size() && kHeightOfSum[s] < h) ++s;
    first[static_cast<size_t>(h)] = s;
  }
  return first;
}
const std::array<size_t, kMaxReliefHeight + 2> kFirstSumOfHeight = make_first_sums();

// Max and min without branches: the compiler shares the comparisons of a
// plain three-way max and min in a branch, which picture data mispredicts.
inline uint32_t max_of_bytes(uint32_t a, uint32_t b) {
  return a ^ ((a ^ b) & (0u - static_cast<uint32_t>(a < b)));
}
inline uint32_t min_of_bytes(uint32_t a, uint32_t b) {
  return a ^ ((a ^ b) & (0u - static_cast<uint32_t>(b < a)));
}

// round_half_even(v + 0.5) for a whole v: the even one of v and v + 1.
inline int up_half_to_even(int v) {
  return v + (v & 1);
}

// Dots of one run of a row, each to the display row of its height: the
// pixel path of the walk when every column falls on the display. v is the
// first pixel's x plus the horizontal offset, rounded down.
// Four pixels at a time: the lightness sums of a group come from byte-wise
// max and min over the pixel and its green and red bytes shifted down, which
// the compiler turns into a handful of vector instructions.
using Pixels4 = uint32_t __attribute__((vector_size(16)));
using Bytes16 = uint8_t __attribute__((vector_size(16)));

inline Pixels4 lightness_sums(Pixels4 p) {
  const Bytes16 b = reinterpret_cast<Bytes16>(p);
  const Bytes16 g = reinterpret_cast<Bytes16>(p >> 8);
  const Bytes16 r = reinterpret_cast<Bytes16>(p >> 16);
  Bytes16 mx = b > g ? b : g;
  mx = mx > r ? mx : r;
  Bytes16 mn = b < g ? b : g;
  mn = mn < r ? mn : r;
  return (reinterpret_cast<Pixels4>(mx) & 0xFF) + (reinterpret_cast<Pixels4>(mn) & 0xFF);
}

template <bool kHalfX>
inline void put_dot(uint32_t p, uint32_t sum, int v, uint32_t* const* row_of_sum) {
  const int sx = kHalfX ? up_half_to_even(v) : v;
  row_of_sum[sum][sx] = p & 0xFFFFFF;
}

template <bool kHalfX>
inline void put_dots(const uint32_t* src, const uint32_t* end, int v, uint32_t* const* row_of_sum) {
  for (; end - src >= 4; src += 4, v += 4) {
    Pixels4 p;
    std::memcpy(&p, src, sizeof p);
    const Pixels4 sum = lightness_sums(p);
    put_dot<kHalfX>(p[0], sum[0], v, row_of_sum);
    put_dot<kHalfX>(p[1], sum[1], v + 1, row_of_sum);
    put_dot<kHalfX>(p[2], sum[2], v + 2, row_of_sum);
    put_dot<kHalfX>(p[3], sum[3], v + 3, row_of_sum);
  }
  for (; src != end; ++src, ++v) {
    const uint32_t p = *src;
    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    put_dot<kHalfX>(p, max_of_bytes(max_of_bytes(r, g), b) + min_of_bytes(min_of_bytes(r, g), b), v,
                    row_of_sum);
  }
}

// The line state of a row: the previous point, if any.
struct LineEnd {
  bool have = false;
  int x = 0;
  int y = 0;
};

// One point of a row in line mode, joined to the previous one.
template <bool kHalfX>
inline void line_to(Surface& display, uint32_t p, int sy, int v, LineEnd& prev) {
  const int sx = kHalfX ? up_half_to_even(v) : v;
  if (!prev.have) prev.x = sx, prev.y = sy;
  // Whole offsets step one column at a time; half offsets alternate between
  // no step and a step of two.
  if (!kHalfX || sx - prev.x <= 1) {
    display.draw_column_step(prev.x, prev.y, sx, sy, p & 0xFFFFFF);
  } else {
    display.draw_segment(prev.x, prev.y, sx, sy, p & 0xFFFFFF);
  }
  prev.x = sx, prev.y = sy;
  // A point at X exactly 0 reads as "no previous point".
  prev.have = kHalfX || sx != 0;
}

// The lines of one run of a row whose points all lie on the display: the
// pixel path of the walk in line mode.
template <bool kHalfX>
inline void put_lines(Surface& display, const uint32_t* src, const uint32_t* end, int v,
                      const int* y_of_sum, LineEnd& prev) {
  for (; end - src >= 4; src += 4, v += 4) {
    Pixels4 p;
    std::memcpy(&p, src, sizeof p);
    const Pixels4 sum = lightness_sums(p);
    line_to<kHalfX>(display, p[0], y_of_sum[sum[0]], v, prev);
    line_to<kHalfX>(display, p[1], y_of_sum[sum[1]], v + 1, prev);
    line_to<kHalfX>(display, p[2], y_of_sum[sum[2]], v + 2, prev);
    line_to<kHalfX>(display, p[3], y_of_sum[sum[3]], v + 3, prev);
  }
  for (; src != end; ++src, ++v) {
    const uint32_t p = *src;
    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    const uint32_t sum = max_of_bytes(max_of_bytes(r, g), b) + min_of_bytes(min_of_bytes(r, g), b);
    line_to<kHalfX>(display, p, y_of_sum[sum], v, prev);
  }
}

// The hot loop: picture rows [y_from, y_to) in method kWay. The scale is 1,
// so a column's screen X is x plus the horizontal offset and a row's Y is y plus the vertical
// offset, less the height. The offsets are halves of whole sizes: whole numbers, or ending in .5
// (kHalfX, half_y), and so is every screen position, which makes the
// rounding exact integer work. ofs_x and ofs_y are the offsets rounded down.
//
// Dots whose columns all fall on the display take a path without a bounds
// test per pixel: each height maps to a display row, or to a scratch row
// when that row lies off the display, and the rows a picture row can reach
// are marked changed once per picture row. Lines whose every point lies on
// the display take a like path. The plain path does every pixel with the
// display's own clipping.
template <uint8_t kWay, bool kHalfX>
void walk(const Surface& grid, Surface& display, int ofs_x, int ofs_y, bool half_y, int y_from,
          int y_to) {
  const int mw = grid.width();
  const int sx_first = kHalfX ? up_half_to_even(ofs_x) : ofs_x;
  const int sx_last = kHalfX ? up_half_to_even(ofs_x + mw - 1) : ofs_x + mw - 1;
  const bool columns_inside = sx_first >= 0 && sx_last < display.width();
  const bool fast_dots = kWay == kWayDots && columns_inside;
  std::vector<uint32_t> scratch(fast_dots ? static_cast<size_t>(display.width()) : 0);
  int row_y[kMaxReliefHeight + 1];  // the screen row of each height
  // Fast dots: the display row (or the scratch row) a dot of each lightness
  // sum goes to.
  std::vector<uint32_t*> row_of_sum(fast_dots ? kHeightOfSum.size() : 0);
  int y_of_sum[kHeightOfSum.size()];  // the same for lines, as screen rows
  for (int y = y_from; y < y_to; ++y) {
    for (int h = 0; h <= kMaxReliefHeight; ++h) {
      const int v = y + ofs_y - h;
      row_y[h] = half_y ? up_half_to_even(v) : v;
      if (fast_dots) {
        const bool on_display = row_y[h] >= 0 && row_y[h] < display.height();
        uint32_t* const to = on_display ? display.row(row_y[h]) : scratch.data();
        for (size_t sum = kFirstSumOfHeight[h]; sum < kFirstSumOfHeight[h + 1]; ++sum) {
          row_of_sum[sum] = to;
        }
      }
    }
    const uint32_t* const row = grid.row(y);
    const uint32_t* const end = row + mw;
    if (fast_dots) {
      display.mark_dirty(row_y[kMaxReliefHeight], row_y[0] + 1);
      put_dots<kHalfX>(row, end, ofs_x, row_of_sum.data());
      continue;
    }
    if (kWay == kWayLines && columns_inside && row_y[kMaxReliefHeight] >= 0 &&
        row_y[0] < display.height()) {
      display.mark_dirty(row_y[kMaxReliefHeight], row_y[0] + 1);
      for (int h = 0; h <= kMaxReliefHeight; ++h) {
        for (size_t sum = kFirstSumOfHeight[h]; sum < kFirstSumOfHeight[h + 1]; ++sum) {
          y_of_sum[sum] = row_y[h];
        }
      }
      LineEnd prev;
      put_lines<kHalfX>(display, row, end, ofs_x, y_of_sum, prev);
      continue;
    }
    // The plain path. Line mode: the previous point of the row; none at the
    // start of a row and after a point whose X is exactly 0 (which reads as
    // "none").
    bool have_prev = false;
    int prev_sx = 0, prev_sy = 0;
    int v = ofs_x;  // x plus the horizontal offset rounded down
    for (const uint32_t* src = row; src != end; ++src, ++v) {
      const uint32_t p = *src;
      const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      const uint32_t mx = max_of_bytes(max_of_bytes(r, g), b);
      const uint32_t mn = min_of_bytes(min_of_bytes(r, g), b);
      const int sy = row_y[kHeightOfSum[mx + mn]];
      const int sx = kHalfX ? up_half_to_even(v) : v;
      if constexpr (kWay == kWayDots) {
        display.set_pixel(sx, sy, p & 0xFFFFFF);
      } else if constexpr (kWay == kWayLines) {
        if (!have_prev) prev_sx = sx, prev_sy = sy;
        display.draw_segment(prev_sx, prev_sy, sx, sy, p & 0xFFFFFF);
        prev_sx = sx, prev_sy = sy;
        have_prev = kHalfX || sx != 0;
      }
    }
  }
}

template <uint8_t kWay>
void walk(const Surface& grid, Surface& display, double ofs_x, double ofs_y, int y_from, int y_to) {
  // Halves of whole sizes below 2^31 fit an int when rounded down.
  const int floor_x = static_cast<int>(std::floor(ofs_x));
  const int floor_y = static_cast<int>(std::floor(ofs_y));
  const bool half_y = ofs_y != floor_y;
  if (ofs_x != floor_x)
    return walk<kWay, true>(grid, display, floor_x, floor_y, half_y, y_from, y_to);
  return walk<kWay, false>(grid, display, floor_x, floor_y, half_y, y_from, y_to);
}

}  // namespace

int relief_height(uint32_t pixel) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return kHeightOfSum[std::max({r, g, b}) + std::min({r, g, b})];
}

ReliefDrawing::ReliefDrawing(const Surface& picture, Surface& display, int16_t method)
    : display_(display), grid_(picture) {
  display_.clear(0);
  method_ = method >= 0 && method <= 255 ? static_cast<uint8_t>(method) : kWayNone;
  // Single precision, as the offsets are defined; halves of whole sizes are
  // exact in it.
  ofs_x_ = static_cast<float>(display.width()) / 2.0f - static_cast<float>(picture.width()) / 2.0f;
  ofs_y_ =
      static_cast<float>(display.height()) / 2.0f - static_cast<float>(picture.height()) / 2.0f;
  rows_ = picture.width() > 0 ? picture.height() : 0;
}

bool ReliefDrawing::draw_rows(int rows) {
  const int to = next_row_ + std::clamp(rows, 0, rows_ - next_row_);
  switch (method_) {
    case kWayDots:
      walk<kWayDots>(grid_, display_, ofs_x_, ofs_y_, next_row_, to);
      break;
    case kWayLines:
      walk<kWayLines>(grid_, display_, ofs_x_, ofs_y_, next_row_, to);
      break;
    default:
      break;  // any other method walks the picture without drawing
  }
  next_row_ = to;
  return finished();
}

}  // namespace vs
