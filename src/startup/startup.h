// The program's start-up procedure: single-copy check, command line, mode
// dispatch.
#pragma once

#include "platform/platform.h"

namespace vs {

// Runs the whole program on the given platform and returns the process exit
// status once it has ended.
int Main(Platform& p);

}  // namespace vs
