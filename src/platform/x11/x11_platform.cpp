#include "platform/x11/x11_platform.h"

#include "platform/x11/host_arguments.h"
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

namespace vs {

X11Platform::X11Platform(std::vector<std::string> args) : X11Platform(std::move(args), Options{}) {}

X11Platform::X11Platform(std::vector<std::string> args, Options options)
    : PosixPlatform(std::move(args)), x_(std::make_unique<State>()) {
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
  destroy_window();
  if (x_->blank_cursor) XFreeCursor(x_->display(), x_->blank_cursor);
  if (x_->claim) XDestroyWindow(x_->display(), x_->claim);
  x_->connection.close();
}

bool X11Platform::connected() const {
  return x_->connected();
}

bool X11Platform::presenting_through_shm() const {
  return x_->presenter && x_->presenter->through_shm();
}

uint64_t X11Platform::window_id() const {
  return x_->window;
}

void X11Platform::sync() {
  if (x_->connected()) XSync(x_->connection.display, False);
}

ScreenInfo X11Platform::screen() {
  if (x_->hosted) return ScreenInfo{x_->parent_width, x_->parent_height, 15, 15};
  // The saver screen hears of every change; without it, look now.
  if (!x_->saver_screen()) x_->follow_layout();
  return ScreenInfo{x_->area.width, x_->area.height, 15, 15};
}

bool X11Platform::window_exists(const std::string& title) {
  return x_->connected() && x11::top_level_window_titled(x_->connection, title);
}

void X11Platform::present(const Surface& surface, int top, int bottom) {
  if (x_->presenter && !x_->gone) x_->presenter->put(surface, top, bottom);
}

void X11Platform::State::drop_window() {
  presenter.reset();
  window = 0;
  preview = false;
  hosted = false;
  parent = 0;
  gone = false;
  shown = false;
  deferred.clear();
}

}  // namespace vs
