// A 32-bit pixel buffer in memory. Every picture box of the program is one of
// these; backends only ever present finished regions of a Surface, so what is
// on screen is identical on every system and tests can read every pixel.
//
// Pixels are stored BGRX: as a little-endian uint32 a pixel is
// blue + 256 * green + 65536 * red, byte 3 unused and kept 0. Colours as the
// forms know them (red + 256 * green + 65536 * blue) convert with the helpers
// below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vs {

constexpr uint32_t rgb_colour(uint32_t r, uint32_t g, uint32_t b) {
  return r | (g << 8) | (b << 16);
}

constexpr uint32_t colour_to_pixel(uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

constexpr uint32_t pixel_to_colour(uint32_t pixel) {
  return colour_to_pixel(pixel & 0xFFFFFF);
}

constexpr uint32_t pixel_rgb(uint32_t r, uint32_t g, uint32_t b) {
  return b | (g << 8) | (r << 16);
}

// Rows [top, bottom) touched since the dirty range was last taken; empty when
// top >= bottom.
struct RowRange {
  int top = 0;
  int bottom = 0;
  bool empty() const { return top >= bottom; }
};

class Surface {
 public:
  Surface() = default;
  // Sizes below 0 count as 0.
  Surface(int width, int height, uint32_t pixel = 0);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  uint32_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t* data() { return pixels_.data(); }
  const uint32_t* data() const { return pixels_.data(); }

  // Unchecked read; (x, y) must lie inside.
  uint32_t at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  // A new size keeps the overlapping top-left part and fills the rest with
  // black, as a picture box with a persistent image does when resized.
  void resize(int width, int height);

  void clear(uint32_t pixel = 0);
  // Clipped to the surface.
  void fill_rect(int x, int y, int w, int h, uint32_t pixel);
  // Points outside are ignored. Inline: the relief sets millions of pixels
  // one call at a time.
  void set_pixel(int x, int y, uint32_t pixel) {
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(width_) ||
        static_cast<unsigned>(y) >= static_cast<unsigned>(height_)) {
      return;
    }
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = pixel;
    touch_rows(y, y + 1);
  }
  // Mixes pixel into the one at (x, y) by coverage 0..255 (anti-aliased
  // text); points outside are ignored.
  void blend(int x, int y, uint32_t pixel, int coverage);
  // A one-pixel line between fractional points, clipped; the end points are
  // rounded half to even and both are drawn, so a zero-length line marks its
  // pixel. Non-finite coordinates draw nothing.
  void draw_line(float x0, float y0, float x1, float y1, uint32_t pixel);
  // The same line between whole pixel positions: Bresenham from (x0, y0) to
  // (x1, y1), both ends drawn, clipped. Lines lying wholly inside take the
  // inline path without a bounds test per pixel.
  void draw_segment(int x0, int y0, int x1, int y1, uint32_t pixel) {
    if (static_cast<unsigned>(x0) >= static_cast<unsigned>(width_) ||
        static_cast<unsigned>(x1) >= static_cast<unsigned>(width_) ||
        static_cast<unsigned>(y0) >= static_cast<unsigned>(height_) ||
        static_cast<unsigned>(y1) >= static_cast<unsigned>(height_)) {
      draw_segment_clipped(x0, y0, x1, y1, pixel);
      return;
    }
    touch_rows(y0 < y1 ? y0 : y1, (y0 < y1 ? y1 : y0) + 1);
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int dy = y1 > y0 ? y0 - y1 : y1 - y0;  // negative, as Bresenham wants it
    const ptrdiff_t sx = x0 < x1 ? 1 : -1;
    const ptrdiff_t sy = y0 < y1 ? width_ : -static_cast<ptrdiff_t>(width_);
    uint32_t* p = row(y0) + x0;
    int steps = dx > -dy ? dx : -dy;
    int err = dx + dy;
    *p = pixel;
    // The steps are taken with masks rather than branches: which way a step
    // goes is as good as random for picture data, and a mispredicted branch
    // costs more than the whole step.
    while (steps-- > 0) {
      const int e2 = 2 * err;
      const int step_x = -static_cast<int>(e2 >= dy), step_y = -static_cast<int>(e2 <= dx);
      err += (dy & step_x) + (dx & step_y);
      p += (sx & step_x) + (sy & step_y);
      *p = pixel;
    }
  }
  // The pixels draw_segment puts for a line to the same or the next column
  // (x1 - x0 is 0 or 1), both ends inside: one or two vertical runs, which
  // is what the relief's lines between neighbouring pixels are. The caller
  // marks the rows changed.
  void draw_column_step(int x0, int y0, int x1, int y1, uint32_t pixel) {
    const int n = y1 >= y0 ? y1 - y0 : y0 - y1;
    const ptrdiff_t step = y1 >= y0 ? width_ : -static_cast<ptrdiff_t>(width_);
    const int dx = x1 - x0;
    uint32_t* const p = row(y0) + x0;
    // Both ends, with no branch on the step's shape (which changes from
    // pixel to pixel and would be mispredicted all the time).
    p[0] = pixel;
    p[n * step + dx] = pixel;
    // Bresenham stays in the first column for the first half of the rows
    // (the lower half when the count is odd) and moves over for the rest.
    const int last_in_first = dx == 0 ? n : (n - 1) / 2;
    // The pixels between the ends of a short step go without a branch too:
    // what a shorter step does not need goes to a sink.
    uint32_t sink;
    *(1 < n ? p + step + (1 > last_in_first ? dx : 0) : &sink) = pixel;
    *(2 < n ? p + 2 * step + (2 > last_in_first ? dx : 0) : &sink) = pixel;
    if (n > 3) [[unlikely]] {
      for (int i = 3; i < n; ++i) p[i * step + (i > last_in_first ? dx : 0)] = pixel;
    }
  }
  // Nearest-neighbour stretch of src's rectangle (sx, sy, sw, sh) onto
  // (dx, dy, dw, dh) of this surface: rows and columns are dropped or
  // repeated, never blended. Both rectangles may lie partly outside their
  // surfaces; what falls outside is clipped.
  void stretch_from(const Surface& src, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                    int dh);
  // Same-size copy of src's rectangle (sx, sy, w, h) to (dx, dy), clipped on
  // both sides.
  void copy_from(const Surface& src, int sx, int sy, int w, int h, int dx, int dy);

  // Rows changed by the drawing operations since the last call; resets the
  // range. Backends present only these rows.
  RowRange take_dirty();
  void mark_dirty(int top, int bottom);
  void mark_all_dirty() { mark_dirty(0, height_); }

 private:
  // Widens the dirty range to take in rows [top, bottom), which lie inside.
  void touch_rows(int top, int bottom) {
    if (dirty_.top >= dirty_.bottom) {
      dirty_ = {top, bottom};
      return;
    }
    if (top < dirty_.top) dirty_.top = top;
    if (bottom > dirty_.bottom) dirty_.bottom = bottom;
  }
  void draw_segment_clipped(int x0, int y0, int x1, int y1, uint32_t pixel);

  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
  RowRange dirty_;
};

}  // namespace vs
