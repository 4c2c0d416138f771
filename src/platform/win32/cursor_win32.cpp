// The pointer over our windows: the system's cursor counter, the busy
// cursor while the program is busy, else the shape of the part of the
// window under it (our own hand over what can be clicked).
#include <vector>

#include "platform/win32/win32_state.h"

namespace vs {

HCURSOR Win32Platform::State::cursor_at(const Win32Window& w, POINT client) {
  if (busy) {
    if (!busy_cursor) busy_cursor = LoadCursorW(nullptr, IDC_WAIT);
    return busy_cursor;
  }
  PointerShape shape = PointerShape::Normal;
  for (const auto& [area, s] : w.shapes) {
    if (area.contains(client.x, client.y)) shape = s;
  }
  if (shape == PointerShape::Hand && hand) return hand;
  if (shape == PointerShape::Busy) return LoadCursorW(nullptr, IDC_WAIT);
  return LoadCursorW(nullptr, IDC_ARROW);
}

int Win32Platform::show_cursor(bool show) {
  return ShowCursor(show ? TRUE : FALSE);
}

std::optional<Point> Win32Platform::pointer_position() {
  POINT p{};
  if (!GetCursorPos(&p)) return std::nullopt;
  return Point{p.x, p.y};
}

void Win32Platform::set_hand_pointer(const PointerImage& image) {
  const int w = image.pixels.width(), h = image.pixels.height();
  if (w <= 0 || h <= 0 || image.mask.width() != w || image.mask.height() != h) return;
  // A monochrome cursor: AND mask (1 = transparent) over XOR bits (1 =
  // white where shown).
  const int stride = (w + 15) / 16 * 2;
  std::vector<uint8_t> planes(static_cast<size_t>(stride) * h * 2, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool shown = image.mask.at(x, y) != 0;
      const bool white = (image.pixels.at(x, y) & 0xFFFFFF) != 0;
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      if (!shown) planes[static_cast<size_t>(y * stride + x / 8)] |= bit;
      if (shown && white) planes[static_cast<size_t>((h + y) * stride + x / 8)] |= bit;
    }
  }
  HBITMAP mask = CreateBitmap(w, h * 2, 1, 1, planes.data());
  ICONINFO ii{FALSE, static_cast<DWORD>(image.hot_spot.x), static_cast<DWORD>(image.hot_spot.y),
              mask, nullptr};
  HCURSOR cursor = CreateIconIndirect(&ii);
  DeleteObject(mask);
  if (!cursor) return;
  if (w_->hand) DestroyCursor(w_->hand);
  w_->hand = cursor;
}

void Win32Platform::set_pointer_shapes(WindowId window,
                                       const std::vector<std::pair<Rect, PointerShape>>& regions) {
  if (Win32Window* w = w_->find(window)) w->shapes = regions;
}

void Win32Platform::set_busy(bool busy) {
  if (w_->busy == busy) return;
  w_->busy = busy;
  // Shown at once, not at the next movement.
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (Win32Window* w = w_->find(reinterpret_cast<WindowId>(under))) {
    ScreenToClient(under, &at);
    SetCursor(w_->cursor_at(*w, at));
  }
}

}  // namespace vs
