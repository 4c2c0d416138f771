// The saver screen: a borderless full-screen window above everything that
// takes keyboard and pointer, as screen savers on X do. It covers the whole
// root (every monitor) in black; the relief goes on the primary monitor.
#include "platform/x11/monitors.h"
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace vs {
namespace {

constexpr long kSaverEvents = KeyPressMask | ButtonPressMask | PointerMotionMask | ExposureMask |
                              StructureNotifyMask | VisibilityChangeMask;
// Another client (a menu, a drag) may hold the grab for a moment.
constexpr int kGrabAttempts = 50;
constexpr int kGrabRetryMs = 20;
// Monitors plugged, moved or resized: RandR tells, and the root's own
// ConfigureNotify tells servers without RandR that the root changed size.
constexpr int kLayoutEvents =
    RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;

void follow_root(x11::Connection& c, bool follow) {
  x11::ErrorTrap trap(c.display);
  XSelectInput(c.display, c.root, follow ? StructureNotifyMask : NoEventMask);
  if (c.randr) XRRSelectInput(c.display, c.root, follow ? kLayoutEvents : 0);
  trap.failed();
}

}  // namespace

void X11Platform::State::stop_following_root() {
  follow_root(connection, false);
}

bool X11Platform::State::follow_layout() {
  if (!connected()) return false;
  x11::Connection& c = connection;
  Window root_return = 0;
  int x = 0, y = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  if (XGetGeometry(c.display, c.root, &root_return, &x, &y, &width, &height, &border, &depth)) {
    c.width = static_cast<int>(width);
    c.height = static_cast<int>(height);
  }
  const Rect before = area;
  area = x11::drawing_area(x11::query_monitors(c), c.width, c.height);
  X11Window* w = find(saver);
  if (w && !w->gone) {
    XMoveResizeWindow(c.display, saver, 0, 0, c.width, c.height);
    if (w->presenter && area != before) {
      w->presenter->resize(area.width, area.height);
      w->presenter->place(area.x, area.y);
      // Black where the drawing was, the drawing where it goes now.
      XClearWindow(c.display, saver);
      w->presenter->repaint(area.x, area.y, area.width, area.height);
    }
  }
  return area.width != before.width || area.height != before.height;
}

WindowId X11Platform::create_saver_window(const std::string& title) {
  if (!x_->connected()) return 0;
  if (!x_->connection.true_colour) {
    report("cannot show the saver on this screen: it has a depth of " +
           std::to_string(x_->connection.depth) +
           " bits without a TrueColor visual; the saver needs 24 or 32-bit colour");
    return 0;
  }
  if (x_->saver) destroy_window(x_->saver);
  x11::Connection& c = x_->connection;
  // Listening first, so that no change comes between the look and the window.
  follow_root(c, true);
  x_->follow_layout();
  XSetWindowAttributes a{};
  a.background_pixel = c.black;
  a.border_pixel = 0;
  a.colormap = c.colormap;
  // Not managed by a window manager: no frame, no title bar, placed where
  // we say, and stacked above managed windows.
  a.override_redirect = True;
  a.event_mask = kSaverEvents;
  x11::ErrorTrap trap(c.display);
  Window w = XCreateWindow(
      c.display, c.root, 0, 0, c.width, c.height, 0, c.depth, InputOutput, c.visual,
      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask, &a);
  if (trap.failed() || !w) {
    follow_root(c, false);
    report("cannot make the saver window");
    return 0;
  }
  x11::set_window_title(c, w, title);
  XClassHint hint{const_cast<char*>("varnoscape"), const_cast<char*>("Varnoscape")};
  XSetClassHint(c.display, w, &hint);
  X11Window saver;
  saver.kind = X11Window::Kind::Saver;
  const Rect& area = x_->area;
  saver.presenter = std::make_unique<x11::Presenter>(c, w, area.width, area.height, area.x, area.y);
  x_->saver = w;
  x_->add(w, std::move(saver));
  XFlush(c.display);
  return w;
}

void X11Platform::State::grab_input(int64_t now_us) {
  grab_attempts_left = kGrabAttempts;
  try_grab(now_us);
  // Without the grab, keys still reach the window once it has the focus.
  x11::ErrorTrap trap(display());
  XSetInputFocus(display(), saver, RevertToParent, CurrentTime);
  trap.failed();
}

void X11Platform::State::try_grab(int64_t now_us) {
  grab_retry_us.reset();
  if (!saver || grab_attempts_left <= 0) return;
  --grab_attempts_left;
  Display* d = display();
  if (!keyboard_grabbed) {
    keyboard_grabbed =
        XGrabKeyboard(d, saver, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  }
  if (!pointer_grabbed) {
    pointer_grabbed =
        XGrabPointer(d, saver, False, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
  }
  // Another client holds a grab for a moment: tried again when the wait
  // for events reaches this time, never by sleeping here.
  if (!(keyboard_grabbed && pointer_grabbed) && grab_attempts_left > 0) {
    grab_retry_us = now_us + int64_t{kGrabRetryMs} * 1000;
  }
}

void X11Platform::State::release_input() {
  grab_retry_us.reset();
  grab_attempts_left = 0;
  if (keyboard_grabbed) XUngrabKeyboard(display(), CurrentTime);
  if (pointer_grabbed) XUngrabPointer(display(), CurrentTime);
  keyboard_grabbed = pointer_grabbed = false;
}

}  // namespace vs
