// What the system shows for us: its message box, an address opened by the
// shell, and the caption animation of a window opening.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "platform/win32/utf16.h"
#include "platform/win32/win32_platform.h"

namespace vs {

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

bool Win32Platform::animate_rect(const Rect& from, const Rect& to) {
  RECT a{from.x, from.y, from.x + from.width, from.y + from.height};
  RECT b{to.x, to.y, to.x + to.width, to.y + to.height};
  DrawAnimatedRects(nullptr, IDANI_CAPTION, &a, &b);
  return true;
}

}  // namespace vs
