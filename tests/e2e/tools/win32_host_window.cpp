// The Windows stand-in for the control panel's preview in the end-to-end
// tests: makes a plain white top-level window whose client area is
// WIDTH x HEIGHT at X, Y, prints its handle in decimal (as the system
// passes it to a saver's /p), and prints a line for each child window
// another program put into it:
//   child <class> "<title>" <W>x<H> visible|hidden
// a while (kSettleMs) after the first such child shows, or after WAIT
// milliseconds when none shows. A while (kLingerMs) later it destroys the
// window and ends. The waits follow the other program rather than a fixed
// time, since a program's start under Wine takes seconds on a busy machine.
// (Wine shows no drawing of a child window whose parent belongs to another
// program, so a screenshot cannot tell what the child draws.)
//
//   e2e-host-window.exe WIDTH HEIGHT X Y WAIT
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT_PTR kReportTimer = 2;
constexpr UINT_PTR kLookTimer = 3;
constexpr UINT_PTR kGiveUpTimer = 4;
// Time for the child to settle (a second child or a hidden one would show
// by then), and for the test to look at the program while its parent lives.
constexpr UINT kSettleMs = 1500;
constexpr UINT kLingerMs = 3000;

// Whether a visible child window of another program is in the window.
bool has_foreign_child(HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    DWORD process = 0;
    GetWindowThreadProcessId(child, &process);
    if (process != GetCurrentProcessId() && IsWindowVisible(child)) return true;
  }
  return false;
}

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
  if (msg == WM_TIMER && wp == kLookTimer) {
    if (has_foreign_child(w)) {
      KillTimer(w, kLookTimer);
      KillTimer(w, kGiveUpTimer);
      SetTimer(w, kReportTimer, kSettleMs, nullptr);
    }
    return 0;
  }
  if (msg == WM_TIMER && (wp == kReportTimer || wp == kGiveUpTimer)) {
    KillTimer(w, kLookTimer);
    KillTimer(w, kGiveUpTimer);
    KillTimer(w, kReportTimer);
    report_children(w);
    SetTimer(w, kEndTimer, kLingerMs, nullptr);
    return 0;
  }
  if (msg == WM_TIMER && wp == kEndTimer) {
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
    std::fprintf(stderr, "usage: e2e-host-window.exe WIDTH HEIGHT X Y WAIT\n");
    return 64;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
  const int wait = std::atoi(argv[5]);
  if (width <= 0 || height <= 0 || wait <= 0) return 64;
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
  SetTimer(w, kLookTimer, 100, nullptr);
  SetTimer(w, kGiveUpTimer, static_cast<UINT>(wait), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
