// Drawing into a screen-saver host's window (XScreenSaver's): the host owns
// the window, the input and the stacking; we only draw, at the window's
// size, and end when the host destroys the window or signals us.
#include "platform/x11/x11_state.h"

#include <cstdio>

namespace vs {

std::optional<ForeignWindow> X11Platform::host_window() const {
  return x_->host;
}

ChildWindow X11Platform::use_host_window(ForeignWindow id) {
  char name[32];
  std::snprintf(name, sizeof name, "0x%llx", static_cast<unsigned long long>(id));
  if (!x_->connected()) return {};
  x11::Connection& c = x_->connection;
  const Window w = static_cast<Window>(id);
  XWindowAttributes a{};
  {
    x11::ErrorTrap trap(c.display);
    if (id == 0 || !XGetWindowAttributes(c.display, w, &a) || trap.failed() ||
        a.c_class != InputOutput) {
      report(std::string("cannot draw in window ") + name + ": there is no such window");
      return {};
    }
  }
  // Our pixels are made for the screen's own visual.
  if (!c.true_colour || a.visual != c.visual || a.depth != c.depth) {
    report(std::string("cannot draw in window ") + name + ": its visual (depth " +
           std::to_string(a.depth) + ") is not the screen's TrueColor visual");
    return {};
  }
  x11::ErrorTrap trap(c.display);
  // Added to what the host selects; buttons and keys stay the host's.
  XSelectInput(c.display, w, a.your_event_mask | StructureNotifyMask | ExposureMask);
  if (trap.failed()) {
    report(std::string("cannot draw in window ") + name + ": it went away");
    return {};
  }
  X11Window hosted;
  hosted.kind = X11Window::Kind::Hosted;
  hosted.width = a.width;
  hosted.height = a.height;
  hosted.presenter = std::make_unique<x11::Presenter>(c, w, a.width, a.height);
  x_->add(w, std::move(hosted));
  return {w, a.width, a.height};
}

}  // namespace vs
