#include "platform/x11/x11_platform.h"

#include <X11/Xatom.h>

#include "forms/message_box.h"
#include "platform/x11/desktop_scale.h"
#include "platform/x11/host_arguments.h"
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

namespace vs {

X11Platform::X11Platform(std::vector<std::string> args) : X11Platform(std::move(args), Options{}) {}

X11Platform::X11Platform(std::vector<std::string> args, Options options)
    : PosixSystem(std::move(args)), PosixDesktop(*this, *this), x_(std::make_unique<State>()) {
  x_->options = std::move(options);
  auto no_shm = environment("VARNOSCAPE_NO_SHM");
  bool allow_shm = x_->options.use_shm && !(no_shm && *no_shm == "1");
  x_->connection.open(x_->options.display, allow_shm);
  x11::HostArguments host = x11::parse_host_arguments(args_, environment("XSCREENSAVER_WINDOW"));
  if (host.window) {
    // Under a host nothing else on the command line applies.
    x_->host = host.root ? ForeignWindow{x_->connection.root} : *host.window;
    args_.clear();
  }
}

X11Platform::~X11Platform() {
  if (!x_->connected()) return;
  while (!x_->windows.empty()) destroy_window(x_->windows.begin()->first);
  Display* d = x_->display();
  for (Cursor c : {x_->blank_cursor, x_->hand_cursor, x_->busy_cursor}) {
    if (c) XFreeCursor(d, c);
  }
  if (x_->claim) XDestroyWindow(d, x_->claim);
  x_->connection.close();
}

void X11Platform::end_program_now(int status) {
  if (x_->connected()) {
    while (!x_->windows.empty()) destroy_window(x_->windows.begin()->first);
    if (x_->claim) XDestroyWindow(x_->display(), x_->claim);
    // The server has done all this before the process goes.
    XSync(x_->display(), False);
  }
  PosixSystem::end_program_now(status);
}

X11Window* X11Platform::State::find(WindowId id) {
  auto it = windows.find(static_cast<Window>(id));
  return it == windows.end() ? nullptr : &it->second;
}

X11Window* X11Platform::State::main_window(Window* id) {
  for (auto& [xid, w] : windows) {
    if (w.kind != X11Window::Kind::Dialog) {
      if (id) *id = xid;
      return &w;
    }
  }
  return nullptr;
}

X11Window& X11Platform::State::add(Window id, X11Window w) {
  X11Window& added = windows[id] = std::move(w);
  apply_cursor(id, added);
  return added;
}

bool X11Platform::connected() const {
  return x_->connected();
}

bool X11Platform::presenting_through_shm() const {
  const X11Window* w = x_->main_window();
  return w && w->presenter && w->presenter->through_shm();
}

uint64_t X11Platform::window_id() const {
  Window id = 0;
  x_->main_window(&id);
  return id;
}

void X11Platform::sync() {
  if (x_->connected()) XSync(x_->connection.display, False);
}

double X11Platform::dialog_scale() {
  const char* resources = x_->connected() ? XResourceManagerString(x_->display()) : nullptr;
  return x11::desktop_scale(resources, environment("GDK_SCALE"));
}

ScreenInfo X11Platform::screen() {
  for (const auto& [id, w] : x_->windows) {
    if (w.kind == X11Window::Kind::Hosted) return ScreenInfo{w.width, w.height, 15, 15, 0, 0};
  }
  // The saver screen hears of every change; without it, look now.
  if (!x_->saver) x_->follow_layout();
  return ScreenInfo{x_->area.width, x_->area.height, 15, 15, x_->area.x, x_->area.y};
}

bool X11Platform::window_exists(const std::string& title) {
  return x_->connected() && x11::top_level_window_titled(x_->connection, title);
}

void X11Platform::present(WindowId window, const Surface& surface, const Rect& area) {
  X11Window* w = x_->find(window);
  if (w && w->presenter && !w->gone) w->presenter->put(surface, area.y, area.y + area.height);
}

void X11Platform::show_window(WindowId window) {
  X11Window* w = x_->find(window);
  if (!w || w->gone) return;
  Display* d = x_->display();
  const Window id = static_cast<Window>(window);
  XMapRaised(d, id);
  if (w->kind == X11Window::Kind::Saver) {
    XSync(d, False);
    x_->grab_input(now_us());
  } else if (w->unmanaged) {
    // Above the saver screen the box takes the input the saver holds, and
    // without a manager nobody else gives it the keyboard.
    x_->release_input();
    XSync(d, False);
    x11::ErrorTrap trap(d);
    XSetInputFocus(d, id, RevertToParent, CurrentTime);
    trap.failed();
  }
  XFlush(d);
}

void X11Platform::destroy_window(WindowId window) {
  auto it = x_->windows.find(static_cast<Window>(window));
  if (it == x_->windows.end()) return;
  Display* d = x_->display();
  X11Window& w = it->second;
  w.presenter.reset();
  x11::ErrorTrap trap(d);
  switch (w.kind) {
    case X11Window::Kind::Hosted:
      // The host's window stays the host's.
      XSelectInput(d, it->first, NoEventMask);
      break;
    case X11Window::Kind::Saver:
      x_->release_input();
      x_->saver = 0;
      x_->stop_following_root();
      XDestroyWindow(d, it->first);
      break;
    case X11Window::Kind::Preview:
      // The window may be gone already (the preview's parent took it along).
      XDestroyWindow(d, it->first);
      if (w.parent) XSelectInput(d, w.parent, NoEventMask);
      break;
    case X11Window::Kind::Dialog:
      XDestroyWindow(d, it->first);
      break;
  }
  const bool regrab = w.unmanaged && x_->saver;
  trap.failed();
  x_->windows.erase(it);
  if (regrab) x_->grab_input(now_us());
}

std::optional<Rect> X11Platform::window_rect(WindowId window) {
  if (!x_->find(window)) return std::nullopt;
  Display* d = x_->display();
  const Window id = static_cast<Window>(window);
  x11::ErrorTrap trap(d);
  XWindowAttributes a{};
  int x = 0, y = 0;
  Window child = 0;
  if (!XGetWindowAttributes(d, id, &a) ||
      !XTranslateCoordinates(d, id, x_->connection.root, 0, 0, &x, &y, &child)) {
    return std::nullopt;
  }
  Rect r{x, y, a.width, a.height};
  // A window manager's frame, when it says how large it is.
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  if (XGetWindowProperty(d, id, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) == Success &&
      data && format == 32 && count == 4) {
    const long* e = reinterpret_cast<const long*>(data);
    r = {r.x - static_cast<int>(e[0]), r.y - static_cast<int>(e[2]),
         r.width + static_cast<int>(e[0] + e[1]), r.height + static_cast<int>(e[2] + e[3])};
  }
  if (data) XFree(data);
  if (trap.failed()) return std::nullopt;
  return r;
}

std::optional<Point> X11Platform::pointer_position() {
  if (!x_->connected()) return std::nullopt;
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(x_->display(), x_->connection.root, &root, &child, &x, &y, &wx, &wy, &mask)) {
    return std::nullopt;
  }
  return Point{x, y};
}

void X11Platform::message_box(WindowId owner, const std::string& text, const std::string& title,
                              MessageIcon icon) {
  if (!x_->connected() || !x_->connection.true_colour) {
    report(title + ": " + text);
    return;
  }
  forms::run_message_box(*this, owner, text, title, icon);
}

}  // namespace vs
