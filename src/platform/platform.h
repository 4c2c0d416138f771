// Everything the upper layers (startup/, saver/, settings/, dialog/) need
// from the system, by role: the system, the display, the desktop and the
// screen-saver host. Each backend provides the roles it has: x11/ and
// wayland/ (Linux desktops), win32/ (Windows) and offscreen/ (in memory,
// scripted input and a fake clock, for tests). Nothing above platform/
// includes a system header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/path_style.h"
#include "core/picture.h"
#include "core/picture_fit.h"
#include "core/surface.h"
#include "core/texts.h"

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

// One name of a folder listing, with what the listing itself tells of it.
struct FolderEntry {
  std::string name;
  // The attribute value (FileAttr bits) where the listing gives it, as
  // Windows' does; nothing: file_attributes tells.
  std::optional<int> attributes;
  // False when the listing knows the name is neither a folder nor a link,
  // so a walk over folders need not ask.
  bool may_be_folder = true;
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

// A rectangle in pixels: part of a window or of the screen.
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const Rect&) const = default;
};

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct ScreenInfo {
  int width = 0;  // pixels
  int height = 0;
  int twips_per_pixel_x = 15;
  int twips_per_pixel_y = 15;
  // Where the area lies on the whole screen (the primary monitor's place
  // among several).
  int left = 0;
  int top = 0;
};

// A window of ours, as the backend names it; 0 is none.
using WindowId = uint64_t;
// An identifier of a window of some other program (preview parent, host).
using ForeignWindow = uint64_t;

enum class MouseButton : uint8_t { NoButton, Left, Right, Middle };
enum class Key : uint8_t {
  Other,
  Enter,
  Space,
  Tab,
  Escape,
  Up,
  Down,
  Left,
  Right,
  PageUp,
  PageDown,
  Home,
  End,
};

// Input and window events, in the receiving window's pixel coordinates.
struct Event {
  enum class Kind : uint8_t {
    KeyDown,
    KeyUp,
    MouseDown,
    MouseUp,
    MouseMove,
    Wheel,         // y holds the steps, positive towards the user
    CloseRequest,  // the window manager's close box (or its menu)
    WindowGone,    // our window (or the foreign window holding it) was destroyed
    Resized,       // the drawing area changed size: x, y hold the new width and height
    ScaleChanged,  // a dialog went to a screen of another scale: x holds its dots per inch
  };
  Kind kind = Kind::KeyDown;
  WindowId window = 0;
  int x = 0;
  int y = 0;
  MouseButton button = MouseButton::NoButton;
  Key key = Key::Other;
  bool shift = false;
};

enum class MessageIcon { None, Warning, Information, Error };

enum class PointerShape : uint8_t { Normal, Hand, Busy };

// A pointer picture of our own: pixels black or white where mask is not 0.
struct PointerImage {
  Surface pixels;
  Surface mask;
  Point hot_spot;
};

// A top-level window of fixed size with a title bar (a dialog).
struct DialogSpec {
  std::string title;  // UTF-8
  int client_width = 0;
  int client_height = 0;
  // Where the window's outer top-left corner goes, in screen pixels.
  Point position;
  const Surface* icon = nullptr;  // 32 x 32
  WindowId owner = 0;             // kept above this window of ours
  // The screen scale the client area was laid out for (see dialog_scale).
  double scale = 1;
};

// A window that holds ours: its id and the size we fill.
struct ChildWindow {
  WindowId id = 0;
  int width = 0;
  int height = 0;
  explicit operator bool() const { return id != 0; }
};

// A font found for a list of families, measured and drawn by the backend.
class Font {
 public:
  virtual ~Font() = default;
  virtual int ascent() const = 0;
  virtual int line_height() const = 0;
  // Advance width of one line of UTF-8 text, in pixels.
  virtual int width(std::string_view text) = 0;
  // One line with its baseline at y, starting at x, blended over what the
  // surface holds.
  virtual void draw(Surface& s, int x, int baseline, std::string_view text, uint32_t pixel) = 0;
};

// A folder chooser that has been opened.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // True once the chooser has closed.
  virtual bool finished() = 0;
  // Once finished: the chosen folder, or nothing when it was cancelled (or
  // when there is no chooser: then a message box has said why).
  virtual std::optional<std::string> folder() = 0;
};

// A chooser that has already answered.
class AnsweredChooser : public FolderChooser {
 public:
  explicit AnsweredChooser(std::optional<std::string> folder) : folder_(std::move(folder)) {}
  bool finished() override { return true; }
  std::optional<std::string> folder() override { return folder_; }

 private:
  std::optional<std::string> folder_;
};

class BackgroundLoad;

// The system under the program: process and environment, files, pictures,
// diagnostics, time and fonts. Every backend has it.
class System {
 public:
  virtual ~System() = default;

  // The command line's words after the program's path, joined back with
  // single blanks into the one argument string a screen saver is given.
  static std::string joined_arguments(const std::vector<std::string>& words) {
    std::string joined;
    for (size_t i = 0; i < words.size(); ++i) {
      if (i) joined += ' ';
      joined += words[i];
    }
    return joined;
  }

  // The text that follows the program's path on its command line.
  virtual std::string argument_string() const = 0;

  virtual std::optional<std::string> environment(const std::string& name) const = 0;

  // The folder holding the running program, without a trailing separator
  // (except a root, which is the separator itself).
  virtual std::string program_folder() const = 0;

  // The per-user base folder for settings ($XDG_CONFIG_HOME or ~/.config,
  // %APPDATA%); empty when there is none.
  virtual std::string user_config_folder() const = 0;

  // Ends the program at once with this status, without waiting for work in
  // progress (a decoder that cannot be interrupted). Backends first let go
  // of what other programs see (windows, grabs, the single-copy claim), so
  // that a copy started right after does not find them.
  [[noreturn]] virtual void end_program_now(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
  }

  // The language the user reads, which every text shown is in: on Linux
  // the locale's, as gettext finds it.
  virtual Language language() const {
    return language_from_locale([this](const char* name) { return environment(name); });
  }

  virtual PathStyle path_style() const = 0;

  // The names in a folder (not "." and ".."), in the listing's own order;
  // nothing when the folder cannot be listed. Files whose contents live
  // elsewhere until they are opened (cloud files not yet on this computer)
  // are left out, so that listing a folder never fetches them.
  virtual std::optional<std::vector<FolderEntry>> list_folder(const std::string& folder) = 0;

  // What a folder is, however it is reached (through a link, a junction or a
  // bind mount): equal for two paths exactly when they name the same folder;
  // nothing when it cannot be told.
  virtual std::optional<std::string> folder_identity(const std::string& path) = 0;

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

  // Loads a picture file, keeping of it no more than `view` will read. Runs
  // on a thread of its own while the saver answers input, so it must not
  // touch the windows; a stop request ends it within a few milliseconds (as
  // a failure).
  virtual PictureResult load_picture(const std::string& path, const PictureView& view = {},
                                     std::stop_token stop = {}) = 0;

  // A line for whoever looks after the program (standard error on Linux):
  // something that changes what the program does without being the user's
  // to answer, such as a settings file that cannot be read.
  virtual void report(const std::string& line) = 0;

  virtual int64_t now_us() = 0;  // monotonic microseconds
  virtual void sleep_ms(int ms) = 0;

  // Entropy for re-seeding the random generator ("the clock"): may repeat
  // between calls.
  virtual uint64_t clock_seed() = 0;

  // A font of the given size (points at 96 pixels per inch, whatever the
  // screen's: a dialog at another scale asks for its points times the scale)
  // with every character of sample: the first of the families installed,
  // else a stand-in with those characters; null when there is none.
  virtual std::unique_ptr<Font> open_font(const std::vector<std::string>& families, double points,
                                          const std::string& sample) = 0;

  // The families of the desktop's own text font, best first: for a
  // language whose look the program does not set itself (Windows: the
  // message font, "Segoe UI" or "Tahoma"; Linux: fontconfig's sans-serif).
  virtual std::vector<std::string> interface_font_families() = 0;
};

// The screen: windows, their events and the wait for them, the pointer.
// Every call names its window.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

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

  // The saver screen: a black, borderless, topmost window of the given title
  // covering the screen (every monitor), receiving all keyboard and mouse
  // input; the drawing appears on the primary monitor. Created hidden; 0
  // (reported) when it cannot be made.
  virtual WindowId create_saver_window(const std::string& title) = 0;

  // A dialog window, created hidden; 0 when it cannot be made.
  virtual WindowId create_dialog_window(const DialogSpec& spec) = 0;

  // Shows a window (and gives a dialog the keyboard).
  virtual void show_window(WindowId window) = 0;

  virtual void destroy_window(WindowId window) = 0;

  // The scale the desktop draws dialogs at: 1 at 96 dots per inch, 1.5 at
  // 144, 2 at 192. Dialogs are laid out, drawn and written at it; the saver
  // draws in the screen's own pixels whatever it is.
  virtual double dialog_scale() { return 1.0; }

  // Gives a dialog's client area a new size (laid out again at a new scale),
  // its outer top-left corner staying where it is.
  virtual void resize_dialog(WindowId /*window*/, int /*client_width*/, int /*client_height*/) {}

  // The window's outer rectangle on the screen.
  virtual std::optional<Rect> window_rect(WindowId window) = 0;

  // Puts the area of the surface on the window, at the same place (the
  // saver's surface at its drawing area).
  virtual void present(WindowId window, const Surface& surface, const Rect& area) = 0;

  // Next pending event; waits up to timeout_ms for one (0 = only poll,
  // below 0 = until one comes or wake() is called). Nothing when the time
  // ran out, when wake() ended the wait, or (waiting without end) when no
  // event can ever come.
  virtual std::optional<Event> next_event(int timeout_ms) = 0;

  // Ends the current or the next wait of next_event at once. Any thread may
  // call it: a load, a chooser or a child process that has ended says so,
  // and the loop takes the result on its next turn. Wakes are not counted:
  // several before one wait end that one wait.
  virtual void wake() = 0;
  // False once no event can ever come (no display; a test's script has run
  // out): an endless wait that ends without an event ends the loop then,
  // and is otherwise a wake that came after its completion was taken.
  virtual bool events_may_come() { return true; }

  // The cursor display counter: show adds one, hide subtracts one, and the
  // new counter is returned. The pointer is hidden over our windows while
  // the counter is below 0.
  virtual int show_cursor(bool show) = 0;

  // Where the pointer is on the screen.
  virtual std::optional<Point> pointer_position() = 0;

  // The look of PointerShape::Hand.
  virtual void set_hand_pointer(const PointerImage& image) = 0;

  // The pointer's shape over parts of a window (Normal elsewhere).
  virtual void set_pointer_shapes(WindowId window,
                                  const std::vector<std::pair<Rect, PointerShape>>& regions) = 0;

  // The busy pointer over every window of ours, until set back.
  virtual void set_busy(bool busy) = 0;
};

// What the desktop around the program offers: the folder chooser, the
// handler of addresses, the outline of a window opening, the message box.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // Opens the folder chooser, owned by the window. Where the chooser is
  // another program (Linux) it runs beside ours and the caller's loop looks
  // at it until it has closed; where it is the system's modal dialog
  // (Windows) it has closed when this returns.
  virtual std::unique_ptr<FolderChooser> choose_folder(WindowId owner, const std::string& title,
                                                       const std::string& start) = 0;

  // Opens the address with the desktop's handler, without waiting for it.
  virtual bool open_url(const std::string& url) = 0;

  // The system's own outline moving from one screen rectangle to the other
  // (a window opening from, or closing to, a point), run to its end: true;
  // false where the system has none, and the caller's loop then draws the
  // steps itself with draw_outline.
  virtual bool animate_rect(const Rect& /*from*/, const Rect& /*to*/) { return false; }

  // An outline on the screen at rect, in place of the one drawn before;
  // nothing takes the last one away.
  virtual void draw_outline(const std::optional<Rect>& /*rect*/) {}

  // A modal message box with an OK button, above owner (0: none); returns
  // when it is closed.
  virtual void message_box(WindowId owner, const std::string& text, const std::string& title,
                           MessageIcon icon) = 0;
};

// What a screen-saver host gives a saver: the window it draws the saver or
// its preview in, and the older Windows family's password and saver flags.
// Only systems with such hosts have it (X11, Windows); Wayland gives no
// window of another program.
class SaverHost {
 public:
  virtual ~SaverHost() = default;

  // The window that a screen-saver host (XScreenSaver and the like) handed
  // us to draw in, if the program was started that way. The host then ends
  // us with a signal; input is the host's, not ours.
  virtual std::optional<ForeignWindow> host_window() const { return std::nullopt; }

  // Draws the saver into the host's window from now on, at its size, with
  // no grab and no window of our own; nothing (reported) when it cannot be
  // used.
  virtual ChildWindow use_host_window(ForeignWindow window) = 0;

  // The preview: a child window filling the foreign window `parent`;
  // nothing when parent is not a window.
  virtual ChildWindow create_preview_window(ForeignWindow parent) = 0;

  // The older Windows family (95, 98, Me), whose screen-saver password the
  // program itself asks for. Every other system is of the NT family, and
  // the calls below do nothing there.
  virtual bool is_nt_family() { return true; }

  // The old family's password change, owned by the given window.
  virtual void change_saver_password(ForeignWindow /*owner*/) {}

  // The old family's password check before the saver ends; true when it may
  // end (the right password, or none set).
  virtual bool verify_saver_password(WindowId /*window*/) { return true; }

  // The system's screen-saver flags. Only Windows has them (saver running,
  // saver enabled); X has no such system-wide state, so by default these
  // do nothing.
  virtual void set_saver_running(bool /*running*/) {}

  virtual void set_saver_active() {}
};

// One backend: the roles it provides. Callers ask for the role they need;
// a role the system lacks is absent (saver_host()), never stubbed.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual System& system() = 0;
  virtual WindowSystem& window_system() = 0;
  virtual Desktop& desktop() = 0;
  // Nothing where the system has no screen-saver hosts.
  virtual SaverHost* saver_host() = 0;

  // The system's load_picture off the caller's thread, so that its loop
  // goes on answering input: the load's end wakes the window system's wait, and
  // the loop then takes it. Dropping the load stops it.
  virtual std::unique_ptr<BackgroundLoad> start_picture_load(const std::string& path,
                                                             const PictureView& view);
};

}  // namespace vs
