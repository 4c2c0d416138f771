// Test support for the X11 backend: a private Xvfb per test program, child
// processes (xdotool), and a second connection to look at the screen the
// way another program would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/surface.h"
#include "platform/x11/x11_platform.h"

namespace vs::testing {

// An X server of our own on a display number it picks itself (-displayfd);
// ready once the constructor returns. Stopped by the destructor.
class Xvfb {
 public:
  explicit Xvfb(const std::string& screen = "640x480x24");
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }
  pid_t pid() const { return pid_; }
  // What went wrong when it is not running.
  const std::string& error() const { return error_; }
  void kill_now();

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

// The server shared by the tests of this program (640 x 480 x 24).
Xvfb& shared_server();

// The backend on the shared server.
X11Platform::Options options_for(const Xvfb& server, bool use_shm = true);

struct RunResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
};

// Runs a program (no shell) with DISPLAY set to the display and waits.
RunResult run(const std::vector<std::string>& argv, const std::string& display);
// Starts it without waiting; returns its pid (reap it with finish()).
pid_t start(const std::vector<std::string>& argv, const std::string& display);
int finish(pid_t pid);

// A plain Xlib connection of the test itself. Kept opaque so that test
// files need no Xlib header unless they use it directly.
class Peer {
 public:
  explicit Peer(const std::string& display);
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  bool ok() const { return display_ != nullptr; }
  void* display() const { return display_; }  // Display*

  // A plain managed-style top-level (or child of parent) window, mapped.
  uint64_t make_window(int x, int y, int width, int height, uint64_t parent = 0);
  uint64_t make_input_only_window(int x, int y, int width, int height);
  void set_net_wm_name(uint64_t window, const std::string& utf8);
  // WM_NAME with the given encoding: "STRING", "UTF8_STRING" or
  // "COMPOUND_TEXT" (converted through Xlib).
  void set_wm_name(uint64_t window, const std::string& utf8, const std::string& encoding);
  uint64_t root();
  void raise(uint64_t window);
  void destroy(uint64_t window);
  void resize(uint64_t window, int width, int height);
  void sync();

  // What is on screen in a window's rectangle, as BGRX pixels (depth 24) or
  // the raw pixel values of other depths.
  std::optional<Surface> read_pixels(uint64_t window, int x, int y, int width, int height);
  struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool mapped = false;
    bool override_redirect = false;
    int children = 0;
  };
  std::optional<Geometry> geometry(uint64_t window);
  std::vector<uint64_t> children(uint64_t window);
  // WM_NAME alone, converted to UTF-8 whatever its encoding.
  std::string wm_name(uint64_t window);
  // A top-level window (or one level below) whose _NET_WM_NAME is title.
  uint64_t find_by_net_name(const std::string& title);
  // A new pixmap's id: a resource that is not a window.
  uint64_t make_pixmap();
  // True when another client could take the keyboard now (and gives it back).
  bool keyboard_free();
  // The window with the keyboard focus.
  uint64_t focus();

 private:
  void* display_ = nullptr;
};

// Ends the test program (by taking its X server away) when a blocking call
// has not returned in time, instead of hanging the test run.
class Watchdog {
 public:
  Watchdog(Xvfb& server, std::chrono::milliseconds limit, std::string what);
  ~Watchdog();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

// Polls a condition up to timeout; true once it holds. The timeout only
// catches a condition that never comes, so it is generous.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Rows [top, bottom) of the surface on the platform's saver, preview or
// host window.
inline void present_rows(X11Platform& p, const Surface& s, int top, int bottom) {
  p.present(p.window_id(), s, Rect{0, top, s.width(), bottom - top});
}

// A surface of reproducible noise: every bit of every channel varies.
Surface noise_surface(int width, int height, uint32_t seed);

}  // namespace vs::testing
