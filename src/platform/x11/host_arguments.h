// How screen-saver hosts on X hand a saver its window: XScreenSaver sets
// $XSCREENSAVER_WINDOW (hex "0x..." or decimal) and adds -root or --root;
// other hosts pass -window-id ID or --window-id ID. -root alone means the
// root window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vs::x11 {

struct HostArguments {
  // The named window; 0 for -root without $XSCREENSAVER_WINDOW (the caller
  // puts in the root window). Nothing when no host started us.
  std::optional<uint64_t> window;
  bool root = false;
  // The arguments that were not about the host's window.
  std::vector<std::string> rest;
};

// xscreensaver_window is $XSCREENSAVER_WINDOW, or nothing when unset. The
// variable is obeyed when the command line asks for the saver (or names a
// host window itself); the preview, settings and password switches keep
// their meaning even inside a host's session. A window id that cannot be
// read gives window 0 with root false: no window, which fails when used.
HostArguments parse_host_arguments(const std::vector<std::string>& args,
                                   const std::optional<std::string>& xscreensaver_window);

}  // namespace vs::x11
