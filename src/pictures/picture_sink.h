// Where a decoder puts the pixels it decodes. Given a view, the sink keeps
// only the pixels that the view's fit reads: a 16384 x 16384 picture shown
// on a 1920 x 1080 screen costs about as much memory as the screen, not a
// gigabyte. Without a view (or when the fit reads every pixel) it holds the
// whole picture, written in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "core/surface.h"

namespace vs {

class PictureSink {
 public:
  explicit PictureSink(const PictureView& view = {}) : view_(view) {}

  // The picture's size, once the decoder knows it; the reason when it is
  // too large or has no size ("" when the pixels may come).
  std::string begin(int64_t width, int64_t height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool keeps_everything() const { return kept_.whole(); }

  // The whole row y, width() pixels, for the decoder to fill; row_done(y)
  // then keeps what is needed of it. Rows may come in any order.
  uint32_t* row(int y);
  void row_done(int y);
  // Whether any pixel of row y is kept (the decoder may skip the others).
  bool keeps_row(int y) const { return slot_of_row(y) >= 0; }

  // Pixels x .. x + count - 1 of row y (inside the picture), the k-th of
  // them colour(k): for decoders that produce runs rather than rows.
  template <class Colour>
  void put_run(int y, int x, int count, Colour colour) {
    const int64_t r = slot_of_row(y);
    if (r < 0) return;
    uint32_t* out = picture_.row(static_cast<int>(r));
    if (kept_.whole()) {
      for (int k = 0; k < count; ++k) out[x + k] = colour(k);
      return;
    }
    for (size_t i = first_col_at_or_after(x); i < kept_.cols.size() && kept_.cols[i] < x + count;
         ++i) {
      out[i] = colour(kept_.cols[i] - x);
    }
  }

  // The picture decoded so far (black where nothing came).
  PictureResult finish();

 private:
  int64_t slot_of_row(int y) const;
  size_t first_col_at_or_after(int x) const;

  PictureView view_;
  int width_ = 0;
  int height_ = 0;
  PixelSubset kept_;
  Surface picture_;
  std::vector<uint32_t> scratch_;  // a whole row, when only some are kept
};

}  // namespace vs
