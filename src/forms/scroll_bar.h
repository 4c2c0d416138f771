// A classic scroll bar as the list box uses it: arrows at both ends, a
// track, and a thumb whose length shows the share of the whole in view.
#pragma once

#include "forms/forms.h"

namespace vs::forms {

constexpr int kScrollBarWidth = 16;

struct ScrollBar {
  enum class Part { None, LineBack, LineForward, PageBack, PageForward, Thumb };

  Rect r;  // the whole bar, arrows included
  bool vertical = true;
  int pos = 0;   // 0 .. max
  int max = 0;   // the last position
  int page = 1;  // how much is in view, in the same units
  // The arrow buttons' side (the bar's breadth), the least thumb and the
  // edges' line width, in pixels at the form's scale.
  int side = kScrollBarWidth;
  int min_thumb = 8;
  int line = 1;

  // The thumb along the bar: its start and length, from the bar's start
  // (length 0: no room for one).
  int track_length() const;
  int thumb_length() const;
  int thumb_start() const;
  Part part_at(int x, int y) const;
  // The position that puts the thumb's start at `start` (from the bar's
  // start), as dragging it does.
  int pos_for_thumb(int start) const;
  void paint(Surface& s, int dx, int dy) const;
};

}  // namespace vs::forms
