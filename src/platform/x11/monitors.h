// The monitors of the screen and the one the saver draws on. Several
// monitors make one root window; the saver covers all of it in black and
// draws on the primary monitor (the first one when none is primary), as a
// desktop puts its panel and new windows there.
#pragma once

#include <vector>

#include "platform/x11/connection.h"

namespace vs::x11 {

struct Monitor {
  Rect area;  // in root window coordinates
  bool primary = false;
};

// What the server tells: RandR 1.5 monitors, or Xinerama's heads on a server
// without them. Nothing when it knows of no monitor (one plain screen).
std::vector<Monitor> query_monitors(Connection& c);

// Where the drawing goes on a root of the given size: the primary monitor,
// else the first, cut to the root; monitors wholly outside the root (it
// shrank before the monitors were told) are passed over. The whole root
// when no monitor is left.
Rect drawing_area(const std::vector<Monitor>& monitors, int root_width, int root_height);

}  // namespace vs::x11
