// The system family tests and notices of the start-up module.
#pragma once

#include "platform/platform.h"

namespace vs {

// True on the NT family, where the system itself asks for the saver's
// password; every system without the older family answers true.
bool Is_WinNT(Platform& p);

// Tells the system whether a screen saver is running; `ending` true says
// that none is.
void Saver_Running(Platform& p, bool ending);

}  // namespace vs
