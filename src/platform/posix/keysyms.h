// The keys the program tells apart, from a keysym: X11 and Wayland (through
// xkbcommon) name keys by the same keysym values, so both backends read
// them through this one table.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vs {

// The key a keysym stands for; Key::Other for any the program does not use.
// The keypad's Enter, Space, Tab, arrows, Home, End, Page Up and Page Down
// (Num Lock off) are the same keys as the main ones.
Key key_of_keysym(uint32_t keysym);

}  // namespace vs
