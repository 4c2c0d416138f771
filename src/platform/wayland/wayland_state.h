// The Wayland backend's state, shared by its source files.
#pragma once

#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/posix/wake_signal.h"
#include "platform/wayland/wayland_platform.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace vs {

namespace wayland {

struct Output {
  uint32_t name = 0;  // the registry's
  wl_output* output = nullptr;
  int width = 0;  // the current mode, in pixels
  int height = 0;
  int scale = 1;
};

// A shared-memory buffer the size of its surface.
struct Buffer {
  ~Buffer();
  wl_buffer* buffer = nullptr;
  uint32_t* pixels = nullptr;
  size_t bytes = 0;
  int width = 0;
  int height = 0;
  bool busy = false;  // the compositor holds it
  // Rows presented since this buffer last had them: brought up to date
  // before it is shown again.
  int stale_top = 0;
  int stale_bottom = 0;
};

// One wl_surface of ours: a saver surface on one output, or a dialog.
struct Shown {
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdg = nullptr;
  xdg_toplevel* toplevel = nullptr;
  uint32_t output_name = 0;  // the output a saver surface covers
  int width = 0;             // in pixels
  int height = 0;
  int scale = 1;
  bool configured = false;
  bool mapped = false;
  bool primary = true;  // shows the window's pixels (else black)
  // A shell window's: whose events its listener reports.
  WaylandPlatform::State* state = nullptr;
  WindowId window = 0;
  std::vector<std::unique_ptr<Buffer>> buffers;
  std::optional<size_t> latest;  // the buffer holding the newest pixels
};

struct Window {
  enum class Kind { Saver, Dialog };
  Kind kind = Kind::Dialog;
  std::vector<std::unique_ptr<Shown>> surfaces;
  std::vector<std::pair<Rect, PointerShape>> shapes;
  PointerShape shape = PointerShape::Normal;
  bool shown = false;
};

}  // namespace wayland

struct WaylandPlatform::State {
  explicit State(WaylandPlatform& owner) : platform(owner) {}
  ~State();

  WaylandPlatform& platform;
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  xdg_wm_base* wm_base = nullptr;
  zwlr_layer_shell_v1* layer_shell = nullptr;
  bool refuse_layer_shell = false;
  std::vector<std::unique_ptr<wayland::Output>> outputs;  // as announced, the first first

  // Input.
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  xkb_context* xkb = nullptr;
  xkb_keymap* keymap = nullptr;
  xkb_state* keys = nullptr;
  wl_surface* pointer_surface = nullptr;  // ours, under the pointer
  uint32_t pointer_serial = 0;
  Point pointer_at;
  wl_surface* keyboard_surface = nullptr;

  // Pointers: the theme's, and our own hand.
  wl_cursor_theme* cursor_theme = nullptr;
  wl_surface* cursor_surface = nullptr;
  std::unique_ptr<wayland::Buffer> hand;
  Point hand_hot_spot;
  int hand_scale = 1;
  int cursor_counter = 0;
  bool busy = false;
  // The pointer last given to the compositor, and for which entry: it is
  // given again only when it changes, not at every movement.
  enum class Look { None, Hidden, Hand, Busy, Normal };
  Look pointer_look = Look::None;
  uint32_t pointer_look_serial = 0;

  std::map<WindowId, wayland::Window> windows;
  WindowId next_id = 1;
  WindowId saver = 0;
  std::deque<Event> events;
  // Raised by other threads to end a wait (a load or a chooser has ended).
  WakeSignal wake;
  int lock_fd = -1;  // the single-copy claim
  bool lost = false;

  // The window a surface of ours belongs to, and that surface.
  std::pair<WindowId, wayland::Shown*> find(wl_surface* surface);
  wayland::Shown* primary(WindowId window);
  void push(Event e) { events.push_back(e); }
  // Waits for the compositor's answers to everything sent so far.
  void roundtrip();
  // A saver surface for each output, none for an output gone.
  void follow_outputs();
  std::unique_ptr<wayland::Shown> make_saver_surface(const wayland::Output& output, bool primary);
  void show(wayland::Shown& s);
  void attach(wayland::Shown& s, size_t buffer, int top, int bottom);
  std::optional<size_t> free_buffer(wayland::Shown& s);
  void apply_cursor();
  void set_up_input();
};

}  // namespace vs
