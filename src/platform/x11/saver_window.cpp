// The saver screen: a borderless full-screen window above everything that
// takes keyboard and pointer, as screen savers on X do. It covers the whole
// root (every monitor) in black; the relief goes on the primary monitor.
#include "platform/x11/monitors.h"
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <time.h>

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
  const x11::Rect before = area;
  area = x11::drawing_area(x11::query_monitors(c), c.width, c.height);
  if (saver_screen() && !gone) {
    XMoveResizeWindow(c.display, window, 0, 0, c.width, c.height);
    if (presenter && area != before) {
      presenter->resize(area.width, area.height);
      presenter->place(area.x, area.y);
      // Black where the drawing was, the drawing where it goes now.
      XClearWindow(c.display, window);
      presenter->repaint(area.x, area.y, area.width, area.height);
    }
  }
  return area.width != before.width || area.height != before.height;
}

bool X11Platform::create_saver_window(const std::string& title) {
  if (!x_->connected()) return false;
  if (!x_->connection.true_colour) {
    report("cannot show the saver on this screen: it has a depth of " +
           std::to_string(x_->connection.depth) +
           " bits without a TrueColor visual; the saver needs 24 or 32-bit colour");
    return false;
  }
  destroy_window();
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
  a.cursor = x_->wanted_cursor();
  x11::ErrorTrap trap(c.display);
  Window w = XCreateWindow(
      c.display, c.root, 0, 0, c.width, c.height, 0, c.depth, InputOutput, c.visual,
      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask | CWCursor, &a);
  if (trap.failed() || !w) {
    follow_root(c, false);
    report("cannot make the saver window");
    return false;
  }
  x11::set_window_title(c, w, title);
  XClassHint hint{const_cast<char*>("varnoscape"), const_cast<char*>("Varnoscape")};
  XSetClassHint(c.display, w, &hint);
  x_->window = w;
  const x11::Rect& area = x_->area;
  x_->presenter = std::make_unique<x11::Presenter>(c, w, area.width, area.height, area.x, area.y);
  XFlush(c.display);
  return true;
}

void X11Platform::show_saver_window() {
  if (!x_->window || x_->preview) return;
  XMapRaised(x_->display(), x_->window);
  XSync(x_->display(), False);
  x_->shown = true;
  x_->grab_input();
}

void X11Platform::State::grab_input() {
  Display* d = display();
  for (int attempt = 0; attempt < kGrabAttempts; ++attempt) {
    if (!keyboard_grabbed) {
      keyboard_grabbed =
          XGrabKeyboard(d, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    if (!pointer_grabbed) {
      pointer_grabbed =
          XGrabPointer(d, window, False, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                       GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    }
    if (keyboard_grabbed && pointer_grabbed) break;
    XSync(d, False);
    struct timespec pause {
      0, kGrabRetryMs * 1000000L
    };
    nanosleep(&pause, nullptr);
  }
  // Without the grab, keys still reach the window once it has the focus.
  x11::ErrorTrap trap(d);
  XSetInputFocus(d, window, RevertToParent, CurrentTime);
  trap.failed();
}

void X11Platform::State::release_input() {
  if (keyboard_grabbed) XUngrabKeyboard(display(), CurrentTime);
  if (pointer_grabbed) XUngrabPointer(display(), CurrentTime);
  keyboard_grabbed = pointer_grabbed = false;
}

void X11Platform::destroy_window() {
  if (!x_->window) return;
  Display* d = x_->display();
  x_->release_input();
  x_->presenter.reset();
  if (x_->hosted) {
    // The host's window stays the host's.
    x11::ErrorTrap trap(d);
    XSelectInput(d, x_->window, NoEventMask);
    trap.failed();
    x_->drop_window();
    return;
  }
  if (x_->saver_screen()) follow_root(x_->connection, false);
  // The window may be gone already (the preview's parent took it along).
  x11::ErrorTrap trap(d);
  XDestroyWindow(d, x_->window);
  if (x_->parent) XSelectInput(d, x_->parent, NoEventMask);
  trap.failed();
  x_->drop_window();
}

}  // namespace vs
