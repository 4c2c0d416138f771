// The pointer over our surfaces: the counter that hides it over the saver,
// our own hand, the shapes of a window's parts, the busy look. How it looks
// is given to the compositor by apply_cursor (wayland_input.cpp), as the
// pointer enters and moves.
#include <algorithm>

#include "platform/wayland/wayland_state.h"

namespace vs {

int WaylandPlatform::show_cursor(bool show) {
  w_->cursor_counter += show ? 1 : -1;
  w_->apply_cursor();
  return w_->cursor_counter;
}

std::optional<Point> WaylandPlatform::pointer_position() {
  // Only over our own surfaces does a client learn where the pointer is.
  return std::nullopt;
}

void WaylandPlatform::set_hand_pointer(const PointerImage& image) {
  const int w = image.pixels.width(), h = image.pixels.height();
  if (!connected() || w <= 0 || h <= 0) return;
  w_->hand = wayland::make_buffer(w_->shm, w, h, WL_SHM_FORMAT_ARGB8888, nullptr);
  if (!w_->hand) return;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool shown = image.mask.at(x, y) != 0;
      w_->hand->pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          shown ? 0xFF000000u | (image.pixels.at(x, y) & 0xFFFFFF) : 0;
    }
  }
  w_->hand_hot_spot = image.hot_spot;
  w_->hand_scale = std::max(1, static_cast<int>(dialog_scale()));
  w_->pointer_look = State::Look::None;  // a new hand: given again
  w_->apply_cursor();
}

void WaylandPlatform::set_pointer_shapes(
    WindowId window, const std::vector<std::pair<Rect, PointerShape>>& regions) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  it->second.shapes = regions;
}

void WaylandPlatform::set_busy(bool busy) {
  if (w_->busy == busy) return;
  w_->busy = busy;
  w_->apply_cursor();
}

}  // namespace vs
