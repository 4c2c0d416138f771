// The Wayland backend: windows, input and presenting through
// libwayland-client (shared-memory buffers, two a surface, each reused only
// once the compositor has let it go), keys through xkbcommon, text through
// FreeType and fontconfig. Files, clock and pictures come from the POSIX
// layer.
//
// The saver is a surface of the wlroots layer shell on the overlay layer of
// every output, with the keyboard to itself; where the compositor has no
// layer shell (GNOME), a full-screen window on one output. Dialogs are
// xdg-shell windows of fixed size. Wayland has no window search, no foreign
// windows and no pointer position outside our surfaces: one copy per
// session is a lock in $XDG_RUNTIME_DIR, and /p has nowhere to draw.
//
// Use it from one thread. A connection lost later ends the process at once
// with status 1.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace vs {

// Wayland gives no window of another program: no screen-saver host's window
// and no preview, so it has no SaverHost.
class WaylandPlatform : public Platform,
                        public PosixSystem,
                        public WindowSystem,
                        public PosixDesktop {
 public:
  System& system() override { return *this; }
  WindowSystem& window_system() override { return *this; }
  Desktop& desktop() override { return *this; }
  SaverHost* saver_host() override { return nullptr; }
  // args are the program's arguments after its own name. The connection is
  // opened from WAYLAND_DISPLAY.
  explicit WaylandPlatform(std::vector<std::string> args);
  ~WaylandPlatform() override;
  [[noreturn]] void end_program_now(int status) override;

  // False when no compositor could be reached.
  bool connected() const;

  ScreenInfo screen() override;
  double dialog_scale() override;
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  WindowId create_saver_window(const std::string& title) override;
  WindowId create_dialog_window(const DialogSpec& spec) override;
  void show_window(WindowId window) override;
  void destroy_window(WindowId window) override;
  std::optional<Rect> window_rect(WindowId window) override;
  void present(WindowId window, const Surface& surface, const Rect& area) override;
  std::optional<Event> next_event(int timeout_ms) override;
  void wake() override;
  bool events_may_come() override { return connected(); }
  int show_cursor(bool show) override;
  std::optional<Point> pointer_position() override;
  void set_hand_pointer(const PointerImage& image) override;
  void set_pointer_shapes(WindowId window,
                          const std::vector<std::pair<Rect, PointerShape>>& regions) override;
  void set_busy(bool busy) override;
  void message_box(WindowId owner, const std::string& text, const std::string& title,
                   MessageIcon icon) override;

  struct State;

 private:
  std::unique_ptr<State> w_;
};

}  // namespace vs
