// Window titles: set in both encodings, and found again by exact match.
#pragma once

#include "platform/x11/connection.h"

#include <string>

namespace vs::x11 {

// Sets WM_NAME (as STRING or COMPOUND_TEXT, as ICCCM wants it) and
// _NET_WM_NAME (UTF-8), so searches by either name find the window.
void set_window_title(Connection& c, Window window, const std::string& utf8);

// True when the window's _NET_WM_NAME or WM_NAME equals the UTF-8 title.
bool window_has_title(Connection& c, Window window, const std::string& utf8);

// True when a top-level window has the title: a child of the root window, or
// a child of one of those (the client window inside a window manager's
// frame).
bool top_level_window_titled(Connection& c, const std::string& utf8);

}  // namespace vs::x11
