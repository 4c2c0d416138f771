// Presenting: what a window shows is kept, so that the system can ask for
// it again (WM_PAINT), and only the changed part goes to the screen.
#include <algorithm>

#include "platform/win32/dib.h"
#include "platform/win32/win32_state.h"

namespace vs {

namespace {

// Puts the part `area` of the image on the window at origin: only what
// changed goes to the screen.
void blit(HWND hwnd, const Win32Window& w, const Rect& area) {
  const int left = std::max(area.x, 0), right = std::min(area.x + area.width, w.image.width());
  const int top = std::max(area.y, 0), bottom = std::min(area.y + area.height, w.image.height());
  if (left >= right || top >= bottom) return;
  HDC dc = GetDC(hwnd);
  // The DIB is the image's rows top to bottom - 1, whole; the source
  // column picks the part.
  BITMAPINFO info = win32::dib_of(w.image.width(), bottom - top);
  SetDIBitsToDevice(dc, w.origin.x + left, w.origin.y + top, static_cast<DWORD>(right - left),
                    static_cast<DWORD>(bottom - top), left, 0, 0, static_cast<UINT>(bottom - top),
                    w.image.row(top), &info, DIB_RGB_COLORS);
  ReleaseDC(hwnd, dc);
}

}  // namespace

void Win32Platform::present(WindowId window, const Surface& surface, const Rect& area) {
  Win32Window* w = w_->find(window);
  if (!w) return;
  w->image.copy_from(surface, area.x, area.y, area.width, area.height, area.x, area.y);
  blit(reinterpret_cast<HWND>(window), *w, area);
}

void Win32Platform::State::paint(HWND hwnd, Win32Window& w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  // Black wherever no picture lies (the other monitors of the saver).
  FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (w.image.width() > 0 && w.image.height() > 0) {
    BITMAPINFO info = win32::dib_of(w.image.width(), w.image.height());
    SetDIBitsToDevice(dc, w.origin.x, w.origin.y, static_cast<DWORD>(w.image.width()),
                      static_cast<DWORD>(w.image.height()), 0, 0, 0,
                      static_cast<UINT>(w.image.height()), w.image.data(), &info, DIB_RGB_COLORS);
  }
  EndPaint(hwnd, &ps);
}

}  // namespace vs
