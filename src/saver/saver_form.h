// The controls and form-level values of the saver screen form, shared by its
// procedures (the loop, the picture fitting, the relief renderer).
#pragma once

#include <cstdint>

#include "core/picture.h"
#include "core/surface.h"

namespace vs {

struct SaverForm {
  Surface Display;   // the visible drawing surface, screen-sized
  Surface Master;    // the current picture fitted for drawing
  Surface Pic_Orgn;  // the picture as loaded
  // Which of its pixels Pic_Orgn holds: a picture much larger than the
  // screen keeps only those the fit reads.
  PixelSubset Pic_Orgn_Kept;
  int16_t Scr_W = 0;
  int16_t Scr_H = 0;
  int16_t Play_Pos = 0;

  // The renderer's working values, set anew at the start of every drawing:
  // the pixel being drawn (the saver paces by its row) and where Master's
  // corner lies on Display.
  int16_t Pos_X = 0;
  int16_t Pos_Y = 0;
  double Ofs_X = 0;
  double Ofs_Y = 0;
};

// What the renderer calls after every pixel: the saver screen processes
// pending events and presents changed rows; tests count or do nothing.
//
// The call must cost next to nothing, as it comes millions of times per
// picture. A hook may therefore ask to be run only every `interval` pixels:
// the renderer counts the pixels in between itself (every pixel unless the
// hook asks for fewer). The saver screen has nothing to do more often.
// How often the saver screen's DoEvents runs: a millisecond holds far more
// pixels than this, and reading the clock costs more than drawing a pixel.
constexpr int kPixelsPerDoEvents = 64;

class EventHook {
 public:
  explicit EventHook(int interval = 1) : interval_(interval < 1 ? 1 : interval) {}
  virtual ~EventHook() = default;

  int interval() const { return interval_; }

  // False when the program has ended meanwhile: the drawing stops at once.
  virtual bool DoEvents() = 0;

 private:
  int interval_;
};

// A hook with nothing to do, at the saver screen's rhythm: for drawings
// that nobody can interrupt (the render tool, the preview picture).
class NoEvents : public EventHook {
 public:
  NoEvents() : EventHook(kPixelsPerDoEvents) {}
  bool DoEvents() override { return true; }
};

}  // namespace vs
