// The preview: our child window inside a window of another program, given
// by its id on the command line. The id may be anything, so it is checked
// under the error handler before use.
#include "platform/x11/x11_state.h"

namespace vs {
namespace {

// X resource ids have their top three bits clear.
constexpr ForeignWindow kLargestId = 0x1FFFFFFF;

}  // namespace

ChildWindow X11Platform::create_preview_window(ForeignWindow parent) {
  if (!x_->connected() || !x_->connection.true_colour) return {};
  if (parent == 0 || parent > kLargestId) return {};
  x11::Connection& c = x_->connection;
  Window p = static_cast<Window>(parent);
  XWindowAttributes pa{};
  // A pixmap, a closed window or a number nobody uses all fail here.
  if (!XGetWindowAttributes(c.display, p, &pa) || pa.c_class != InputOutput) return {};

  XSetWindowAttributes a{};
  a.background_pixel = c.black;
  a.border_pixel = 0;
  a.colormap = c.colormap;  // the parent's visual may differ from ours
  a.event_mask = ExposureMask | StructureNotifyMask;
  x11::ErrorTrap trap(c.display);
  Window w = XCreateWindow(c.display, p, 0, 0, pa.width, pa.height, 0, c.depth, InputOutput,
                           c.visual, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
  // Resizes and the parent's end reach us through its structure events.
  XSelectInput(c.display, p, StructureNotifyMask);
  XMapWindow(c.display, w);
  if (trap.failed()) {
    x11::ErrorTrap cleanup(c.display);
    if (w) XDestroyWindow(c.display, w);
    XSelectInput(c.display, p, NoEventMask);
    cleanup.failed();
    return {};
  }
  X11Window preview;
  preview.kind = X11Window::Kind::Preview;
  preview.parent = p;
  preview.width = pa.width;
  preview.height = pa.height;
  preview.presenter = std::make_unique<x11::Presenter>(c, w, pa.width, pa.height);
  x_->add(w, std::move(preview));
  return {w, pa.width, pa.height};
}

}  // namespace vs
