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
// The drawing method for a Set_Way that no byte can hold: like every method other than
// dots and lines, it walks the picture without drawing.
constexpr uint8_t kWayNone = 255;

double lightness_of_sum(int32_t s) {
  return static_cast<double>(s * 240 + 255) / 510.0;
}

int16_t height_of(double lightness) {
  return static_cast<int16_t>(round_half_even(lightness / 5.0));
}

// The height for every mx + mn (0..510), worked out once with the very
// formula of Get_Lightness, so the walk needs one table look-up per pixel.
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
// first pixel's x + Ofs_X, rounded down.
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

// The hook after pixel (x, y): it sees the position of the next pixel, as the
// walk's step leaves it.
bool run_hook(SaverForm& f, EventHook& hook, int x, int y, int mw) {
  const bool row_done = x + 1 >= mw;
  f.Pos_X = static_cast<int16_t>(row_done ? 0 : x + 1);
  f.Pos_Y = static_cast<int16_t>(row_done ? y + 1 : y);
  return hook.DoEvents();
}

// The hot loop: one pass over the grid, drawing in method kWay, the hook run
// after every pixel. The scale is 1, so a column's screen X is x + Ofs_X and
// a row's Y is y + Ofs_Y - height. The offsets are halves of whole sizes:
// whole numbers, or ending in .5 (kHalfX, half_y), and so is every screen
// position, which makes the rounding exact integer work. ofs_x and ofs_y
// are the offsets rounded down.
//
// Dots whose columns all fall on the display take a path without a bounds
// test per pixel: each height maps to a display row, or to a scratch row
// when that row lies off the display, and the rows a picture row can reach
// are marked changed once per picture row.
template <uint8_t kWay, bool kHalfX>
void walk(const Surface& grid, SaverForm& f, int ofs_x, int ofs_y, bool half_y, EventHook& hook) {
  Surface& display = f.Display;
  const int mw = grid.width(), mh = grid.height();
  const int sx_first = kHalfX ? up_half_to_even(ofs_x) : ofs_x;
  const int sx_last = kHalfX ? up_half_to_even(ofs_x + mw - 1) : ofs_x + mw - 1;
  const bool columns_inside = sx_first >= 0 && sx_last < display.width();
  const bool fast_dots = kWay == kWayDots && columns_inside;
  std::vector<uint32_t> scratch(fast_dots ? static_cast<size_t>(display.width()) : 0);
  const int interval = hook.interval();
  int countdown = interval;
  int row_y[kMaxReliefHeight + 1];  // the screen row of each height
  // Fast dots: the display row (or the scratch row) a dot of each lightness
  // sum goes to.
  std::vector<uint32_t*> row_of_sum(fast_dots ? kHeightOfSum.size() : 0);
  int y_of_sum[kHeightOfSum.size()];  // the same for lines, as screen rows
  for (int y = 0; y < mh; ++y) {
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
    // The short paths draw the row in runs up to the next hook call, so
    // their inner loops are nothing but the drawing. False when the hook
    // ended the program.
    auto in_runs = [&](auto draw_run) {
      const uint32_t* src = row;
      int v = ofs_x;  // x + Ofs_X rounded down
      while (src != end) {
        const int n = static_cast<int>(std::min<ptrdiff_t>(end - src, countdown));
        draw_run(src, src + n, v);
        src += n;
        v += n;
        countdown -= n;
        if (countdown == 0) [[unlikely]] {
          countdown = interval;
          const int x = static_cast<int>(src - row) - 1;
          if (!run_hook(f, hook, x, y, mw)) return false;
        }
      }
      return true;
    };
    if (fast_dots) {
      display.mark_dirty(row_y[kMaxReliefHeight], row_y[0] + 1);
      if (!in_runs([&](const uint32_t* from, const uint32_t* to, int v) {
            put_dots<kHalfX>(from, to, v, row_of_sum.data());
          })) {
        return;
      }
      continue;
    }
    // Lines whose every point the row can reach lies on the display take
    // the short path, like the dots, and the rows they may touch are marked
    // once.
    if (kWay == kWayLines && columns_inside && row_y[kMaxReliefHeight] >= 0 &&
        row_y[0] < display.height()) {
      display.mark_dirty(row_y[kMaxReliefHeight], row_y[0] + 1);
      for (int h = 0; h <= kMaxReliefHeight; ++h) {
        for (size_t sum = kFirstSumOfHeight[h]; sum < kFirstSumOfHeight[h + 1]; ++sum) {
          y_of_sum[sum] = row_y[h];
        }
      }
      LineEnd prev;
      if (!in_runs([&](const uint32_t* from, const uint32_t* to, int v) {
            put_lines<kHalfX>(display, from, to, v, y_of_sum, prev);
          })) {
        return;
      }
      continue;
    }
    // Line mode: the previous point of the row; none at the start of a row
    // and after a point whose X is exactly 0 (which reads as "none").
    bool have_prev = false;
    int prev_sx = 0, prev_sy = 0;
    int v = ofs_x;  // x + Ofs_X rounded down
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
      if (--countdown == 0) [[unlikely]] {
        countdown = interval;
        if (!run_hook(f, hook, static_cast<int>(src - row), y, mw)) return;
      }
    }
  }
}

// Halves of whole sizes below 2^31 fit an int when rounded down.
template <uint8_t kWay>
void walk(const Surface& grid, SaverForm& f, double ofs_x, double ofs_y, EventHook& hook) {
  const int floor_x = static_cast<int>(std::floor(ofs_x));
  const int floor_y = static_cast<int>(std::floor(ofs_y));
  const bool half_y = ofs_y != floor_y;
  if (ofs_x != floor_x) return walk<kWay, true>(grid, f, floor_x, floor_y, half_y, hook);
  return walk<kWay, false>(grid, f, floor_x, floor_y, half_y, hook);
}

// A Master without pixels: the walk's steps and hook calls as they come
// (once per row when it has no columns, else once), with nothing to draw.
void walk_empty(SaverForm& f, int mw, int mh, EventHook& hook) {
  int x = 0, y = 0;
  do {
    if (++x >= mw) x = 0, ++y;
    f.Pos_X = static_cast<int16_t>(x);
    f.Pos_Y = static_cast<int16_t>(y);
    if (!hook.DoEvents()) return;
  } while (y < mh);
}

}  // namespace

int16_t Max_Of(int16_t a, int16_t b) {
  return a > b ? a : b;
}

int16_t Min_Of(int16_t a, int16_t b) {
  return a < b ? a : b;
}

void Get_Lightness(Varnoscape_B& m) {
  const int16_t mx = Max_Of(Max_Of(m.Col_R, m.Col_G), m.Col_B);
  const int16_t mn = Min_Of(Min_Of(m.Col_R, m.Col_G), m.Col_B);
  m.Lightness = lightness_of_sum(int32_t{mx} + mn);
}

bool Get_Pixels(const Surface& pic, Surface& grid) {
  if (pic.empty()) return true;
  grid.copy_from(pic, 0, 0, pic.width(), pic.height(), 0, 0);
  return false;
}

void draw_relief_with(SaverForm& f, Varnoscape_B& m, EventHook& hook, PixelReader read) {
  Surface& display = f.Display;
  display.clear(0);

  const uint8_t way =
      m.Set_Way >= 0 && m.Set_Way <= 255 ? static_cast<uint8_t>(m.Set_Way) : kWayNone;
  f.Pos_X = 0;
  f.Pos_Y = 0;

  // Single precision, as the offsets are defined; halves of whole sizes are
  // exact in it.
  const float ofs_x =
      static_cast<float>(display.width()) / 2.0f - static_cast<float>(f.Master.width()) / 2.0f;
  const float ofs_y =
      static_cast<float>(display.height()) / 2.0f - static_cast<float>(f.Master.height()) / 2.0f;
  f.Ofs_X = ofs_x;
  f.Ofs_Y = ofs_y;

  // The grid is all black until the read fills it; reuse its memory when the
  // size is unchanged (a successful read overwrites every value).
  const int mw = f.Master.width(), mh = f.Master.height();
  Surface& grid = m.Pixel_Grid;
  if (grid.width() != mw || grid.height() != mh) {
    grid = Surface(mw, mh);
    if (read(f.Master, grid)) grid.clear(0);
  } else if (read(f.Master, grid)) {
    grid.clear(0);
  }

  if (mw == 0 || mh == 0) {
    walk_empty(f, mw, mh, hook);
    return;
  }

  switch (way) {
    case kWayDots:
      walk<kWayDots>(grid, f, f.Ofs_X, f.Ofs_Y, hook);
      break;
    case kWayLines:
      walk<kWayLines>(grid, f, f.Ofs_X, f.Ofs_Y, hook);
      break;
    default:
      walk<kWayNone>(grid, f, f.Ofs_X, f.Ofs_Y, hook);
      break;
  }
}

void Draw_Relief(SaverForm& f, Varnoscape_B& m, EventHook& hook) {
  draw_relief_with(f, m, hook, &Get_Pixels);
}

}  // namespace vs
