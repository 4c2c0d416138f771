// Everything the upper layers (startup/, saver/, settings/, dialog/) need
// from the system, as one abstract class. Each backend implements it:
// x11/ (Linux desktop), win32/ (Windows) and offscreen/ (in memory, scripted
// input and a fake clock, for tests). Nothing above platform/ includes a
// system header.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_style.h"
#include "platform/picture.h"
#include "platform/picture_fit.h"
#include "platform/surface.h"

namespace vs {

// File attribute bits as the catalogue compares them.
enum FileAttr : int {
  kAttrNone = 0,
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
  kAttrDirectory = 16,
  kAttrArchive = 32,
};

struct ReadResult {
  enum class Status { Ok, Missing, Error };
  Status status = Status::Missing;
  std::string bytes;  // when Ok
  std::string error;  // system error text when Error
};

struct WriteResult {
  bool ok = false;
  std::string error;  // system error text when !ok
};

struct ScreenInfo {
  int width = 0;  // pixels
  int height = 0;
  int twips_per_pixel_x = 15;
  int twips_per_pixel_y = 15;
};

// Input and window events, in the receiving window's pixel coordinates.
struct Event {
  enum class Kind {
    KeyDown,
    MouseDown,
    MouseMove,
    WindowGone,  // our window (or the foreign parent holding it) was destroyed
    Resized,     // the drawing area changed size: x, y hold the new width and height
  };
  Kind kind = Kind::KeyDown;
  int x = 0;
  int y = 0;
};

enum class MessageIcon { Warning, Information, Error };

// An identifier of a window of some other program (preview parent).
using ForeignWindow = uint64_t;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Process and environment --------------------------------------------
  // The text that follows the program's path on its command line.
  virtual std::string argument_string() const = 0;
  virtual std::optional<std::string> environment(const std::string& name) const = 0;
  // The folder holding the running program, without a trailing separator
  // (except a root, which is the separator itself).
  virtual std::string program_folder() const = 0;
  // The per-user base folder for settings ($XDG_CONFIG_HOME or ~/.config,
  // %APPDATA%); empty when there is none.
  virtual std::string user_config_folder() const = 0;

  // --- Files ---------------------------------------------------------------
  virtual PathStyle path_style() const = 0;
  // Names in a folder (not "." and ".."), in the listing's own order; nothing
  // when the folder cannot be listed.
  virtual std::optional<std::vector<std::string>> list_folder(const std::string& folder) = 0;
  // The attribute value of a path (FileAttr bits; links count as what they
  // point to); nothing when it does not exist or cannot be queried.
  virtual std::optional<int> file_attributes(const std::string& path) = 0;
  virtual ReadResult read_file(const std::string& path) = 0;
  // Writes a temporary file in the same folder, then renames it over path, so
  // a crash or a full disk never leaves a half-written file.
  virtual WriteResult replace_file(const std::string& path, std::string_view bytes) = 0;
  virtual bool folder_writable(const std::string& folder) = 0;
  // Creates the folder and its missing parents.
  virtual WriteResult make_folders(const std::string& folder) = 0;

  // --- Pictures ------------------------------------------------------------
  // Loads a picture file, keeping of it no more than `view` will read. Runs
  // on a thread of its own while the saver answers input, so it must not
  // touch the windows; a stop request ends it within a few milliseconds (as
  // a failure).
  virtual PictureResult load_picture(const std::string& path, const PictureView& view = {},
                                     std::stop_token stop = {}) = 0;

  // --- Diagnostics -----------------------------------------------------------
  // A line for whoever looks after the program (standard error on Linux):
  // something that changes what the program does without being the user's
  // to answer, such as a settings file that cannot be read.
  virtual void report(const std::string& line) = 0;

  // --- Time ----------------------------------------------------------------
  virtual int64_t now_us() = 0;  // monotonic microseconds
  virtual void sleep_ms(int ms) = 0;
  // Entropy for re-seeding the random generator ("the clock"): may repeat
  // between calls.
  virtual uint64_t clock_seed() = 0;

  // --- Screen and windows ---------------------------------------------------
  // The area the saver draws on: the primary monitor (with several
  // monitors), or the host's window (see host_window). It may change while
  // the program runs (a monitor plugged in, a window resized).
  virtual ScreenInfo screen() = 0;
  // True when a top-level window with exactly this title exists (UTF-8).
  virtual bool window_exists(const std::string& title) = 0;
  // Makes this copy the one saver or dialog of the desktop, atomically: of
  // two copies started at the same moment only one gets true. The claim
  // lasts as long as the process.
  virtual bool claim_single_copy() = 0;

  // The window that a screen-saver host (XScreenSaver and the like) handed
  // us to draw in, if the program was started that way. The host then ends
  // us with a signal; input is the host's, not ours.
  virtual std::optional<ForeignWindow> host_window() const { return std::nullopt; }
  // Draws the saver into the host's window from now on, at its size, with
  // no grab and no window of our own. Its size, or nothing (reported) when
  // it cannot be used.
  virtual std::optional<ScreenInfo> use_host_window(ForeignWindow window) = 0;

  // The saver screen: a black, borderless, topmost window of the given title
  // covering the screen (every monitor), receiving all keyboard and mouse
  // input; the drawing appears on the primary monitor. Created hidden;
  // false (reported) when it cannot be made.
  virtual bool create_saver_window(const std::string& title) = 0;
  virtual void show_saver_window() = 0;
  // The preview: a child window filling the foreign window `parent`. Returns
  // the child's size, or nothing when parent is not a window.
  virtual std::optional<ScreenInfo> create_preview_window(ForeignWindow parent) = 0;
  virtual void destroy_window() = 0;

  // Puts rows [top, bottom) of the surface on our window at (0, 0).
  virtual void present(const Surface& surface, int top, int bottom) = 0;
  // Next pending event; waits up to timeout_ms for one (0 = only poll).
  virtual std::optional<Event> next_event(int timeout_ms) = 0;

  // The cursor display counter: show adds one, hide subtracts one, and the
  // new counter is returned. The pointer is hidden over our windows while
  // the counter is below 0.
  virtual int show_cursor(bool show) = 0;

  // The system's screen-saver flags. Only Windows has them (saver running,
  // saver enabled); X has no such system-wide state, so by default these
  // do nothing.
  virtual void set_saver_running(bool /*running*/) {}
  virtual void set_saver_active() {}

  // A modal message box with an OK button; returns when it is closed.
  virtual void message_box(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

}  // namespace vs
