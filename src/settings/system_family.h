// The system family tests and notices of the start-up module.
#pragma once

#include "platform/platform.h"

namespace vs {

// True on the NT family, where the system itself asks for the saver's
// password. Every system this program runs on answers true: the older
// family's password services exist nowhere else.
constexpr bool Is_WinNT() {
  return true;
}

// Tells the system whether a screen saver is running; `ending` true says
// that none is.
void Saver_Running(Platform& p, bool ending);

}  // namespace vs
