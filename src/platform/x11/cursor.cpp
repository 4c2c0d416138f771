// The pointer over our windows: hidden while the cursor display counter is
// below 0, the busy watch while the program is busy, else the shape of the
// part of the window under it (the hand over what can be clicked).
#include "platform/x11/x11_state.h"

#include <X11/cursorfont.h>

#include <vector>

namespace vs {

namespace {

// A 1-bit pixmap of the surface's pixels where `on` says so.
template <class On>
Pixmap bitmap(Display* d, Window root, const Surface& s, On on) {
  const int stride = (s.width() + 7) / 8;
  std::vector<char> bits(static_cast<size_t>(stride) * s.height(), 0);
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (on(s.at(x, y)))
        bits[static_cast<size_t>(y * stride + x / 8)] |= static_cast<char>(1 << (x % 8));
    }
  }
  return XCreateBitmapFromData(d, root, bits.data(), static_cast<unsigned>(s.width()),
                               static_cast<unsigned>(s.height()));
}

}  // namespace

Cursor X11Platform::State::cursor_for(const X11Window& w) {
  if (cursor_counter < 0) {
    if (!blank_cursor) {
      static const char empty[1] = {0};
      Pixmap pixels = XCreateBitmapFromData(display(), connection.root, empty, 1, 1);
      XColor black{};
      blank_cursor = XCreatePixmapCursor(display(), pixels, pixels, &black, &black, 0, 0);
      XFreePixmap(display(), pixels);
    }
    return blank_cursor;
  }
  if (busy) {
    if (!busy_cursor) busy_cursor = XCreateFontCursor(display(), XC_watch);
    return busy_cursor;
  }
  if (w.shape == PointerShape::Hand && hand_cursor) return hand_cursor;
  if (w.shape == PointerShape::Busy) {
    if (!busy_cursor) busy_cursor = XCreateFontCursor(display(), XC_watch);
    return busy_cursor;
  }
  return None;
}

void X11Platform::State::apply_cursor(Window id, const X11Window& w) {
  // The host's window and its pointer are the host's.
  if (!connected() || w.kind == X11Window::Kind::Hosted || w.gone) return;
  x11::ErrorTrap trap(display());
  if (Cursor c = cursor_for(w)) {
    XDefineCursor(display(), id, c);
  } else {
    XUndefineCursor(display(), id);  // back to the parent's, the usual pointer
  }
  trap.failed();
}

void X11Platform::State::apply_cursors() {
  for (auto& [id, w] : windows) apply_cursor(id, w);
  if (connected()) XFlush(display());
}

void X11Platform::State::follow_pointer(Window id, X11Window& w, int x, int y) {
  PointerShape shape = PointerShape::Normal;
  for (const auto& [area, s] : w.shapes) {
    if (area.contains(x, y)) shape = s;
  }
  if (shape == w.shape) return;
  w.shape = shape;
  apply_cursor(id, w);
}

int X11Platform::show_cursor(bool show) {
  x_->cursor_counter += show ? 1 : -1;
  x_->apply_cursors();
  return x_->cursor_counter;
}

void X11Platform::set_hand_pointer(const PointerImage& image) {
  if (!x_->connected() || image.pixels.empty()) return;
  Display* d = x_->display();
  const Window root = x_->connection.root;
  Pixmap source = bitmap(d, root, image.pixels, [](uint32_t p) { return (p & 0xFFFFFF) == 0; });
  Pixmap mask = bitmap(d, root, image.mask, [](uint32_t p) { return p != 0; });
  XColor black{}, white{};
  white.red = white.green = white.blue = 0xFFFF;
  if (x_->hand_cursor) XFreeCursor(d, x_->hand_cursor);
  x_->hand_cursor =
      XCreatePixmapCursor(d, source, mask, &black, &white, static_cast<unsigned>(image.hot_spot.x),
                          static_cast<unsigned>(image.hot_spot.y));
  XFreePixmap(d, source);
  XFreePixmap(d, mask);
  x_->apply_cursors();
}

void X11Platform::set_pointer_shapes(WindowId window,
                                     const std::vector<std::pair<Rect, PointerShape>>& regions) {
  X11Window* w = x_->find(window);
  if (!w) return;
  w->shapes = regions;
  // The shape under the pointer now, without waiting for it to move.
  if (std::optional<Point> at = pointer_position()) {
    int x = 0, y = 0;
    Window child = 0;
    x11::ErrorTrap trap(x_->display());
    if (XTranslateCoordinates(x_->display(), x_->connection.root, static_cast<Window>(window),
                              at->x, at->y, &x, &y, &child)) {
      x_->follow_pointer(static_cast<Window>(window), *w, x, y);
    }
    trap.failed();
  }
}

void X11Platform::set_busy(bool busy) {
  if (x_->busy == busy) return;
  x_->busy = busy;
  x_->apply_cursors();
}

}  // namespace vs
