// The relief renderer: draws a fitted picture on the display as a relief,
// every pixel lifted by a height that grows with its lightness, as dots or as
// one connected line per row, rows top to bottom. A drawing goes in steps of
// whole rows, so that the saver's loop paces it and answers input between
// any two steps.
#pragma once

#include <cstdint>

#include "core/surface.h"

namespace vs {

// The tallest lift, for white.
constexpr int kMaxReliefHeight = 48;

// How far a pixel is lifted: its HLS lightness (0..240, plus 0.5) divided by
// 5, rounded half to even: 0 for black, 24 for pure red, 48 for white.
int relief_height(uint32_t pixel);

class ReliefDrawing {
 public:
  // Clears the display and starts drawing a copy of picture on it, centred:
  // as dots (method 0) or lines (1); any other method draws nothing.
  ReliefDrawing(const Surface& picture, Surface& display, int16_t method);

  // Draws up to `rows` more picture rows; true once every row is drawn.
  bool draw_rows(int rows);
  bool finished() const { return next_row_ >= rows_; }
  int next_row() const { return next_row_; }
  int rows() const { return rows_; }

 private:
  Surface& display_;
  Surface grid_;  // the picture's pixels, read once at the start
  uint8_t method_ = 0;
  double ofs_x_ = 0;  // where the picture's corner lies on the display
  double ofs_y_ = 0;
  int rows_ = 0;
  int next_row_ = 0;
};

}  // namespace vs
