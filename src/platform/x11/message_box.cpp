// A modal message box of our own: X has no system one. It works without a
// window manager too (it takes the focus itself once it is mapped).
#include "platform/x11/message_box_drawing.h"
#include "platform/x11/window_title.h"
#include "platform/x11/x11_state.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>

namespace vs {
namespace {

constexpr int kTextPixels = 14;

void report_on_stderr(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
}

// Centred on the monitor the saver draws on.
x11::Rect box_place(const x11::Rect& monitor, const x11::MessageBoxLayout& l) {
  return {monitor.x + (monitor.width - l.width) / 2, monitor.y + (monitor.height - l.height) / 2,
          l.width, l.height};
}

void set_dialog_hints(x11::Connection& c, Window box, Window owner, const x11::Rect& place) {
  Display* d = c.display;
  XSizeHints* size = XAllocSizeHints();
  if (size) {
    size->flags = USPosition | PPosition | PMinSize | PMaxSize;
    size->x = place.x;
    size->y = place.y;
    size->min_width = size->max_width = place.width;
    size->min_height = size->max_height = place.height;
    XSetWMNormalHints(d, box, size);
    XFree(size);
  }
  XWMHints* wm = XAllocWMHints();
  if (wm) {
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
    XSetWMHints(d, box, wm);
    XFree(wm);
  }
  XClassHint hint{const_cast<char*>("varnoscape"), const_cast<char*>("Varnoscape")};
  XSetClassHint(d, box, &hint);
  Atom protocols[] = {c.atoms.wm_delete_window};
  XSetWMProtocols(d, box, protocols, 1);
  Atom type = c.atoms.net_wm_window_type_dialog;
  XChangeProperty(d, box, c.atoms.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  if (owner) {
    XSetTransientForHint(d, box, owner);
    Atom state[] = {c.atoms.net_wm_state_modal, c.atoms.net_wm_state_above};
    XChangeProperty(d, box, c.atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 2);
  }
}

// Over our own saver screen the box must come above it; the saver screen is
// not managed, so neither is the box then.
Window create_box_window(x11::Connection& c, const x11::Rect& place, bool unmanaged,
                         Cursor cursor) {
  XSetWindowAttributes a{};
  a.background_pixel = c.black;
  a.border_pixel = 0;
  a.colormap = c.colormap;
  a.override_redirect = unmanaged ? True : False;
  a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                 ExposureMask | StructureNotifyMask;
  a.cursor = cursor;
  return XCreateWindow(
      c.display, c.root, place.x, place.y, place.width, place.height, 0, c.depth, InputOutput,
      c.visual,
      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask | CWCursor, &a);
}

bool closes_box(XKeyEvent& key) {
  KeySym sym = XLookupKeysym(&key, 0);
  return sym == XK_Return || sym == XK_KP_Enter || sym == XK_Escape || sym == XK_space;
}

}  // namespace

void X11Platform::message_box(const std::string& text, const std::string& title, MessageIcon icon) {
  if (!x_->connected() || !x_->connection.true_colour) {
    report_on_stderr(text, title);
    return;
  }
  x11::Connection& c = x_->connection;
  Display* d = c.display;
  std::vector<std::string> lines = x11::split_lines(text);
  auto font = x11::Font::find(x_->options.font_families, text + "OK", kTextPixels);
  int text_width = 0, text_height = 0;
  if (font) {
    for (const std::string& line : lines) text_width = std::max(text_width, font->width(line));
    text_height = font->line_height() * static_cast<int>(lines.size());
  } else {
    report_on_stderr(text, title);
  }
  // The saver screen hears of every change of monitors; without it, look now.
  if (!x_->saver_screen()) x_->follow_layout();
  const x11::Rect monitor = x_->area;
  x11::MessageBoxLayout l =
      x11::layout_message_box(text_width, text_height, monitor.width, monitor.height);
  const x11::Rect place = box_place(monitor, l);

  // Over our own saver screen the box takes the input the saver holds.
  bool over_saver = x_->window && !x_->preview && !x_->hosted && x_->shown && !x_->gone;
  bool regrab = x_->keyboard_grabbed || x_->pointer_grabbed;
  x_->release_input();

  x11::ErrorTrap made(d);
  Window box = create_box_window(c, place, over_saver, x_->wanted_cursor());
  if (made.failed() || !box) {
    if (font) report_on_stderr(text, title);  // else it is there already
    if (regrab) x_->grab_input();
    return;
  }
  x11::set_window_title(c, box, title);
  set_dialog_hints(c, box, over_saver ? x_->window : 0, place);
  x_->box = box;

  Surface pixels(l.width, l.height);
  bool pressed = false;
  x11::draw_message_box(pixels, l, font.get(), lines, icon, pressed);
  {
    x11::Presenter presenter(c, box, l.width, l.height);
    presenter.put(pixels, 0, l.height);
    XMapRaised(d, box);
    bool open = true;
    unsigned int armed_key = 0;
    while (open) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.xany.window != box) {
        // The saver screen is repainted at once; its input waits until the
        // program asks again.
        if (x_->window && e.xany.window == x_->window) {
          if (e.type == Expose) {
            x_->translate(e);
          } else {
            x_->deferred.push_back(e);
          }
        } else if (x_->saver_screen() && e.xany.window == c.root) {
          x_->deferred.push_back(e);  // monitors changed
        }
        if (e.type == MappingNotify) XRefreshKeyboardMapping(&e.xmapping);
        continue;
      }
      bool was_pressed = pressed;
      switch (e.type) {
        case MapNotify: {
          // Without a window manager nobody else gives us the keyboard.
          x11::ErrorTrap trap(d);
          XSetInputFocus(d, box, RevertToParent, CurrentTime);
          trap.failed();
          break;
        }
        case Expose:
          presenter.repaint(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
          break;
        // Closed when the key comes up again: a key pressed before the box
        // came does not close it, and nothing is left to reach a window
        // that is gone.
        case KeyPress:
          if (closes_box(e.xkey)) armed_key = e.xkey.keycode;
          break;
        case KeyRelease:
          if (armed_key && e.xkey.keycode == armed_key) open = false;
          break;
        case ButtonPress:
          if (e.xbutton.button == Button1) pressed = l.button.contains(e.xbutton.x, e.xbutton.y);
          break;
        case ButtonRelease:
          if (e.xbutton.button == Button1) {
            if (pressed && l.button.contains(e.xbutton.x, e.xbutton.y)) open = false;
            pressed = false;
          }
          break;
        case ClientMessage:
          if (static_cast<Atom>(e.xclient.data.l[0]) == c.atoms.wm_delete_window) open = false;
          break;
        case DestroyNotify:
          box = 0;  // somebody closed it for us
          open = false;
          break;
        default:
          break;
      }
      if (open && pressed != was_pressed) {
        x11::draw_message_box(pixels, l, font.get(), lines, icon, pressed);
        presenter.put(pixels, l.button.y, l.button.y + l.button.height);
      }
    }
  }
  x_->box = 0;
  x11::ErrorTrap trap(d);
  if (box) XDestroyWindow(d, box);
  trap.failed();
  if (regrab) x_->grab_input();
}

}  // namespace vs
