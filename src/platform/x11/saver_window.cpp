// The saver screen: a borderless full-screen window above everything that
// takes keyboard and pointer, as screen savers on X do.
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

#include <X11/Xutil.h>

#include <time.h>

namespace vs {
namespace {

constexpr long kSaverEvents = KeyPressMask | ButtonPressMask | PointerMotionMask | ExposureMask |
                              StructureNotifyMask | VisibilityChangeMask;
// Another client (a menu, a drag) may hold the grab for a moment.
constexpr int kGrabAttempts = 50;
constexpr int kGrabRetryMs = 20;

}  // namespace

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
    report("cannot make the saver window");
    return false;
  }
  x11::set_window_title(c, w, title);
  XClassHint hint{const_cast<char*>("varnoscape"), const_cast<char*>("Varnoscape")};
  XSetClassHint(c.display, w, &hint);
  x_->window = w;
  x_->presenter = std::make_unique<x11::Presenter>(c, w, c.width, c.height);
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
  // The window may be gone already (the preview's parent took it along).
  x11::ErrorTrap trap(d);
  XDestroyWindow(d, x_->window);
  if (x_->parent) XSelectInput(d, x_->parent, NoEventMask);
  trap.failed();
  x_->drop_window();
}

}  // namespace vs
