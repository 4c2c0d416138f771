// The program's start-up procedure: single-copy check, command line, mode
// dispatch.
#pragma once

#include <functional>

#include "platform/platform.h"
#include "settings/module_state.h"

namespace vs {

// Shows the settings dialog modally and returns once it has closed. The
// program's entry point hands it in: the dialog sits above the start-up.
using SettingsDialog = std::function<void(Varnoscape_B& m, Platform& p)>;

// Runs the whole program on the given platform and returns the process exit
// status once it has ended.
int Main(Platform& p, const SettingsDialog& dialog = {});

}  // namespace vs
