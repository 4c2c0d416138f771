// How a picture is fitted into a box (the saver's screen): which pixel of
// the picture each pixel of the fitted result shows. The saver fits with
// it, and decoders ask it which pixels of a large picture are worth keeping,
// so both always agree to the pixel.
#pragma once

#include <cstdint>

#include "core/picture.h"
#include "core/surface.h"

namespace vs {

// The saver's two size settings.
enum class FitMode : uint8_t {
  OwnSize,     // at the picture's own size, cut down to the box's middle where larger
  FullScreen,  // scaled to the box by the picture's orientation, centred
  // The dialog's preview: scaled (up or down) until its longer side is the
  // box's width, from the corner; the result takes the scaled size.
  Thumbnail,
};

// What the user of a picture will look at: the picture fitted into a box.
// A box of 0 x 0 wants the whole picture.
struct PictureView {
  int box_width = 0;
  int box_height = 0;
  FitMode mode = FitMode::FullScreen;

  bool whole_picture() const { return box_width <= 0 || box_height <= 0; }
};

// One axis of a fit: result pixel i shows picture pixel source(i), the one
// under the pixel's centre when the picture's [src, src + src_len) is laid
// over the result's [dst, dst + dst_len) (as Surface::stretch_from).
struct AxisFit {
  int src = 0;
  int src_len = 0;
  int dst = 0;
  int dst_len = 0;

  int64_t source(int i) const {
    return src + (2 * (int64_t{i} - dst) + 1) * src_len / (2 * int64_t{dst_len});
  }
};

struct FitPlan {
  int width = 0;  // the fitted result's size
  int height = 0;
  // The result is the picture itself, untouched (own size within the box).
  bool whole = false;
  AxisFit x;
  AxisFit y;
};

// The fit of a picture of pic_w x pic_h into box_w x box_h. Sizes are taken
// as the single-precision values the saver computes with.
FitPlan plan_fit(int pic_w, int pic_h, int box_w, int box_h, FitMode mode);

// The pixels of a pic_w x pic_h picture that the view's fit reads; whole
// (empty lists) when it reads them all or the view wants the whole picture.
PixelSubset needed_pixels(const PictureView& view, int pic_w, int pic_h);

// Draws the plan's result of `picture` (holding the pixels `kept` names)
// into `out`, which is first given the plan's size; pixels the plan does not
// cover keep what `out` held there. A picture kept for another plan (the
// screen changed meanwhile) gives the nearest pixels it has.
void apply_fit(const FitPlan& plan, const Surface& picture, const PixelSubset& kept, Surface& out);

}  // namespace vs
