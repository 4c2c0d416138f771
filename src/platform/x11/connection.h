// The connection to the X server: opening it, the atoms we use, and error
// handling that records failures instead of ending the process.
#pragma once

// platform.h first: Xlib defines a Status macro that would rename
// ReadResult::Status.
#include "platform/platform.h"

#include <X11/Xlib.h>

#include <string>

namespace vs::x11 {

// Installs the process-wide Xlib handlers: protocol errors are recorded for
// ErrorTrap (the default handler would exit on a stale window id), and a
// lost connection ends the process with status 1 without a message.
void install_error_handlers();

// Tells whether any request sent on the display during its life failed.
// Requests that wait for a reply report failure by their result already;
// this is for the ones that don't (window creation, property changes).
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
  // Waits until the server has handled everything sent so far.
  bool failed();
  // Called by the error handler for every error.
  void note(Display* display, unsigned long serial);

 private:
  Display* display_;
  unsigned long first_request_;
  bool failed_ = false;
};

struct Atoms {
  Atom utf8_string = 0;
  Atom compound_text = 0;
  Atom net_wm_name = 0;
  Atom wm_protocols = 0;
  Atom wm_delete_window = 0;
  Atom net_wm_window_type = 0;
  Atom net_wm_window_type_dialog = 0;
  Atom net_wm_state = 0;
  Atom net_wm_state_modal = 0;
  Atom net_wm_state_above = 0;
};

struct Connection {
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  // Of the default screen, in pixels: the root window, which spans every
  // monitor. Kept up to date while the saver screen follows the root.
  int width = 0;
  int height = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  unsigned long black = 0;
  // Our pixels can only be shown on a TrueColor visual.
  bool true_colour = false;
  // The server has MIT-SHM and the caller allows it.
  bool shm = false;
  // RandR tells of monitors being plugged, moved and resized; from version
  // 1.5 on it lists the monitors themselves.
  bool randr = false;
  int randr_event_base = 0;
  bool randr_monitors = false;
  Atoms atoms;

  // name empty: $DISPLAY. False when the display cannot be opened.
  bool open(const std::string& name, bool allow_shm);
  void close();
  bool connected() const { return display != nullptr; }
};

}  // namespace vs::x11
