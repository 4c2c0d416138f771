// What a window manager's close box does, for tests that run without a
// window manager: sends WM_DELETE_WINDOW to the window.
//
//   e2e-close-window WINDOW-ID
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: e2e-close-window WINDOW-ID\n");
    return 64;
  }
  const Window w = std::strtoul(argv[1], nullptr, 0);
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 1;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
  return 0;
}
