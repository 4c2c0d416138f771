// The one keysym table of X11 and Wayland, checked against both libraries'
// own names for the keys: a wrong value in the table shows here, as does a
// key that works on one desktop and not on the other.
#include "platform/posix/keysyms.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstdint>

namespace vs {
namespace {

struct KeyCase {
  const char* name;
  uint32_t x11;
  uint32_t xkb;
  Key key;
};

TEST(Keysyms, BothBackendsTellTheSameKeys) {
  const KeyCase cases[] = {
      {"Return", XK_Return, XKB_KEY_Return, Key::Enter},
      {"KP_Enter", XK_KP_Enter, XKB_KEY_KP_Enter, Key::Enter},
      {"space", XK_space, XKB_KEY_space, Key::Space},
      {"KP_Space", XK_KP_Space, XKB_KEY_KP_Space, Key::Space},
      {"Tab", XK_Tab, XKB_KEY_Tab, Key::Tab},
      {"ISO_Left_Tab", XK_ISO_Left_Tab, XKB_KEY_ISO_Left_Tab, Key::Tab},
      {"KP_Tab", XK_KP_Tab, XKB_KEY_KP_Tab, Key::Tab},
      {"Escape", XK_Escape, XKB_KEY_Escape, Key::Escape},
      {"Up", XK_Up, XKB_KEY_Up, Key::Up},
      {"KP_Up", XK_KP_Up, XKB_KEY_KP_Up, Key::Up},
      {"Down", XK_Down, XKB_KEY_Down, Key::Down},
      {"KP_Down", XK_KP_Down, XKB_KEY_KP_Down, Key::Down},
      {"Left", XK_Left, XKB_KEY_Left, Key::Left},
      {"KP_Left", XK_KP_Left, XKB_KEY_KP_Left, Key::Left},
      {"Right", XK_Right, XKB_KEY_Right, Key::Right},
      {"KP_Right", XK_KP_Right, XKB_KEY_KP_Right, Key::Right},
      {"Page_Up", XK_Page_Up, XKB_KEY_Page_Up, Key::PageUp},
      {"KP_Page_Up", XK_KP_Page_Up, XKB_KEY_KP_Page_Up, Key::PageUp},
      {"Page_Down", XK_Page_Down, XKB_KEY_Page_Down, Key::PageDown},
      {"KP_Page_Down", XK_KP_Page_Down, XKB_KEY_KP_Page_Down, Key::PageDown},
      {"Home", XK_Home, XKB_KEY_Home, Key::Home},
      {"KP_Home", XK_KP_Home, XKB_KEY_KP_Home, Key::Home},
      {"End", XK_End, XKB_KEY_End, Key::End},
      {"KP_End", XK_KP_End, XKB_KEY_KP_End, Key::End},
      // Keys the program does not use, some beside ones it does: the keypad's
      // digits (Num Lock on) and its middle key, letters, shifts, nothing.
      {"KP_8", XK_KP_8, XKB_KEY_KP_8, Key::Other},
      {"KP_Begin", XK_KP_Begin, XKB_KEY_KP_Begin, Key::Other},
      {"KP_Add", XK_KP_Add, XKB_KEY_KP_Add, Key::Other},
      {"Insert", XK_Insert, XKB_KEY_Insert, Key::Other},
      {"Delete", XK_Delete, XKB_KEY_Delete, Key::Other},
      {"BackSpace", XK_BackSpace, XKB_KEY_BackSpace, Key::Other},
      {"Shift_L", XK_Shift_L, XKB_KEY_Shift_L, Key::Other},
      {"a", XK_a, XKB_KEY_a, Key::Other},
      {"NoSymbol", 0, XKB_KEY_NoSymbol, Key::Other},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(key_of_keysym(c.x11), c.key) << "X11 " << c.name;
    EXPECT_EQ(key_of_keysym(c.xkb), c.key) << "xkbcommon " << c.name;
  }
}

}  // namespace
}  // namespace vs
