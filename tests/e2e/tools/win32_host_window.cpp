// The Windows stand-in for the control panel's preview in the end-to-end
// tests: makes a plain white top-level window whose client area is
// WIDTH x HEIGHT at X, Y, prints its handle in decimal (as the system
// passes it to a saver's /p), halfway through its LIFETIME (milliseconds)
// prints a line for each child window another program put into it:
//   child <class> "<title>" <W>x<H> visible|hidden
// then destroys the window and ends. (Wine shows no drawing of a child
// window whose parent belongs to another program, so a screenshot cannot
// tell what the child draws.)
//
//   e2e-host-window.exe WIDTH HEIGHT X Y LIFETIME
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT_PTR kReportTimer = 2;

// Tells what child windows of another program the window holds.
void report_children(HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    DWORD process = 0;
    GetWindowThreadProcessId(child, &process);
    if (process == GetCurrentProcessId()) continue;
    wchar_t cls[64] = {}, title[64] = {};
    GetClassNameW(child, cls, 64);
    GetWindowTextW(child, title, 64);
    RECT r{};
    GetClientRect(child, &r);
    std::printf("child %ls \"%ls\" %ldx%ld %s\n", cls, title, r.right, r.bottom,
                IsWindowVisible(child) ? "visible" : "hidden");
  }
  std::fflush(stdout);
}

LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kReportTimer) {
    KillTimer(w, kReportTimer);
    report_children(w);
    return 0;
  }
  if (msg == WM_TIMER) {
    DestroyWindow(w);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: e2e-host-window.exe WIDTH HEIGHT X Y LIFETIME\n");
    return 64;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
  const int lifetime = std::atoi(argv[5]);
  if (width <= 0 || height <= 0 || lifetime <= 0) return 64;
  WNDCLASSW wc{};
  wc.lpfnWndProc = host_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"E2eHostWindow";
  RegisterClassW(&wc);
  RECT r{0, 0, width, height};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&r, style, FALSE);
  HWND w =
      CreateWindowW(wc.lpszClassName, L"e2e host window", style | WS_VISIBLE, x, y,
                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 1;
  std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)));
  std::fflush(stdout);
  SetTimer(w, kEndTimer, static_cast<UINT>(lifetime), nullptr);
  SetTimer(w, kReportTimer, static_cast<UINT>(lifetime / 2), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
