#include "forms/scroll_bar.h"

#include <algorithm>

#include "forms/paint.h"

namespace vs::forms {

namespace {

// The arrow of a scroll button: a black triangle, 7 pixels across its
// base and 4 deep on a button 16 pixels wide (more on a wider one),
// pointing along the bar (back: up or left).
void draw_arrow(Surface& s, const Rect& b, bool vertical, bool back, int side) {
  const int cx = b.x + b.width / 2, cy = b.y + b.height / 2;
  const int rows = std::max(4, side / 4);
  for (int i = 0; i < rows; ++i) {
    const int depth = back ? i - rows / 2 : rows / 2 - 1 - i;  // from the tip's row or column
    const int half = i;
    if (vertical) {
      s.fill_rect(cx - half - 1, cy + depth, 2 * half + 1, 1, kText);
    } else {
      s.fill_rect(cx + depth, cy - half - 1, 1, 2 * half + 1, kText);
    }
  }
}

void draw_button(Surface& s, const Rect& b, int line) {
  s.fill_rect(b.x, b.y, b.width, b.height, kFace);
  draw_edge(s, b, Edge::Raised, line);
}

}  // namespace

int ScrollBar::track_length() const {
  return std::max(0, (vertical ? r.height : r.width) - 2 * side);
}

int ScrollBar::thumb_length() const {
  const int track = track_length();
  if (track < min_thumb || max <= 0) return 0;
  const int64_t length = static_cast<int64_t>(track) * page / (max + page);
  return static_cast<int>(std::clamp<int64_t>(length, min_thumb, track));
}

int ScrollBar::thumb_start() const {
  const int room = track_length() - thumb_length();
  if (max <= 0) return side;
  return side + static_cast<int>(static_cast<int64_t>(room) * pos / max);
}

ScrollBar::Part ScrollBar::part_at(int x, int y) const {
  if (!r.contains(x, y)) return Part::None;
  const int along = vertical ? y - r.y : x - r.x;
  const int length = vertical ? r.height : r.width;
  if (along < side) return Part::LineBack;
  if (along >= length - side) return Part::LineForward;
  const int thumb = thumb_length();
  if (thumb == 0) return Part::None;
  const int start = thumb_start();
  if (along < start) return Part::PageBack;
  if (along >= start + thumb) return Part::PageForward;
  return Part::Thumb;
}

int ScrollBar::pos_for_thumb(int start) const {
  const int room = track_length() - thumb_length();
  if (room <= 0) return pos;
  const int64_t offset = std::clamp(start - side, 0, room);
  return static_cast<int>((offset * max + room / 2) / room);
}

void ScrollBar::paint(Surface& s, int dx, int dy) const {
  const Rect b = moved(r, dx, dy);
  // The track: white and face grey in a fine chequer.
  for (int y = std::max(b.y, 0); y < std::min(b.y + b.height, s.height()); ++y) {
    uint32_t* row = s.row(y);
    for (int x = std::max(b.x, 0); x < std::min(b.x + b.width, s.width()); ++x) {
      row[x] = ((x + y) & 1) ? kFace : kHighlight;
    }
  }
  s.mark_dirty(b.y, b.y + b.height);
  const Rect back = vertical ? Rect{b.x, b.y, b.width, side} : Rect{b.x, b.y, side, b.height};
  const Rect forward = vertical ? Rect{b.x, b.y + b.height - side, b.width, side}
                                : Rect{b.x + b.width - side, b.y, side, b.height};
  draw_button(s, back, line);
  draw_arrow(s, back, vertical, true, side);
  draw_button(s, forward, line);
  draw_arrow(s, forward, vertical, false, side);
  if (const int thumb = thumb_length()) {
    const int start = thumb_start();
    draw_button(
        s,
        vertical ? Rect{b.x, b.y + start, b.width, thumb} : Rect{b.x + start, b.y, thumb, b.height},
        line);
  }
}

}  // namespace vs::forms
