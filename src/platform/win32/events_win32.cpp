// Input and window events: the window procedure turns messages into our
// events, and next_event waits for them without polling.
#include <windows.h>
// after windows.h, which it needs
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/win32_state.h"

#ifndef WM_DPICHANGED  // Windows 8.1 on
#define WM_DPICHANGED 0x02E0
#endif

namespace vs {

namespace {

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

}  // namespace

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
    case WM_DPICHANGED:
      // Dragged to a monitor of another scale: the window takes the place
      // the system suggests, and the dialog is laid out again at the new
      // scale (which then sets its exact size).
      if (w.kind == Win32Window::Kind::Dialog) {
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        push(make(Event::Kind::ScaleChanged, hwnd, LOWORD(wp)));
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
    // Sleeps until a message comes, the time is up or another thread wakes
    // us: no busy loop.
    const DWORD handles = w_->wake ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjectsEx(handles, handles ? &w_->wake : nullptr, wait,
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handles && woke == WAIT_OBJECT_0) return std::nullopt;
  }
}

void Win32Platform::wake() {
  if (w_->wake) SetEvent(w_->wake);
}

}  // namespace vs
