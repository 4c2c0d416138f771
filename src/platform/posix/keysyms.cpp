#include "platform/posix/keysyms.h"

namespace vs {

namespace {

// Keysym values as X11's keysymdef.h and xkbcommon-keysyms.h give them; named
// here so that neither library's headers are needed.
constexpr uint32_t kSpace = 0x0020;
constexpr uint32_t kIsoLeftTab = 0xfe20;  // Shift+Tab on many layouts
constexpr uint32_t kTab = 0xff09;
constexpr uint32_t kReturn = 0xff0d;
constexpr uint32_t kEscape = 0xff1b;
constexpr uint32_t kHome = 0xff50;
constexpr uint32_t kLeft = 0xff51;
constexpr uint32_t kUp = 0xff52;
constexpr uint32_t kRight = 0xff53;
constexpr uint32_t kDown = 0xff54;
constexpr uint32_t kPageUp = 0xff55;    // "Prior"
constexpr uint32_t kPageDown = 0xff56;  // "Next"
constexpr uint32_t kEnd = 0xff57;
constexpr uint32_t kKeypadSpace = 0xff80;
constexpr uint32_t kKeypadTab = 0xff89;
constexpr uint32_t kKeypadEnter = 0xff8d;
constexpr uint32_t kKeypadHome = 0xff95;
constexpr uint32_t kKeypadLeft = 0xff96;
constexpr uint32_t kKeypadUp = 0xff97;
constexpr uint32_t kKeypadRight = 0xff98;
constexpr uint32_t kKeypadDown = 0xff99;
constexpr uint32_t kKeypadPageUp = 0xff9a;
constexpr uint32_t kKeypadPageDown = 0xff9b;
constexpr uint32_t kKeypadEnd = 0xff9c;

}  // namespace

Key key_of_keysym(uint32_t keysym) {
  switch (keysym) {
    case kReturn:
    case kKeypadEnter:
      return Key::Enter;
    case kSpace:
    case kKeypadSpace:
      return Key::Space;
    case kTab:
    case kIsoLeftTab:
    case kKeypadTab:
      return Key::Tab;
    case kEscape:
      return Key::Escape;
    case kUp:
    case kKeypadUp:
      return Key::Up;
    case kDown:
    case kKeypadDown:
      return Key::Down;
    case kLeft:
    case kKeypadLeft:
      return Key::Left;
    case kRight:
    case kKeypadRight:
      return Key::Right;
    case kPageUp:
    case kKeypadPageUp:
      return Key::PageUp;
    case kPageDown:
    case kKeypadPageDown:
      return Key::PageDown;
    case kHome:
    case kKeypadHome:
      return Key::Home;
    case kEnd:
    case kKeypadEnd:
      return Key::End;
    default:
      return Key::Other;
  }
}

}  // namespace vs
