// Input and window events. The saver asks about every millisecond while it
// draws, so an empty poll costs one system call and no round trip; a dialog
// waits on the connection without end and costs nothing while idle.
#include "platform/x11/x11_state.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <algorithm>

#include "platform/posix/keysyms.h"

namespace vs {

namespace {

MouseButton button_of(unsigned int button) {
  switch (button) {
    case Button1:
      return MouseButton::Left;
    case Button2:
      return MouseButton::Middle;
    case Button3:
      return MouseButton::Right;
    default:
      return MouseButton::NoButton;
  }
}

Event make(Event::Kind kind, Window window, int x = 0, int y = 0) {
  Event e;
  e.kind = kind;
  e.window = window;
  e.x = x;
  e.y = y;
  return e;
}

Event key_event(XKeyEvent& key, Event::Kind kind) {
  Event e = make(kind, key.window, key.x, key.y);
  char text[16] = {};
  KeySym sym = 0;
  XLookupString(&key, text, sizeof text - 1, &sym, nullptr);
  e.key = key_of_keysym(static_cast<uint32_t>(sym));
  e.shift = (key.state & ShiftMask) != 0;
  return e;
}

}  // namespace

std::optional<Event> X11Platform::State::translate(XEvent& e) {
  if (e.type == MappingNotify) {
    XRefreshKeyboardMapping(&e.xmapping);
    return std::nullopt;
  }
  if (saver && (e.xany.window == connection.root || e.xany.window == 0)) {
    const bool layout =
        e.type == ConfigureNotify || (connection.randr && e.type >= connection.randr_event_base &&
                                      e.type <= connection.randr_event_base + RRNotify);
    return layout ? follow_monitors(e) : std::nullopt;
  }
  // A preview's parent tells of its resizing and its end.
  for (auto& [id, w] : windows) {
    if (w.kind != X11Window::Kind::Preview || w.gone || e.xany.window != w.parent) continue;
    if (e.type == DestroyNotify) {
      w.gone = true;
      w.presenter.reset();
      return make(Event::Kind::WindowGone, id);
    }
    if (e.type == ConfigureNotify &&
        (e.xconfigure.width != w.width || e.xconfigure.height != w.height)) {
      w.width = e.xconfigure.width;
      w.height = e.xconfigure.height;
      XResizeWindow(display(), id, static_cast<unsigned>(w.width), static_cast<unsigned>(w.height));
      if (w.presenter) w.presenter->resize(w.width, w.height);
      return make(Event::Kind::Resized, id, w.width, w.height);
    }
    return std::nullopt;
  }
  const Window id = e.xany.window;
  X11Window* found = find(id);
  if (!found || found->gone) return std::nullopt;
  X11Window& w = *found;
  switch (e.type) {
    case Expose:
      if (w.presenter) {
        w.presenter->repaint(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      }
      return std::nullopt;
    case VisibilityNotify:
      // Keep the saver screen above windows that pop up later, unless one
      // of ours is above it on purpose.
      if (w.kind == X11Window::Kind::Saver && e.xvisibility.state != VisibilityUnobscured &&
          std::none_of(windows.begin(), windows.end(),
                       [](const auto& o) { return o.second.unmanaged; })) {
        XRaiseWindow(display(), id);
      }
      return std::nullopt;
    case MapNotify:
      // Without a window manager nobody else gives a dialog the keyboard.
      if (w.kind == X11Window::Kind::Dialog) {
        x11::ErrorTrap trap(display());
        XSetInputFocus(display(), id, RevertToParent, CurrentTime);
        trap.failed();
      }
      return std::nullopt;
    case KeyPress:
      return key_event(e.xkey, Event::Kind::KeyDown);
    case KeyRelease:
      return key_event(e.xkey, Event::Kind::KeyUp);
    case ButtonPress:
    case ButtonRelease: {
      const bool press = e.type == ButtonPress;
      // Buttons 4 and 5 are the wheel, which is not a click.
      if (e.xbutton.button == Button4 || e.xbutton.button == Button5) {
        if (!press) return std::nullopt;
        Event wheel = make(Event::Kind::Wheel, id, 0, e.xbutton.button == Button4 ? -1 : 1);
        return wheel;
      }
      const MouseButton button = button_of(e.xbutton.button);
      if (button == MouseButton::NoButton) return std::nullopt;
      Event click =
          make(press ? Event::Kind::MouseDown : Event::Kind::MouseUp, id, e.xbutton.x, e.xbutton.y);
      click.button = button;
      click.shift = (e.xbutton.state & ShiftMask) != 0;
      return click;
    }
    case MotionNotify:
      if (!w.shapes.empty()) follow_pointer(id, w, e.xmotion.x, e.xmotion.y);
      return make(Event::Kind::MouseMove, id, e.xmotion.x, e.xmotion.y);
    case ClientMessage:
      if (e.xclient.message_type == connection.atoms.wm_protocols &&
          static_cast<Atom>(e.xclient.data.l[0]) == connection.atoms.wm_delete_window) {
        return make(Event::Kind::CloseRequest, id);
      }
      return std::nullopt;
    case DestroyNotify:
      if (e.xdestroywindow.window != id) return std::nullopt;
      if (w.kind == X11Window::Kind::Saver) release_input();
      w.gone = true;
      w.presenter.reset();
      return make(Event::Kind::WindowGone, id);
    case ConfigureNotify: {
      const int width = e.xconfigure.width, height = e.xconfigure.height;
      // The saver screen's size is ours to set (it follows the root); a
      // host resizes its window as it likes, and we follow.
      if (w.kind == X11Window::Kind::Hosted && (width != w.width || height != w.height)) {
        w.width = width;
        w.height = height;
        if (w.presenter) w.presenter->resize(width, height);
        return make(Event::Kind::Resized, id, width, height);
      }
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<Event> X11Platform::State::follow_monitors(XEvent& e) {
  // Keeps Xlib's idea of the screen size right as well.
  if (connection.randr) XRRUpdateConfiguration(&e);
  if (!follow_layout()) return std::nullopt;
  return make(Event::Kind::Resized, saver, area.width, area.height);
}

std::optional<Event> X11Platform::next_event(int timeout_ms) {
  Display* d = x_->connected() ? x_->display() : nullptr;
  const bool forever = timeout_ms < 0;
  // Without a display no event can come, and a wait without end would
  // never return.
  if (!d && forever) return std::nullopt;
  const int64_t deadline = now_us() + static_cast<int64_t>(std::max(timeout_ms, 0)) * 1000;
  for (;;) {
    // Flushing also reads what has arrived into Xlib's queue (so do XSync
    // and the presenter), where poll() no longer sees it: count the queue
    // after the flush, and wait on the connection only when it is empty.
    while (d && XEventsQueued(d, QueuedAfterFlush) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (auto event = x_->translate(e)) return event;
    }
    int wait = -1;
    const int64_t now = now_us();
    if (!forever) {
      const int64_t left_us = deadline - now;
      if (left_us <= 0) return std::nullopt;
      wait = static_cast<int>((left_us + 999) / 1000);
    }
    if (x_->grab_retry_us) {
      if (*x_->grab_retry_us <= now) {
        x_->try_grab(now);
        continue;
      }
      const int retry = static_cast<int>((*x_->grab_retry_us - now + 999) / 1000);
      wait = wait < 0 ? retry : std::min(wait, retry);
    }
    // A closed connection shows as readable; the next read ends the process
    // in the IO handler.
    pollfd fds[2] = {{x_->wake.fd(), POLLIN, 0}, {d ? ConnectionNumber(d) : -1, POLLIN, 0}};
    poll(fds, 2, wait);
    if (x_->wake.clear()) return std::nullopt;
  }
}

void X11Platform::wake() {
  x_->wake.raise();
}

}  // namespace vs
