// The message box icons, drawn with smooth edges by sampling each pixel 16
// times.
#include <cmath>

#include "forms/message_box_drawing.h"

namespace vs::forms {
namespace {

// The shapes are given on a 32 x 32 grid and drawn at `size` pixels.
template <class Inside>
void fill_shape(Surface& s, int x0, int y0, int size, uint32_t pixel, Inside inside) {
  const float unit = 32.0f / static_cast<float>(size);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      int hits = 0;
      for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
          hits += inside((px + (i + 0.5f) / 4) * unit, (py + (j + 0.5f) / 4) * unit);
        }
      }
      s.blend(x0 + px, y0 + py, pixel, hits * 255 / 16);
    }
  }
}

struct Triangle {
  float ax, ay, bx, by, cx, cy;
  bool operator()(float x, float y) const {
    auto side = [&](float x0, float y0, float x1, float y1) {
      return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    };
    float d1 = side(ax, ay, bx, by), d2 = side(bx, by, cx, cy), d3 = side(cx, cy, ax, ay);
    return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
  }
};

struct Circle {
  float cx, cy, r;
  bool operator()(float x, float y) const {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  }
};

struct Box {
  float left, top, right, bottom;
  bool operator()(float x, float y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
};

// A thick stroke from (x0, y0) to (x1, y1).
struct Stroke {
  float x0, y0, x1, y1, half_width;
  bool operator()(float x, float y) const {
    float dx = x1 - x0, dy = y1 - y0;
    float t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
    t = std::fmin(1.0f, std::fmax(0.0f, t));
    float ex = x0 + t * dx - x, ey = y0 + t * dy - y;
    return ex * ex + ey * ey <= half_width * half_width;
  }
};

}  // namespace

void draw_message_icon(Surface& s, int x, int y, MessageIcon icon, int size) {
  const uint32_t white = pixel_rgb(255, 255, 255);
  switch (icon) {
    case MessageIcon::Warning:
      fill_shape(s, x, y, size, pixel_rgb(176, 128, 0), Triangle{16, 1, 31.5f, 30, 0.5f, 30});
      fill_shape(s, x, y, size, pixel_rgb(255, 204, 0),
                 Triangle{16, 3.2f, 29.6f, 28.8f, 2.4f, 28.8f});
      fill_shape(s, x, y, size, 0, Box{14.4f, 10, 17.6f, 21.5f});
      fill_shape(s, x, y, size, 0, Circle{16, 25, 1.9f});
      break;
    case MessageIcon::Information:
      fill_shape(s, x, y, size, pixel_rgb(0, 90, 190), Circle{16, 16, 15.5f});
      fill_shape(s, x, y, size, white, Circle{16, 8.5f, 2.2f});
      fill_shape(s, x, y, size, white, Box{14.3f, 13, 17.7f, 25.5f});
      break;
    case MessageIcon::Error:
      fill_shape(s, x, y, size, pixel_rgb(200, 30, 30), Circle{16, 16, 15.5f});
      fill_shape(s, x, y, size, white, Stroke{10, 10, 22, 22, 1.8f});
      fill_shape(s, x, y, size, white, Stroke{22, 10, 10, 22, 1.8f});
      break;
    case MessageIcon::None:
      break;
  }
}

}  // namespace vs::forms
