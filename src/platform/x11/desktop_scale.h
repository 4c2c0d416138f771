// The scale an X desktop asks of programs' windows, as GTK and Qt read it.
#pragma once

#include <optional>
#include <string>

namespace vs::x11 {

// GDK_SCALE where it holds a whole scale (1 to 4); else the Xft.dpi of the
// root window's resources over 96 (fractions too: 120 is 1.25); else 1.
double desktop_scale(const char* resources, const std::optional<std::string>& gdk_scale);

}  // namespace vs::x11
