// What the Win32 backend keeps between calls. Private to src/platform/win32.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace vs {

// The class of every window of ours; its procedure hands each message to
// the State.
inline constexpr wchar_t kWindowClass[] = L"Varnoscape";

// One window of ours. Its WindowId is its HWND.
struct Win32Window {
  enum class Kind { Saver, Preview, Dialog };
  Kind kind = Kind::Dialog;
  // What was presented, for repainting: the saver's drawing area, or the
  // client area of the others.
  Surface image;
  // Where the image lies in the client area (the primary monitor's place
  // within the saver screen).
  POINT origin{0, 0};
  bool destroying = false;  // we destroy it: no WindowGone
  std::vector<std::pair<Rect, PointerShape>> shapes;
};

struct Win32Platform::State {
  HINSTANCE instance = nullptr;
  std::map<HWND, Win32Window> windows;
  std::deque<Event> events;
  HWND saver = nullptr;
  HANDLE single_copy = nullptr;
  HCURSOR hand = nullptr;
  HCURSOR busy_cursor = nullptr;
  bool busy = false;
  bool com = false;
  // Set by other threads to end a wait (a load has ended); auto-reset, so
  // one wait takes it.
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (wake) CloseHandle(wake);
  }

  Win32Window* find(WindowId id) {
    auto it = windows.find(reinterpret_cast<HWND>(id));
    return it == windows.end() ? nullptr : &it->second;
  }
  void push(Event e) { events.push_back(std::move(e)); }
  // The message handling of every window of ours.
  LRESULT handle(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
  void paint(HWND hwnd, Win32Window& w);
  // The cursor over a point of the window's client area.
  HCURSOR cursor_at(const Win32Window& w, POINT client);
  // The primary monitor within the virtual screen.
  RECT primary_monitor() const;
};

}  // namespace vs
