#include "platform/x11/connection.h"

#include <X11/Xatom.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace vs::x11 {
namespace {

// The traps alive now, innermost last. Errors nobody traps are dropped:
// they come from requests whose failure does not matter (a window that went
// away meanwhile).
std::vector<ErrorTrap*> active_traps;

int record_error(Display* display, XErrorEvent* error) {
  for (ErrorTrap* trap : active_traps) trap->note(display, error->serial);
  return 0;
}

// The server is gone (logout, crash, killed): nothing can be shown any more
// and the saver has nothing to restore, so end at once. Status 1 tells a
// caller that this was not a normal end.
int end_on_lost_connection(Display*) {
  std::fflush(nullptr);
  _exit(1);
}

}  // namespace

void install_error_handlers() {
  XSetErrorHandler(record_error);
  XSetIOErrorHandler(end_on_lost_connection);
}

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), first_request_(display ? NextRequest(display) : 0) {
  active_traps.push_back(this);
}

ErrorTrap::~ErrorTrap() {
  std::erase(active_traps, this);
}

void ErrorTrap::note(Display* display, unsigned long serial) {
  if (display == display_ && serial >= first_request_) failed_ = true;
}

bool ErrorTrap::failed() {
  if (!display_) return true;
  XSync(display_, False);
  return failed_;
}

bool Connection::open(const std::string& name, bool allow_shm) {
  install_error_handlers();
  display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (!display) return false;
  screen = DefaultScreen(display);
  root = RootWindow(display, screen);
  width = DisplayWidth(display, screen);
  height = DisplayHeight(display, screen);
  visual = DefaultVisual(display, screen);
  depth = DefaultDepth(display, screen);
  colormap = DefaultColormap(display, screen);
  black = BlackPixel(display, screen);
  true_colour = visual->c_class == TrueColor;
  shm = allow_shm && XShmQueryExtension(display);
  int randr_error_base = 0, major = 0, minor = 0;
  randr = XRRQueryExtension(display, &randr_event_base, &randr_error_base) &&
          XRRQueryVersion(display, &major, &minor);
  randr_monitors = randr && (major > 1 || (major == 1 && minor >= 5));

  const char* names[] = {"UTF8_STRING",
                         "COMPOUND_TEXT",
                         "_NET_WM_NAME",
                         "WM_PROTOCOLS",
                         "WM_DELETE_WINDOW",
                         "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_WINDOW_TYPE_DIALOG",
                         "_NET_WM_STATE",
                         "_NET_WM_STATE_MODAL",
                         "_NET_WM_STATE_ABOVE"};
  constexpr int count = sizeof(names) / sizeof(names[0]);
  Atom got[count] = {};
  XInternAtoms(display, const_cast<char**>(names), count, False, got);
  atoms = {got[0], got[1], got[2], got[3], got[4], got[5], got[6], got[7], got[8], got[9]};
  return true;
}

void Connection::close() {
  if (display) XCloseDisplay(display);
  display = nullptr;
}

}  // namespace vs::x11
