// The Win32 backend's own part: one window class for all our windows, whose
// messages go to the backend's state, and what every kind of window shares
// (showing, destroying, its place on the screen).
#include "platform/win32/win32_platform.h"

#include <objbase.h>

#include "platform/win32/win32_state.h"

namespace vs {

namespace {

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<Win32Platform::State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (state) return state->handle(hwnd, message, wp, lp);
  return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace

Win32Platform::Win32Platform(std::vector<std::string> args)
    : Win32System(std::move(args)), w_(std::make_unique<State>()) {
  w_->instance = GetModuleHandleW(nullptr);
  // Per-monitor DPI awareness comes from the manifest; pixels are pixels.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = window_procedure;
  wc.hInstance = w_->instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kWindowClass;
  wc.hIcon = LoadIconW(w_->instance, MAKEINTRESOURCEW(1));
  RegisterClassExW(&wc);
  w_->com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

Win32Platform::~Win32Platform() {
  while (!w_->windows.empty())
    destroy_window(reinterpret_cast<WindowId>(w_->windows.begin()->first));
  if (w_->hand) DestroyCursor(w_->hand);
  if (w_->single_copy) CloseHandle(w_->single_copy);
  if (w_->com) CoUninitialize();
}

void Win32Platform::end_program_now(int status) {
  while (!w_->windows.empty())
    destroy_window(reinterpret_cast<WindowId>(w_->windows.begin()->first));
  if (w_->single_copy) CloseHandle(w_->single_copy);
  Win32System::end_program_now(status);
}

RECT Win32Platform::State::primary_monitor() const {
  // The primary monitor holds the point (0, 0) of the virtual screen.
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR m = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (m && GetMonitorInfoW(m, &info)) return info.rcMonitor;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

ScreenInfo Win32Platform::screen() {
  const RECT m = w_->primary_monitor();
  HDC dc = GetDC(nullptr);
  const int dpi_x = GetDeviceCaps(dc, LOGPIXELSX), dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  ScreenInfo s;
  s.width = m.right - m.left;
  s.height = m.bottom - m.top;
  s.twips_per_pixel_x = dpi_x > 0 ? 1440 / dpi_x : 15;
  s.twips_per_pixel_y = dpi_y > 0 ? 1440 / dpi_y : 15;
  s.left = m.left;
  s.top = m.top;
  return s;
}

void Win32Platform::show_window(WindowId window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  Win32Window* w = w_->find(window);
  if (!w) return;
  if (w->kind == Win32Window::Kind::Saver) {
    ShowWindow(hwnd, SW_SHOW);
    // Above every other window, not activated by the placing itself.
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
  } else {
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
  }
  UpdateWindow(hwnd);
}

void Win32Platform::destroy_window(WindowId window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  auto it = w_->windows.find(hwnd);
  if (it == w_->windows.end()) return;
  it->second.destroying = true;
  if (hwnd == w_->saver) w_->saver = nullptr;
  if (it->second.kind == Win32Window::Kind::Preview) {
    // The preview closes itself, as the system expects of it.
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  DestroyWindow(hwnd);
  w_->windows.erase(hwnd);
}

std::optional<Rect> Win32Platform::window_rect(WindowId window) {
  RECT r{};
  if (!w_->find(window) || !GetWindowRect(reinterpret_cast<HWND>(window), &r)) return std::nullopt;
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace vs
