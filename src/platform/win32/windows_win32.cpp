// Our windows of each kind: the saver screen (a topmost popup over every
// monitor, drawing on the primary one), the preview child inside the
// display settings' window, and dialogs for the forms runtime.
#include "platform/win32/dib.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_state.h"

namespace vs {

ChildWindow Win32Platform::use_host_window(ForeignWindow) {
  return {};  // no screen-saver host hands Windows programs a window
}

WindowId Win32Platform::create_saver_window(const std::string& title) {
  if (w_->saver) destroy_window(reinterpret_cast<WindowId>(w_->saver));
  // A black popup over every monitor; the drawing goes on the primary one.
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  HWND hwnd =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, win32::widen(title).c_str(),
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
  HWND hwnd = CreateWindowExW(0, kWindowClass, L"Preview Window", WS_POPUP, 0, 0, client.right,
                              client.bottom, nullptr, nullptr, w_->instance, w_.get());
  if (!hwnd) return {};
  // Made a child of the display settings' window, as the system expects.
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd, p);
  MoveWindow(hwnd, 0, 0, client.right, client.bottom, FALSE);
  Win32Window preview;
  preview.kind = Win32Window::Kind::Preview;
  preview.image = Surface(client.right, client.bottom);
  w_->windows[hwnd] = std::move(preview);
  ShowWindow(hwnd, SW_SHOWNA);
  return {reinterpret_cast<WindowId>(hwnd), client.right, client.bottom};
}

namespace {

constexpr DWORD kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

// The outer size of a dialog with this client area, its frame at the
// window's own dots per inch where the system can say (Windows 10 1607 on).
SIZE dialog_outer_size(HWND hwnd, int client_width, int client_height) {
  RECT outer{0, 0, client_width, client_height};
  using ForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  using DpiOf = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto adjust = reinterpret_cast<ForDpi>(
      reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
  auto dpi_of =
      reinterpret_cast<DpiOf>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
  if (!(hwnd && adjust && dpi_of &&
        adjust(&outer, kDialogStyle, FALSE, kDialogExStyle, dpi_of(hwnd)))) {
    AdjustWindowRectEx(&outer, kDialogStyle, FALSE, kDialogExStyle);
  }
  return {outer.right - outer.left, outer.bottom - outer.top};
}

}  // namespace

double Win32Platform::dialog_scale() {
  // The system's dots per inch (the primary monitor's, where the dialog
  // opens); Windows before 10 1607 has only the screen's.
  using SystemDpi = UINT(WINAPI*)();
  auto system_dpi = reinterpret_cast<SystemDpi>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
  int dpi = system_dpi ? static_cast<int>(system_dpi()) : 0;
  if (dpi <= 0) {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

Language Win32Platform::language() const {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese
                                                                    : Language::English;
}

void Win32Platform::resize_dialog(WindowId window, int client_width, int client_height) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  auto it = w_->windows.find(hwnd);
  if (it == w_->windows.end() || client_width <= 0 || client_height <= 0) return;
  it->second.image = Surface(client_width, client_height);
  const SIZE outer = dialog_outer_size(hwnd, client_width, client_height);
  SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowId Win32Platform::create_dialog_window(const DialogSpec& spec) {
  if (spec.client_width <= 0 || spec.client_height <= 0) return 0;
  const SIZE outer = dialog_outer_size(nullptr, spec.client_width, spec.client_height);
  HWND owner = reinterpret_cast<HWND>(spec.owner);
  HWND hwnd = CreateWindowExW(kDialogExStyle, kWindowClass, win32::widen(spec.title).c_str(),
                              kDialogStyle, spec.position.x, spec.position.y, outer.cx, outer.cy,
                              owner, nullptr, w_->instance, w_.get());
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

}  // namespace vs
