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
#include "platform/wayland/presented_rows.h"
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
  // Its mode and scale have been told: a surface may cover it.
  bool described = false;
};

struct Shown;

// A shared-memory buffer the size of its surface.
struct Buffer : BufferRows {
  ~Buffer();
  wl_buffer* buffer = nullptr;
  size_t bytes = 0;
  bool busy = false;  // the compositor holds it
  // The surface told when the compositor gives it back (none: a pointer's).
  Shown* owner = nullptr;
};

// A buffer with a listener that clears busy and commits what waits for it;
// black, and stale throughout. Nothing when the memory cannot be had.
std::unique_ptr<Buffer> make_buffer(wl_shm* shm, int width, int height, uint32_t format,
                                    Shown* owner);

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
  // The compositor has said how it is to be (its first configure): no
  // buffer may be attached before.
  bool configured = false;
  bool mapped = false;  // a buffer has been committed
  bool primary = true;  // shows the window's pixels (else black)
  // Whose events its listeners report, and for which window.
  WaylandPlatform::State* state = nullptr;
  WindowId window = 0;
  std::vector<std::unique_ptr<Buffer>> buffers;
  std::optional<size_t> latest;  // the buffer committed last
  // What each buffer lacks, and the rows waiting for one: they go out when
  // a buffer comes back or the configure comes.
  PresentedRows rows;
};

// Takes a surface and its shell objects away.
void destroy_shown(Shown& s);

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

  // The connection's globals and what they announce. It waits for the
  // compositor's answers: at the start only, before any loop reads events.
  void bind_globals();

  // Outputs.
  void add_output(uint32_t name, uint32_t version);
  void remove_output(uint32_t name);
  // The first output described, which holds the drawing; none before.
  const wayland::Output* first_output() const;
  // A saver surface for each output, none for an output gone.
  void follow_outputs();

  // Surfaces of the shells. A saver surface is committed bare at once; a
  // window of the given size in pixels at a whole scale, once its owner has
  // set it up. Either awaits its configure before it shows.
  std::unique_ptr<wayland::Shown> make_saver_surface(const wayland::Output& output, WindowId id,
                                                     bool primary);
  std::unique_ptr<wayland::Shown> make_toplevel(WindowId id, const std::string& title, int scale,
                                                int width, int height);

  // Presenting. Nothing here waits for the compositor: what cannot go out
  // now waits in the surface until a buffer comes back or the configure
  // comes, whose listeners call commit_waiting.
  bool can_commit(const wayland::Shown& s) const;
  // Commits the waiting rows of a shown, configured surface (a first black
  // frame where nothing was presented) if a buffer is free.
  void commit_waiting(wayland::Shown& s);
  // A buffer the compositor does not hold (made if there are fewer than
  // two), or none.
  std::optional<size_t> free_buffer(wayland::Shown& s);
  // Brings the buffer up to the newest pixels (PresentedRows::fill) and
  // commits it with the rows that changed as damage.
  void commit(wayland::Shown& s, size_t buffer, const Surface* drawn, RowRange presented);

  void apply_cursor();
  void set_up_input();
};

}  // namespace vs
