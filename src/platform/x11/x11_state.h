// What the X11 backend keeps between calls. Private to src/platform/x11.
#pragma once

#include "platform/x11/x11_platform.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/posix/wake_signal.h"
#include "platform/x11/connection.h"
#include "platform/x11/presenter.h"

namespace vs {

// One window of ours (or the host's window we draw in). Its WindowId is its
// X id.
struct X11Window {
  enum class Kind { Saver, Preview, Hosted, Dialog };
  Kind kind = Kind::Dialog;
  Window parent = 0;  // the foreign window holding the preview
  int width = 0;      // preview and host: the size we fill
  int height = 0;
  bool gone = false;       // WindowGone was reported; nothing more comes from it
  bool unmanaged = false;  // a dialog above the saver screen, which no manager stacks
  std::unique_ptr<x11::Presenter> presenter;
  std::vector<std::pair<Rect, PointerShape>> shapes;
  PointerShape shape = PointerShape::Normal;  // the one shown now
};

struct X11Platform::State {
  Options options;
  x11::Connection connection;

  // Raised by other threads to end a wait (a load or a chooser has ended).
  WakeSignal wake;
  std::map<Window, X11Window> windows;
  Window saver = 0;  // the saver screen, while it lives
  // The window a screen-saver host named at start-up, if any.
  std::optional<ForeignWindow> host;
  // Owns the selection that marks this copy as the running one.
  Window claim = 0;
  bool keyboard_grabbed = false;
  bool pointer_grabbed = false;
  // Where the saver draws: the primary monitor, in root coordinates.
  Rect area;

  int cursor_counter = 0;
  Cursor blank_cursor = 0;
  Cursor hand_cursor = 0;
  Cursor busy_cursor = 0;
  bool busy = false;
  // The outline on the root drawn last (a dialog opening or closing).
  std::optional<Rect> outline;

  Display* display() const { return connection.display; }
  bool connected() const { return connection.connected(); }
  X11Window* find(WindowId id);
  // The saver, preview or host window, if there is one.
  X11Window* main_window(Window* id = nullptr);
  // Registers a new window of ours.
  X11Window& add(Window id, X11Window w);

  // Takes keyboard and pointer for the saver window, retrying briefly.
  void grab_input(int64_t now_us);
  // One attempt at the grabs still missing; a failed one is tried again at
  // grab_retry_us, as long as attempts are left.
  void try_grab(int64_t now_us);
  int grab_attempts_left = 0;
  std::optional<int64_t> grab_retry_us;
  void release_input();
  // The saver screen no longer hears of monitor changes.
  void stop_following_root();
  // Takes the root's size and the monitors anew. The saver screen follows:
  // its window covers the new root and the drawing moves to the primary
  // monitor. True when the drawing area changed size.
  bool follow_layout();
  // A change of monitors or of the root's size, told by RandR or by the
  // root's ConfigureNotify: Resized when the drawing area changed size.
  std::optional<Event> follow_monitors(XEvent& e);
  // What an X event means to the program; events it does not need to see
  // (exposure, stacking, keyboard mapping) are handled here.
  std::optional<Event> translate(XEvent& e);

  // The cursor a window of ours shows now: blank while the counter is below
  // 0, busy while busy, else its shape under the pointer (0: the usual).
  Cursor cursor_for(const X11Window& w);
  void apply_cursor(Window id, const X11Window& w);
  void apply_cursors();
  // The pointer moved over a window with shapes: show the one under it.
  void follow_pointer(Window id, X11Window& w, int x, int y);
};

}  // namespace vs
