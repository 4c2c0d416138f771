// What the X11 backend keeps between calls. Private to src/platform/x11.
#pragma once

#include "platform/x11/x11_platform.h"

#include <deque>
#include <memory>
#include <optional>

#include "platform/x11/connection.h"
#include "platform/x11/presenter.h"
#include "platform/x11/rect.h"

namespace vs {

struct X11Platform::State {
  Options options;
  x11::Connection connection;

  // Our one window: the saver screen or the preview child, or the host's
  // window we draw in (hosted).
  Window window = 0;
  bool preview = false;
  bool hosted = false;
  // The window a screen-saver host named at start-up, if any.
  std::optional<ForeignWindow> host;
  // Owns the selection that marks this copy as the running one.
  Window claim = 0;
  Window parent = 0;  // the foreign window holding the preview
  int parent_width = 0;
  int parent_height = 0;
  bool gone = false;  // WindowGone was reported; nothing more comes from it
  bool shown = false;
  bool keyboard_grabbed = false;
  bool pointer_grabbed = false;
  std::unique_ptr<x11::Presenter> presenter;
  // Where the saver draws: the primary monitor, in root coordinates.
  x11::Rect area;

  // The message box while it is up.
  Window box = 0;
  // Events for our window that arrived while the message box waited.
  std::deque<XEvent> deferred;

  int cursor_counter = 0;
  Cursor blank_cursor = 0;

  Display* display() const { return connection.display; }
  bool connected() const { return connection.connected(); }
  // Takes keyboard and pointer for the saver window, retrying briefly.
  void grab_input();
  void release_input();
  // The cursor that the counter asks for on our windows (0: the usual one).
  Cursor wanted_cursor();
  void apply_cursor(Window w);
  // Forgets our window after it was destroyed (by us or with its parent).
  void drop_window();
  // Our window is the saver screen (not the preview, not a host's window).
  bool saver_screen() const { return window && !preview && !hosted; }
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
};

}  // namespace vs
