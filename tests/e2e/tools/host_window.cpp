// A stand-in for a screen-saver host in the end-to-end tests: makes a plain
// top-level window, maps it, prints its id and waits until it is killed
// (or the X server goes). Every key that reaches the window is printed as a
// line "key <keycode>", so a test can tell that nobody else holds the
// keyboard.
//
//   e2e-host-window WIDTH HEIGHT [X Y]
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: e2e-host-window WIDTH HEIGHT [X Y]\n");
    return 64;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  const int x = argc == 5 ? std::atoi(argv[3]) : 0, y = argc == 5 ? std::atoi(argv[4]) : 0;
  if (width <= 0 || height <= 0) return 64;
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "e2e-host-window: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(d);
  // White, so that whatever a saver leaves undrawn shows.
  const Window w = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, width, height, 0,
                                       BlackPixel(d, screen), WhitePixel(d, screen));
  XStoreName(d, w, "e2e host window");
  XSelectInput(d, w, KeyPressMask);
  XMapWindow(d, w);
  XSync(d, False);
  std::printf("0x%lx\n", w);
  std::fflush(stdout);
  for (;;) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == KeyPress) {
      std::printf("key %u\n", e.xkey.keycode);
      std::fflush(stdout);
    }
  }
}
