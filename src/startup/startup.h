// The program's start: single-copy check, command line, mode dispatch.
#pragma once

#include <functional>

#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/settings.h"

namespace vs {

// Shows the settings dialog modally and returns once it has closed. The
// program's entry point hands it in: the dialog sits beside the start-up.
using ShowSettingsDialog = std::function<void(Settings&, Catalogue&, Platform&)>;

// Runs the whole program on the given platform and returns the process exit
// status once it has ended.
int run_program(Platform& p, const ShowSettingsDialog& dialog = {});

}  // namespace vs
