#include "platform/win32/win32_platform.h"

#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include "platform/win32/dib.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_state.h"

namespace vs {

namespace {

constexpr wchar_t kClassName[] = L"Varnoscape";
// The single-copy claim: a named mutex is made at most once per session.
constexpr wchar_t kSingleCopyName[] = L"Local\\Varnoscape single copy";

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<Win32Platform::State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (state) return state->handle(hwnd, message, wp, lp);
  return DefWindowProcW(hwnd, message, wp, lp);
}

Key key_of(WPARAM vk) {
  switch (vk) {
    case VK_RETURN:
      return Key::Enter;
    case VK_SPACE:
      return Key::Space;
    case VK_TAB:
      return Key::Tab;
    case VK_ESCAPE:
      return Key::Escape;
    case VK_UP:
      return Key::Up;
    case VK_DOWN:
      return Key::Down;
    case VK_LEFT:
      return Key::Left;
    case VK_RIGHT:
      return Key::Right;
    case VK_PRIOR:
      return Key::PageUp;
    case VK_NEXT:
      return Key::PageDown;
    case VK_HOME:
      return Key::Home;
    case VK_END:
      return Key::End;
    default:
      return Key::Other;
  }
}

Event make(Event::Kind kind, HWND hwnd, int x = 0, int y = 0) {
  Event e;
  e.kind = kind;
  e.window = reinterpret_cast<WindowId>(hwnd);
  e.x = x;
  e.y = y;
  return e;
}

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
  wc.lpszClassName = kClassName;
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
  Platform::end_program_now(status);
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

bool Win32Platform::window_exists(const std::string& title) {
  return FindWindowW(nullptr, win32::widen(title).c_str()) != nullptr;
}

bool Win32Platform::claim_single_copy() {
  if (w_->single_copy) return true;
  HANDLE m = CreateMutexW(nullptr, FALSE, kSingleCopyName);
  if (!m) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(m);
    return false;
  }
  w_->single_copy = m;  // held until the process ends
  return true;
}

ChildWindow Win32Platform::use_host_window(ForeignWindow) {
  return {};  // no screen-saver host hands Windows programs a window
}

WindowId Win32Platform::create_saver_window(const std::string& title) {
  if (w_->saver) destroy_window(reinterpret_cast<WindowId>(w_->saver));
  // A black popup over every monitor; the drawing goes on the primary one.
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  HWND hwnd =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, win32::widen(title).c_str(),
                      WS_POPUP, x, y, w, h, nullptr, nullptr, w_->instance, w_.get());
  if (!hwnd) {
    report("cannot make the saver window (" + win32::error_text(GetLastError()) + ")");
    return 0;
  }
  Win32Window saver;
  saver.kind = Win32Window::Kind::Saver;
  const RECT m = w_->primary_monitor();
  saver.image = Surface(m.right - m.left, m.bottom - m.top);
  saver.origin = POINT{m.left - x, m.top - y};
  w_->windows[hwnd] = std::move(saver);
  w_->saver = hwnd;
  return reinterpret_cast<WindowId>(hwnd);
}

ChildWindow Win32Platform::create_preview_window(ForeignWindow parent) {
  HWND p = reinterpret_cast<HWND>(static_cast<uintptr_t>(parent));
  if (!p || !IsWindow(p)) return {};
  RECT client{};
  GetClientRect(p, &client);
  HWND hwnd = CreateWindowExW(0, kClassName, L"Preview Window", WS_POPUP, 0, 0, client.right,
                              client.bottom, nullptr, nullptr, w_->instance, w_.get());
  if (!hwnd) return {};
  // Made a child of the display settings' window, as the system expects.
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd, p);
  MoveWindow(hwnd, 0, 0, client.right, client.bottom, FALSE);
  Win32Window preview;
  preview.kind = Win32Window::Kind::Preview;
  preview.parent = p;
  preview.image = Surface(client.right, client.bottom);
  w_->windows[hwnd] = std::move(preview);
  ShowWindow(hwnd, SW_SHOWNA);
  return {reinterpret_cast<WindowId>(hwnd), client.right, client.bottom};
}

WindowId Win32Platform::create_dialog_window(const DialogSpec& spec) {
  if (spec.client_width <= 0 || spec.client_height <= 0) return 0;
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_DLGMODALFRAME;
  RECT outer{0, 0, spec.client_width, spec.client_height};
  AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  HWND owner = reinterpret_cast<HWND>(spec.owner);
  HWND hwnd = CreateWindowExW(ex_style, kClassName, win32::widen(spec.title).c_str(), style,
                              spec.position.x, spec.position.y, outer.right - outer.left,
                              outer.bottom - outer.top, owner, nullptr, w_->instance, w_.get());
  if (!hwnd) return 0;
  Win32Window dialog;
  dialog.kind = Win32Window::Kind::Dialog;
  dialog.image = Surface(spec.client_width, spec.client_height);
  w_->windows[hwnd] = std::move(dialog);
  if (spec.icon && spec.icon->width() == 32 && spec.icon->height() == 32) {
    // The window's icon from our own pixels: colour bitmap and an all-shown
    // mask.
    const Surface& pixels = *spec.icon;
    BITMAPINFO info = win32::dib_of(32, 32);
    void* bits = nullptr;
    HDC dc = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, dc);
    if (colour && bits) {
      auto* out = static_cast<uint32_t*>(bits);
      for (int i = 0; i < 32 * 32; ++i) out[i] = pixels.data()[i] | 0xFF000000u;
      std::vector<uint8_t> zeros(32 * 32 / 8, 0);
      HBITMAP mask = CreateBitmap(32, 32, 1, 1, zeros.data());
      ICONINFO ii{TRUE, 0, 0, mask, colour};
      if (HICON icon = CreateIconIndirect(&ii)) {
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      }
      DeleteObject(mask);
    }
    if (colour) DeleteObject(colour);
  }
  return reinterpret_cast<WindowId>(hwnd);
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

LRESULT Win32Platform::State::handle(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  auto it = windows.find(hwnd);
  if (it == windows.end()) return DefWindowProcW(hwnd, message, wp, lp);
  Win32Window& w = it->second;
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  auto mouse = [&](Event::Kind kind, MouseButton button) {
    Event e = make(kind, hwnd, x, y);
    e.button = button;
    e.shift = (wp & MK_SHIFT) != 0;
    push(e);
    // A dialog's control gets the release of its press even outside it.
    if (w.kind == Win32Window::Kind::Dialog) {
      if (kind == Event::Kind::MouseDown) SetCapture(hwnd);
      if (kind == Event::Kind::MouseUp) ReleaseCapture();
    }
    return 0;
  };
  switch (message) {
    case WM_PAINT:
      paint(hwnd, w);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
      Event e = make(down ? Event::Kind::KeyDown : Event::Kind::KeyUp, hwnd);
      e.key = key_of(wp);
      e.shift = GetKeyState(VK_SHIFT) < 0;
      if (down && ((wp >= 'A' && wp <= 'Z') || (wp >= '0' && wp <= '9'))) {
        const char c = static_cast<char>(wp);
        e.text = std::string(1, (wp >= 'A' && wp <= 'Z' && !e.shift) ? c - 'A' + 'a' : c);
      }
      push(e);
      // A dialog keeps the system's own keys (Alt+F4 asks it to close).
      if (w.kind == Win32Window::Kind::Dialog &&
          (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)) {
        break;
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return mouse(Event::Kind::MouseDown, MouseButton::Left);
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      return mouse(Event::Kind::MouseDown, MouseButton::Right);
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      return mouse(Event::Kind::MouseDown, MouseButton::Middle);
    case WM_LBUTTONUP:
      return mouse(Event::Kind::MouseUp, MouseButton::Left);
    case WM_RBUTTONUP:
      return mouse(Event::Kind::MouseUp, MouseButton::Right);
    case WM_MBUTTONUP:
      return mouse(Event::Kind::MouseUp, MouseButton::Middle);
    case WM_MOUSEMOVE:
      push(make(Event::Kind::MouseMove, hwnd, x, y));
      return 0;
    case WM_MOUSEWHEEL: {
      // Turned towards the user is a negative delta, and a positive step.
      const int steps = -GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
      if (steps != 0) push(make(Event::Kind::Wheel, hwnd, 0, steps));
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && w.kind != Win32Window::Kind::Preview) {
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(hwnd, &at);
        SetCursor(cursor_at(w, at));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // The close box asks; the program decides.
      if (w.kind == Win32Window::Kind::Dialog) {
        push(make(Event::Kind::CloseRequest, hwnd));
        return 0;
      }
      break;
    case WM_DISPLAYCHANGE:
      if (w.kind == Win32Window::Kind::Saver) {
        // Monitors changed: cover them all again, draw on the new primary.
        const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN),
                  vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
        MoveWindow(hwnd, vx, vy, GetSystemMetrics(SM_CXVIRTUALSCREEN),
                   GetSystemMetrics(SM_CYVIRTUALSCREEN), TRUE);
        const RECT m = primary_monitor();
        w.image.resize(m.right - m.left, m.bottom - m.top);
        w.origin = POINT{m.left - vx, m.top - vy};
        push(make(Event::Kind::Resized, hwnd, w.image.width(), w.image.height()));
      }
      break;
    case WM_DESTROY:
      if (!w.destroying) {
        // Destroyed by someone else (the preview's parent going away).
        push(make(Event::Kind::WindowGone, hwnd));
        windows.erase(it);
        if (hwnd == saver) saver = nullptr;
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wp, lp);
}

std::optional<Event> Win32Platform::next_event(int timeout_ms) {
  const bool forever = timeout_ms < 0;
  const int64_t deadline = now_us() + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  for (;;) {
    if (!w_->events.empty()) {
      Event e = std::move(w_->events.front());
      w_->events.pop_front();
      return e;
    }
    MSG msg;
    while (w_->events.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!w_->events.empty()) continue;
    DWORD wait = INFINITE;
    if (!forever) {
      const int64_t left = deadline - now_us();
      if (left <= 0) return std::nullopt;
      wait = static_cast<DWORD>((left + 999) / 1000);
    }
    // Sleeps until a message comes or the time is up: no busy loop.
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
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

void Win32Platform::message_box(WindowId owner, const std::string& text, const std::string& title,
                                MessageIcon icon) {
  UINT style = MB_OK;
  switch (icon) {
    case MessageIcon::Warning:
      style |= MB_ICONWARNING;  // 48
      break;
    case MessageIcon::Information:
      style |= MB_ICONINFORMATION;
      break;
    case MessageIcon::Error:
      style |= MB_ICONERROR;
      break;
    case MessageIcon::None:
      break;
  }
  MessageBoxW(reinterpret_cast<HWND>(owner), win32::widen(text).c_str(),
              win32::widen(title).c_str(), style);
}

bool Win32Platform::open_url(const std::string& url) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", win32::widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void Win32Platform::animate_rect(const Rect& from, const Rect& to) {
  RECT a{from.x, from.y, from.x + from.width, from.y + from.height};
  RECT b{to.x, to.y, to.x + to.width, to.y + to.height};
  DrawAnimatedRects(nullptr, IDANI_CAPTION, &a, &b);
}

bool Win32Platform::is_nt_family() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  // The record as the version query fills it: the platform id tells.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL got = GetVersionExW(&v);
#pragma GCC diagnostic pop
  return got && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Only the older family (95, 98, Me) has these, and a 64-bit program never
// runs there: the branches stay for the record.
void Win32Platform::change_saver_password(ForeignWindow owner) {
  if (HMODULE mpr = LoadLibraryW(L"mpr.dll")) {
    using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    if (auto change = reinterpret_cast<Change>(
            reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")))) {
      change("SCRSAVE", reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)), 0, nullptr);
    }
    FreeLibrary(mpr);
  }
}

bool Win32Platform::verify_saver_password(WindowId window) {
  bool may_end = true;
  if (HMODULE cpl = LoadLibraryW(L"password.cpl")) {
    using Verify = BOOL(WINAPI*)(HWND);
    if (auto verify = reinterpret_cast<Verify>(
            reinterpret_cast<void*>(GetProcAddress(cpl, "VerifyScreenSavePwd")))) {
      may_end = verify(reinterpret_cast<HWND>(window)) != 0;
    }
    FreeLibrary(cpl);
  }
  return may_end;
}

void Win32Platform::set_saver_running(bool running) {
  BOOL old = FALSE;
  SystemParametersInfoW(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &old, 0);  // 97
}

void Win32Platform::set_saver_active() {
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);  // 17
}

}  // namespace vs
