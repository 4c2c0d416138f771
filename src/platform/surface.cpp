#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>

#include "platform/numeric.h"

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
  std::fill(pixels_.begin(), pixels_.end(), pixel);
  mark_all_dirty();
}

void Surface::fill_rect(int x, int y, int w, int h, uint32_t pixel) {
  int x0 = std::max(x, 0), y0 = std::max(y, 0);
  int x1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(x) + w, width_));
  int y1 = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(y) + h, height_));
  if (x0 >= x1 || y0 >= y1) return;
  for (int yy = y0; yy < y1; ++yy) std::fill(row(yy) + x0, row(yy) + x1, pixel);
  mark_dirty(y0, y1);
}

void Surface::set_pixel(int x, int y, uint32_t pixel) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width_) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height_)) {
    return;
  }
  pixels_[static_cast<size_t>(y) * width_ + x] = pixel;
  if (dirty_.empty()) {
    dirty_ = {y, y + 1};
  } else if (y < dirty_.top) {
    dirty_.top = y;
  } else if (y >= dirty_.bottom) {
    dirty_.bottom = y + 1;
  }
}

namespace {

// Far enough outside any surface to change nothing visible, near enough to
// keep a line's step count bounded whatever coordinates come in.
constexpr int64_t kCoordLimit = 1 << 20;

int clamp_coord(float v) {
  return static_cast<int>(std::clamp<int64_t>(round_half_even(v), -kCoordLimit, kCoordLimit));
}

}  // namespace

void Surface::draw_line(float fx0, float fy0, float fx1, float fy1, uint32_t pixel) {
  int x0 = clamp_coord(fx0), y0 = clamp_coord(fy0);
  int x1 = clamp_coord(fx1), y1 = clamp_coord(fy1);
  if (std::max(x0, x1) < 0 || std::min(x0, x1) >= width_ || std::max(y0, y1) < 0 ||
      std::min(y0, y1) >= height_) {
    return;
  }
  // Bresenham, both end points included.
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    set_pixel(x0, y0, pixel);
    if (x0 == x1 && y0 == y1) break;
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
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
  // Clip against the source, then against the destination.
  if (sx < 0) w += sx, dx -= sx, sx = 0;
  if (sy < 0) h += sy, dy -= sy, sy = 0;
  if (dx < 0) w += dx, sx -= dx, dx = 0;
  if (dy < 0) h += dy, sy -= dy, dy = 0;
  w = std::min({w, src.width() - sx, width_ - dx});
  h = std::min({h, src.height() - sy, height_ - dy});
  if (w <= 0 || h <= 0) return;
  for (int y = 0; y < h; ++y) {
    const uint32_t* in = src.row(sy + y) + sx;
    std::copy(in, in + w, row(dy + y) + dx);
  }
  mark_dirty(dy, dy + h);
}

}  // namespace vs
