#include "core/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/numeric.h"

namespace vs {

Surface::Surface(int width, int height, uint32_t pixel)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, pixel) {}

void Surface::resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  Surface next(width, height);
  next.copy_from(*this, 0, 0, std::min(width, width_), std::min(height, height_), 0, 0);
  pixels_ = std::move(next.pixels_);
  width_ = width;
  height_ = height;
  dirty_ = {};
  mark_all_dirty();
}

void Surface::mark_dirty(int top, int bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, height_);
  if (top >= bottom) return;
  if (dirty_.empty()) {
    dirty_ = {top, bottom};
  } else {
    dirty_.top = std::min(dirty_.top, top);
    dirty_.bottom = std::max(dirty_.bottom, bottom);
  }
}

RowRange Surface::take_dirty() {
  RowRange r = dirty_;
  dirty_ = {};
  return r;
}

void Surface::clear(uint32_t pixel) {
  // Row by row: one fill of a whole large surface is done by the C library
  // with stores that bypass the cache, and the drawing that follows every
  // clear then misses on each pixel it puts.
  for (int y = 0; y < height_; ++y) std::fill_n(row(y), width_, pixel);
  mark_all_dirty();
}

void Surface::blend(int x, int y, uint32_t pixel, int coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0) return;
  coverage = std::min(coverage, 255);
  const uint32_t under = at(x, y);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t a = (pixel >> shift) & 0xFF, b = (under >> shift) & 0xFF;
    out |=
        ((a * static_cast<uint32_t>(coverage) + b * static_cast<uint32_t>(255 - coverage) + 127) /
         255)
        << shift;
  }
  set_pixel(x, y, out);
}

void Surface::fill_rect(int x, int y, int w, int h, uint32_t pixel) {
  int x0 = std::max(x, 0), y0 = std::max(y, 0);
  int x1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(x) + w, width_));
  int y1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(y) + h, height_));
  if (x0 >= x1 || y0 >= y1) return;
  for (int yy = y0; yy < y1; ++yy) std::fill(row(yy) + x0, row(yy) + x1, pixel);
  mark_dirty(y0, y1);
}

namespace {

// Whole-pixel end points beyond this distance are pre-clipped in floating
// point so that a stray far-away coordinate cannot make a line take billions
// of steps; lines within it are drawn exactly as Bresenham gives them.
constexpr int64_t kExactSpan = int64_t{1} << 16;

// Liang-Barsky: shortens the segment to the part inside the box; false when
// nothing of it is inside.
bool clip_to_box(double& x0, double& y0, double& x1, double& y1, double xmin, double ymin,
                 double xmax, double ymax) {
  double t0 = 0.0, t1 = 1.0;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - xmin, xmax - x0, y0 - ymin, ymax - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
  x1 = x0 + t1 * dx, y1 = y0 + t1 * dy;
  x0 = nx0, y0 = ny0;
  return true;
}

}  // namespace

void Surface::draw_line(float fx0, float fy0, float fx1, float fy1, uint32_t pixel) {
  if (!std::isfinite(fx0) || !std::isfinite(fy0) || !std::isfinite(fx1) || !std::isfinite(fy1)) {
    return;
  }
  double x0 = fx0, y0 = fy0, x1 = fx1, y1 = fy1;
  const double limit = static_cast<double>(kExactSpan);
  const bool far = std::fabs(x0) > limit || std::fabs(y0) > limit || std::fabs(x1) > limit ||
                   std::fabs(y1) > limit;
  if (far && !clip_to_box(x0, y0, x1, y1, -1.0, -1.0, width_, height_)) return;
  draw_segment(static_cast<int>(round_half_even(x0)), static_cast<int>(round_half_even(y0)),
               static_cast<int>(round_half_even(x1)), static_cast<int>(round_half_even(y1)), pixel);
}

void Surface::draw_segment_clipped(int x0, int y0, int x1, int y1, uint32_t pixel) {
  if (std::max(x0, x1) < 0 || std::min(x0, x1) >= width_ || std::max(y0, y1) < 0 ||
      std::min(y0, y1) >= height_) {
    return;
  }
  // 64-bit: the differences of two ints need not fit an int.
  int64_t dx = std::abs(int64_t{x1} - x0), dy = -std::abs(int64_t{y1} - y0);
  if (std::max(dx, -dy) > kExactSpan) {
    double a = x0, b = y0, c = x1, d = y1;
    if (!clip_to_box(a, b, c, d, -1.0, -1.0, width_, height_)) return;
    x0 = static_cast<int>(round_half_even(a)), y0 = static_cast<int>(round_half_even(b));
    x1 = static_cast<int>(round_half_even(c)), y1 = static_cast<int>(round_half_even(d));
    dx = std::abs(int64_t{x1} - x0), dy = -std::abs(int64_t{y1} - y0);
  }
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t err = dx + dy;
  int64_t x = x0, y = y0;
  int top = height_, bottom = 0;
  for (;;) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) {
      pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
          pixel;
      top = std::min(top, static_cast<int>(y));
      bottom = std::max(bottom, static_cast<int>(y) + 1);
    }
    if (x == x1 && y == y1) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  if (top < bottom) touch_rows(top, bottom);
}

void Surface::stretch_from(const Surface& src, int sx, int sy, int sw, int sh, int dx, int dy,
                           int dw, int dh) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  int x0 = std::max(dx, 0);
  int x1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(dx) + dw, width_));
  int y0 = std::max(dy, 0);
  int y1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(dy) + dh, height_));
  if (x0 >= x1 || y0 >= y1) return;
  // Each destination pixel takes the source pixel under its centre.
  auto source_of = [](int64_t i, int64_t s, int64_t d) { return (2 * i + 1) * s / (2 * d); };
  std::vector<int> columns(static_cast<size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x) {
    columns[static_cast<size_t>(x - x0)] = sx + static_cast<int>(source_of(x - dx, sw, dw));
  }
  for (int y = y0; y < y1; ++y) {
    int srow = sy + static_cast<int>(source_of(y - dy, sh, dh));
    if (srow < 0 || srow >= src.height()) continue;
    const uint32_t* in = src.row(srow);
    uint32_t* out = row(y);
    for (int x = x0; x < x1; ++x) {
      int scol = columns[static_cast<size_t>(x - x0)];
      if (scol >= 0 && scol < src.width()) out[x] = in[scol];
    }
  }
  mark_dirty(y0, y1);
}

void Surface::copy_from(const Surface& src, int sx, int sy, int w, int h, int dx, int dy) {
  // Clip against the source, then against the destination, in 64 bits so
  // that far-off positions cannot overflow.
  int64_t x = sx, y = sy, tx = dx, ty = dy, cw = w, ch = h;
  if (x < 0) cw += x, tx -= x, x = 0;
  if (y < 0) ch += y, ty -= y, y = 0;
  if (tx < 0) cw += tx, x -= tx, tx = 0;
  if (ty < 0) ch += ty, y -= ty, ty = 0;
  cw = std::min({cw, src.width() - x, width_ - tx});
  ch = std::min({ch, src.height() - y, height_ - ty});
  if (cw <= 0 || ch <= 0) return;
  for (int64_t r = 0; r < ch; ++r) {
    const uint32_t* in = src.row(static_cast<int>(y + r)) + x;
    std::copy(in, in + cw, row(static_cast<int>(ty + r)) + tx);
  }
  mark_dirty(static_cast<int>(ty), static_cast<int>(ty + ch));
}

}  // namespace vs
