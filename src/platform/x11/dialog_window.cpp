// Dialog windows: fixed in size, with a title bar and an icon, placed where
// the program says. They work without a window manager too (they take the
// focus themselves once mapped); above the saver screen, which no manager
// stacks, they are not managed either.
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <vector>

namespace vs {
namespace {

constexpr long kDialogEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | ExposureMask | StructureNotifyMask;

void set_dialog_hints(x11::Connection& c, Window w, const DialogSpec& spec) {
  Display* d = c.display;
  if (XSizeHints* size = XAllocSizeHints()) {
    size->flags = USPosition | PPosition | PMinSize | PMaxSize;
    size->x = spec.position.x;
    size->y = spec.position.y;
    size->min_width = size->max_width = spec.client_width;
    size->min_height = size->max_height = spec.client_height;
    XSetWMNormalHints(d, w, size);
    XFree(size);
  }
  if (XWMHints* wm = XAllocWMHints()) {
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
    XSetWMHints(d, w, wm);
    XFree(wm);
  }
  XClassHint hint{const_cast<char*>("varnoscape"), const_cast<char*>("Varnoscape")};
  XSetClassHint(d, w, &hint);
  Atom protocols[] = {c.atoms.wm_delete_window};
  XSetWMProtocols(d, w, protocols, 1);
  Atom type = c.atoms.net_wm_window_type_dialog;
  XChangeProperty(d, w, c.atoms.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  if (spec.owner) {
    XSetTransientForHint(d, w, static_cast<Window>(spec.owner));
    Atom state[] = {c.atoms.net_wm_state_modal, c.atoms.net_wm_state_above};
    XChangeProperty(d, w, c.atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
  }
  if (spec.icon && !spec.icon->empty()) {
    // _NET_WM_ICON: width, height, then ARGB pixels, each in a long.
    const Surface& icon = *spec.icon;
    std::vector<long> data;
    data.push_back(icon.width());
    data.push_back(icon.height());
    for (int y = 0; y < icon.height(); ++y) {
      for (int x = 0; x < icon.width(); ++x) {
        data.push_back(static_cast<long>(0xFF000000u | (icon.at(x, y) & 0xFFFFFF)));
      }
    }
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
  }
}

}  // namespace

WindowId X11Platform::create_dialog_window(const DialogSpec& spec) {
  if (!x_->connected() || !x_->connection.true_colour) return 0;
  if (spec.client_width <= 0 || spec.client_height <= 0) return 0;
  x11::Connection& c = x_->connection;
  const bool over_saver = spec.owner != 0 && static_cast<Window>(spec.owner) == x_->saver;
  XSetWindowAttributes a{};
  a.background_pixel = c.black;
  a.border_pixel = 0;
  a.colormap = c.colormap;
  a.override_redirect = over_saver ? True : False;
  a.event_mask = kDialogEvents;
  x11::ErrorTrap trap(c.display);
  const Window w = XCreateWindow(
      c.display, c.root, spec.position.x, spec.position.y, static_cast<unsigned>(spec.client_width),
      static_cast<unsigned>(spec.client_height), 0, c.depth, InputOutput, c.visual,
      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask, &a);
  if (trap.failed() || !w) return 0;
  x11::set_window_title(c, w, spec.title);
  set_dialog_hints(c, w, spec);
  X11Window dialog;
  dialog.kind = X11Window::Kind::Dialog;
  dialog.unmanaged = over_saver;
  dialog.presenter = std::make_unique<x11::Presenter>(c, w, spec.client_width, spec.client_height);
  x_->add(w, std::move(dialog));
  return w;
}

}  // namespace vs
