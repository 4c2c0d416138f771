// The Linux desktop backend: windows, input and presenting through Xlib
// (MIT-SHM when the server offers it), text through FreeType and fontconfig.
// Files, clock and pictures come from the POSIX layer.
//
// The connection is opened from DISPLAY when the object is built. Without a
// display the object still works as a POSIX platform: connected() is false,
// the screen is 0 x 0, no window can be made, and message boxes go to stderr.
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

class X11Platform : public PosixPlatform {
 public:
  struct Options {
    // The display to open; empty means $DISPLAY.
    std::string display;
    // Present through shared memory when the server has MIT-SHM. The
    // environment variable VARNOSCAPE_NO_SHM=1 turns it off as well.
    bool use_shm = true;
    // Font families for message texts, tried in this order; the first one
    // that has every character of the text is used.
    std::vector<std::string> font_families = {"MS PGothic", "IPAPGothic", "VL PGothic",
                                              "Noto Sans CJK JP"};
  };

  // args are the program's arguments after its own name. A screen-saver
  // host's window (-window-id ID, -root, $XSCREENSAVER_WINDOW; see
  // host_arguments.h) is taken out of them.
  explicit X11Platform(std::vector<std::string> args);
  X11Platform(std::vector<std::string> args, Options options);
  ~X11Platform() override;

  // False when no display could be opened.
  bool connected() const;
  // True when our window's pixels go through shared memory.
  bool presenting_through_shm() const;
  // The X id of our saver or preview window; 0 when there is none.
  uint64_t window_id() const;
  // Returns once the server has carried out everything sent so far, so that
  // another client (a test reading the screen) sees its effect.
  void sync();

  ScreenInfo screen() override;
  bool window_exists(const std::string& title) override;
  bool claim_single_copy() override;
  std::optional<ForeignWindow> host_window() const override;
  std::optional<ScreenInfo> use_host_window(ForeignWindow window) override;
  bool create_saver_window(const std::string& title) override;
  void show_saver_window() override;
  std::optional<ScreenInfo> create_preview_window(ForeignWindow parent) override;
  void destroy_window() override;
  void present(const Surface& surface, int top, int bottom) override;
  std::optional<Event> next_event(int timeout_ms) override;
  int show_cursor(bool show) override;
  void message_box(const std::string& text, const std::string& title, MessageIcon icon) override;

  struct State;

 private:
  std::unique_ptr<State> x_;
};

}  // namespace vs
