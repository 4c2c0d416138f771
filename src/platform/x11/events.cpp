// Input and window events. The program asks about every millisecond while
// it draws, so an empty poll costs one system call and no round trip.
#include "platform/x11/x11_state.h"

#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <algorithm>

namespace vs {

std::optional<Event> X11Platform::State::translate(XEvent& e) {
  if (e.type == MappingNotify) {
    XRefreshKeyboardMapping(&e.xmapping);
    return std::nullopt;
  }
  if (!window || gone) return std::nullopt;
  Window target = e.xany.window;
  switch (e.type) {
    case Expose:
      if (target == window && presenter) {
        presenter->repaint(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      }
      break;
    case VisibilityNotify:
      // Keep the saver screen above windows that pop up later (never a
      // host's window: that would fight its unlock dialog).
      if (target == window && !preview && !hosted && e.xvisibility.state != VisibilityUnobscured) {
        XRaiseWindow(display(), window);
      }
      break;
    case KeyPress:
      if (target == window) return Event{Event::Kind::KeyDown, e.xkey.x, e.xkey.y};
      break;
    case ButtonPress:
      // Buttons 4 to 7 are the wheel, which is not a click.
      if (target == window && e.xbutton.button >= Button1 && e.xbutton.button <= Button3) {
        return Event{Event::Kind::MouseDown, e.xbutton.x, e.xbutton.y};
      }
      break;
    case MotionNotify:
      if (target == window) return Event{Event::Kind::MouseMove, e.xmotion.x, e.xmotion.y};
      break;
    case DestroyNotify:
      if (e.xdestroywindow.window == window || (preview && e.xdestroywindow.window == parent)) {
        gone = true;
        release_input();
        presenter.reset();
        return Event{Event::Kind::WindowGone, 0, 0};
      }
      break;
    case ConfigureNotify: {
      int w = e.xconfigure.width, h = e.xconfigure.height;
      if (e.xconfigure.window == window) {
        // The saver screen's size is ours to set (it follows the root).
        if (presenter && !saver_screen()) presenter->resize(w, h);
        if (hosted && (w != parent_width || h != parent_height)) {
          parent_width = w;
          parent_height = h;
          return Event{Event::Kind::Resized, w, h};
        }
      } else if (saver_screen() && e.xconfigure.window == connection.root) {
        return follow_monitors(e);
      } else if (preview && e.xconfigure.window == parent &&
                 (w != parent_width || h != parent_height)) {
        parent_width = w;
        parent_height = h;
        XResizeWindow(display(), window, w, h);
        if (presenter) presenter->resize(w, h);
        return Event{Event::Kind::Resized, w, h};
      }
      break;
    }
    default:
      if (saver_screen() && connection.randr && e.type >= connection.randr_event_base &&
          e.type <= connection.randr_event_base + RRNotify) {
        return follow_monitors(e);
      }
      break;
  }
  return std::nullopt;
}

std::optional<Event> X11Platform::State::follow_monitors(XEvent& e) {
  // Keeps Xlib's idea of the screen size right as well.
  if (connection.randr) XRRUpdateConfiguration(&e);
  if (!follow_layout()) return std::nullopt;
  return Event{Event::Kind::Resized, area.width, area.height};
}

std::optional<Event> X11Platform::next_event(int timeout_ms) {
  timeout_ms = std::max(timeout_ms, 0);
  if (!x_->connected()) {
    sleep_ms(timeout_ms);
    return std::nullopt;
  }
  Display* d = x_->display();
  const int64_t deadline = now_us() + static_cast<int64_t>(timeout_ms) * 1000;
  for (;;) {
    while (!x_->deferred.empty()) {
      XEvent e = x_->deferred.front();
      x_->deferred.pop_front();
      if (auto event = x_->translate(e)) return event;
    }
    // Flushing also reads what has arrived into Xlib's queue (so do XSync
    // and the presenter), where poll() no longer sees it: count the queue
    // after the flush, and wait on the connection only when it is empty.
    while (XEventsQueued(d, QueuedAfterFlush) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (auto event = x_->translate(e)) return event;
    }
    int64_t left_us = deadline - now_us();
    if (left_us <= 0) return std::nullopt;
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    // A closed connection shows as readable; the next read ends the process
    // in the IO handler.
    poll(&fd, 1, static_cast<int>((left_us + 999) / 1000));
  }
}

}  // namespace vs
