// A modal message box of our own, for systems that have none (X): built on
// the platform's windows, text, presenting and events like any dialog.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vs::forms {

// The fonts message texts are tried in; the first with every character of
// the text is used.
const std::vector<std::string>& message_font_families();

// Shows the box above owner (0: none), centred on the primary monitor, and
// returns once OK, Enter, Space, Escape or the close box has closed it.
// Without a window (no display, no font) the text goes to the report.
void run_message_box(Platform& p, WindowId owner, const std::string& text, const std::string& title,
                     MessageIcon icon);

}  // namespace vs::forms
