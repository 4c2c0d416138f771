#include "saver/relief.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/numeric.h"

namespace vs {

namespace {

constexpr uint8_t kWayDots = 0;
constexpr uint8_t kWayLines = 1;
// Way_Now for a Set_Way that no byte can hold: like every method other than
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
const std::array<uint8_t, 511>& height_table() {
  static const std::array<uint8_t, 511> table = [] {
    std::array<uint8_t, 511> t{};
    for (int s = 0; s <= 510; ++s) t[s] = static_cast<uint8_t>(height_of(lightness_of_sum(s)));
    return t;
  }();
  return table;
}

// Every screen position of the walk is a whole number of half pixels: the
// offsets are halves of whole sizes. Rounding v2 / 2 half to even is then
// exact integer work.
inline int64_t round_halves(int64_t v2) {
  const int64_t v = v2 >> 1;  // floor
  return (v2 & 1) != 0 ? v + (v & 1) : v;
}

// Positions beyond an int lie outside every surface.
inline int to_coord(int64_t v) {
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

// Where the walk stopped and what it last saw, for the form's values.
struct WalkEnd {
  int x = 0;  // column and row of the last pixel walked
  int y = 0;
  uint32_t pixel = 0;
  int64_t prev_x2 = 0;  // the previous point in half pixels (line mode)
  int64_t prev_y2 = 0;
};

// The hot loop: one pass over the grid, drawing in method kWay, the hook run
// after every pixel. Positions are kept in half pixels so that the Prev_X = 0
// test and the rounding are exact without floating point per pixel.
template <uint8_t kWay>
WalkEnd walk(const Surface& grid, Surface& display, int scale, int64_t ox2, int64_t oy2,
             EventHook& hook) {
  const std::array<uint8_t, 511>& heights = height_table();
  const int mw = grid.width(), mh = grid.height();
  const int64_t step2 = 2 * int64_t{scale};
  WalkEnd end;
  int row_y[kMaxReliefHeight + 1];
  for (int y = 0; y < mh; ++y) {
    const int64_t base2 = step2 * y + oy2;
    for (int h = 0; h <= kMaxReliefHeight; ++h)
      row_y[h] = to_coord(round_halves(base2 - step2 * h));
    const uint32_t* src = grid.row(y);
    int64_t x2 = ox2;
    int64_t prev_x2 = 0;  // 0: no previous point in this row
    int64_t prev_y2 = 0;
    int prev_sx = 0, prev_sy = 0;
    for (int x = 0; x < mw; ++x, x2 += step2) {
      const uint32_t p = src[x];
      const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      const uint32_t mx = std::max(std::max(r, g), b);
      const uint32_t mn = std::min(std::min(r, g), b);
      const int h = heights[mx + mn];
      const int sy = row_y[h];
      const int sx = to_coord(round_halves(x2));
      if constexpr (kWay == kWayDots) {
        display.set_pixel(sx, sy, p & 0xFFFFFF);
      } else if constexpr (kWay == kWayLines) {
        const int64_t y2 = base2 - step2 * h;
        if (prev_x2 == 0) prev_x2 = x2, prev_y2 = y2, prev_sx = sx, prev_sy = sy;
        display.draw_segment(prev_sx, prev_sy, sx, sy, p & 0xFFFFFF);
        prev_x2 = x2, prev_y2 = y2, prev_sx = sx, prev_sy = sy;
      }
      if (!hook.DoEvents()) [[unlikely]] {
        const bool row_done = x + 1 >= mw;
        return WalkEnd{x, y, p, row_done ? 0 : prev_x2, row_done ? 0 : prev_y2};
      }
    }
    end = WalkEnd{mw - 1, y, src[mw - 1], 0, 0};
  }
  return end;
}

// A Master without pixels: the walk's body still runs (once per row when it
// has no columns, else once) and the hook with it, but there is nothing to
// draw.
void walk_empty(int mw, int mh, EventHook& hook) {
  const int runs = mw == 0 ? std::max(mh, 1) : 1;
  for (int i = 0; i < runs; ++i) {
    if (!hook.DoEvents()) return;
  }
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

  f.Step_X = 1;
  f.Step_Y = 1;
  f.Way_Now = m.Set_Way >= 0 && m.Set_Way <= 255 ? static_cast<uint8_t>(m.Set_Way) : kWayNone;
  f.Pos_X = 0;
  f.Pos_Y = 0;
  f.Rel_Scale = 1;

  // Single precision, as the offsets are defined; halves of whole sizes are
  // exact in it.
  const float ofs_x =
      static_cast<float>(display.width()) / 2.0f - static_cast<float>(f.Master.width()) / 2.0f;
  const float ofs_y =
      static_cast<float>(display.height()) / 2.0f - static_cast<float>(f.Master.height()) / 2.0f;
  f.Ofs_X = ofs_x;
  f.Ofs_Y = ofs_y;
  f.Prev_X = 0;
  f.Prev_Y = 0;

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
    walk_empty(mw, mh, hook);
    return;
  }

  const int64_t ox2 = round_half_even(2.0 * f.Ofs_X);
  const int64_t oy2 = round_half_even(2.0 * f.Ofs_Y);
  WalkEnd end;
  switch (f.Way_Now) {
    case kWayDots:
      end = walk<kWayDots>(grid, display, f.Rel_Scale, ox2, oy2, hook);
      break;
    case kWayLines:
      end = walk<kWayLines>(grid, display, f.Rel_Scale, ox2, oy2, hook);
      break;
    default:
      end = walk<kWayNone>(grid, display, f.Rel_Scale, ox2, oy2, hook);
      break;
  }

  // Leave the working values as the last pixel left them.
  m.Col_R = static_cast<int16_t>((end.pixel >> 16) & 0xFF);
  m.Col_G = static_cast<int16_t>((end.pixel >> 8) & 0xFF);
  m.Col_B = static_cast<int16_t>(end.pixel & 0xFF);
  Get_Lightness(m);
  f.Pix_Color = pixel_to_colour(end.pixel);
  f.Pix_Height = height_of(m.Lightness);
  int next_x = end.x + 1, next_y = end.y;
  if (next_x >= mw) next_x = 0, ++next_y;
  f.Pos_X = to_int16(next_x).value_or(f.Pos_X);
  f.Pos_Y = to_int16(next_y).value_or(f.Pos_Y);
  if (f.Way_Now == kWayLines) {
    f.Prev_X = static_cast<double>(end.prev_x2) / 2.0;
    f.Prev_Y = static_cast<double>(end.prev_y2) / 2.0;
  }
}

void Draw_Relief(SaverForm& f, Varnoscape_B& m, EventHook& hook) {
  draw_relief_with(f, m, hook, &Get_Pixels);
}

}  // namespace vs
