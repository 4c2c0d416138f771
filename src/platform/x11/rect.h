// A rectangle in pixels: a monitor on the screen, a part of a window.
#pragma once

namespace vs::x11 {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const Rect&) const = default;
};

}  // namespace vs::x11
