// The Linux desktop backend: windows, input and presenting through Xlib
// (MIT-SHM when the server offers it), text through FreeType and fontconfig.
// Files, clock and pictures come from the POSIX layer.
//
// The connection is opened from DISPLAY when the object is built. Without a
// display the object still works as a POSIX platform: connected() is false,
// the screen is 0 x 0, no window can be made, and message boxes go to the
// report (stderr).
// A connection lost later (the server went away) ends the process at once
// with status 1 and no message.
//
// Use it from one thread. Several objects may live at once (each has its own
// connection); Xlib's error handlers are shared by all of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace vs {

class X11Platform : public Platform,
                    public PosixSystem,
                    public WindowSystem,
                    public PosixDesktop,
                    public SaverHost {
 public:
  System& system() override { return *this; }
  WindowSystem& window_system() override { return *this; }
  Desktop& desktop() override { return *this; }
  SaverHost* saver_host() override { return this; }

  struct Options {
    // The display to open; empty means $DISPLAY.
    std::string display;
    // Present through shared memory when the server has MIT-SHM. The
    // environment variable VARNOSCAPE_NO_SHM=1 turns it off as well.
    bool use_shm = true;
  };

  // args are the program's arguments after its own name. A screen-saver
  // host's window (-window-id ID, -root, $XSCREENSAVER_WINDOW; see
  // host_arguments.h) is taken out of them.
  explicit X11Platform(std::vector<std::string> args);
  X11Platform(std::vector<std::string> args, Options options);
  ~X11Platform() override;
  [[noreturn]] void end_program_now(int status) override;

  // False when no display could be opened.
  bool connected() const;
  // True when our window's pixels go through shared memory.
  bool presenting_through_shm() const;
  // The X id of our saver, preview or host window; 0 when there is none.
  uint64_t window_id() const;
  // Returns once the server has carried out everything sent so far, so that
  // another client (a test reading the screen) sees its effect.
  void sync();

  ScreenInfo screen() override;
  double dialog_scale() override;
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  std::optional<ForeignWindow> host_window() const override;
  ChildWindow use_host_window(ForeignWindow window) override;
  WindowId create_saver_window(const std::string& title) override;
  ChildWindow create_preview_window(ForeignWindow parent) override;
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
  void draw_outline(const std::optional<Rect>& rect) override;
  void message_box(WindowId owner, const std::string& text, const std::string& title,
                   MessageIcon icon) override;

  struct State;

 private:
  std::unique_ptr<State> x_;
};

}  // namespace vs
