// Input: the seat's keyboard (keys by xkbcommon) and pointer, the pointer's
// look over our surfaces, and waiting for events.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <linux/input-event-codes.h>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/posix/keysyms.h"
#include "platform/wayland/wayland_state.h"

namespace vs {

namespace {

using State = WaylandPlatform::State;

// Pixels of the surface under the pointer, from its surface coordinates.
Point pixels_of(State& w, wl_fixed_t sx, wl_fixed_t sy) {
  const auto [id, s] = w.find(w.pointer_surface);
  const int scale = s ? s->scale : 1;
  return {wl_fixed_to_int(sx) * scale, wl_fixed_to_int(sy) * scale};
}

Event event_for(State& w, Event::Kind kind, wl_surface* surface) {
  Event e;
  e.kind = kind;
  e.window = w.find(surface).first;
  return e;
}

// --- Keyboard ----------------------------------------------------------------

void keyboard_keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
  auto& w = *static_cast<State*>(data);
  if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
    close(fd);
    return;
  }
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return;
  xkb_keymap* keymap = xkb_keymap_new_from_string(
      w.xkb, static_cast<const char*>(map), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  munmap(map, size);
  if (!keymap) return;
  if (w.keys) xkb_state_unref(w.keys);
  if (w.keymap) xkb_keymap_unref(w.keymap);
  w.keymap = keymap;
  w.keys = xkb_state_new(keymap);
}

void keyboard_enter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
  // Keys already down as the focus comes (the one that started us) are not
  // presses of ours.
  static_cast<State*>(data)->keyboard_surface = surface;
}

void keyboard_leave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
  static_cast<State*>(data)->keyboard_surface = nullptr;
}

void keyboard_key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
  auto& w = *static_cast<State*>(data);
  if (!w.keyboard_surface) return;
  const bool down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
  Event e = event_for(w, down ? Event::Kind::KeyDown : Event::Kind::KeyUp, w.keyboard_surface);
  if (e.window == 0) return;
  if (w.keys) {
    e.key = key_of_keysym(xkb_state_key_get_one_sym(w.keys, key + 8));
    e.shift =
        xkb_state_mod_name_is_active(w.keys, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0;
  }
  w.push(e);
}

void keyboard_modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                        uint32_t locked, uint32_t group) {
  auto& w = *static_cast<State*>(data);
  if (w.keys) xkb_state_update_mask(w.keys, depressed, latched, locked, 0, 0, group);
}

void keyboard_repeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {keyboard_keymap,    keyboard_enter,
                                                keyboard_leave,     keyboard_key,
                                                keyboard_modifiers, keyboard_repeat};

// --- Pointer -------------------------------------------------------------------

void pointer_enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t sx,
                   wl_fixed_t sy) {
  auto& w = *static_cast<State*>(data);
  w.pointer_surface = surface;
  w.pointer_serial = serial;
  w.pointer_at = pixels_of(w, sx, sy);
  w.apply_cursor();
  // Coming over a surface is a movement to that place, as on X.
  Event e = event_for(w, Event::Kind::MouseMove, surface);
  e.x = w.pointer_at.x, e.y = w.pointer_at.y;
  if (e.window) w.push(e);
}

void pointer_leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
  static_cast<State*>(data)->pointer_surface = nullptr;
}

void pointer_motion(void* data, wl_pointer*, uint32_t, wl_fixed_t sx, wl_fixed_t sy) {
  auto& w = *static_cast<State*>(data);
  if (!w.pointer_surface) return;
  w.pointer_at = pixels_of(w, sx, sy);
  Event e = event_for(w, Event::Kind::MouseMove, w.pointer_surface);
  e.x = w.pointer_at.x, e.y = w.pointer_at.y;
  if (e.window) w.push(e);
  w.apply_cursor();
}

void pointer_button(void* data, wl_pointer*, uint32_t serial, uint32_t, uint32_t button,
                    uint32_t state) {
  auto& w = *static_cast<State*>(data);
  if (!w.pointer_surface) return;
  w.pointer_serial = serial;
  Event e = event_for(
      w, state == WL_POINTER_BUTTON_STATE_PRESSED ? Event::Kind::MouseDown : Event::Kind::MouseUp,
      w.pointer_surface);
  e.x = w.pointer_at.x, e.y = w.pointer_at.y;
  e.button = button == BTN_LEFT    ? MouseButton::Left
             : button == BTN_RIGHT ? MouseButton::Right
                                   : MouseButton::Middle;
  if (w.keys) {
    e.shift =
        xkb_state_mod_name_is_active(w.keys, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0;
  }
  if (e.window) w.push(e);
}

void pointer_axis(void* data, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value) {
  auto& w = *static_cast<State*>(data);
  if (!w.pointer_surface || axis != WL_POINTER_AXIS_VERTICAL_SCROLL) return;
  // One wheel step is 10 units; towards the user is positive.
  const int steps = wl_fixed_to_int(value) / 10;
  if (steps == 0) return;
  Event e = event_for(w, Event::Kind::Wheel, w.pointer_surface);
  e.y = steps;
  if (e.window) w.push(e);
}

void pointer_frame(void*, wl_pointer*) {}
void pointer_axis_source(void*, wl_pointer*, uint32_t) {}
void pointer_axis_stop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointer_axis_discrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    pointer_enter,         pointer_leave, pointer_motion,      pointer_button,
    pointer_axis,          pointer_frame, pointer_axis_source, pointer_axis_stop,
    pointer_axis_discrete, nullptr};  // (high-resolution wheel steps come from version 8 on; we
                                      // bind 5)

// --- Seat ------------------------------------------------------------------------

void seat_capabilities(void* data, wl_seat* seat, uint32_t caps) {
  auto& w = *static_cast<State*>(data);
  const bool keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD,
             pointer = caps & WL_SEAT_CAPABILITY_POINTER;
  if (keyboard && !w.keyboard) {
    w.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(w.keyboard, &kKeyboardListener, &w);
  } else if (!keyboard && w.keyboard) {
    wl_keyboard_destroy(w.keyboard);
    w.keyboard = nullptr;
    w.keyboard_surface = nullptr;
  }
  if (pointer && !w.pointer) {
    w.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(w.pointer, &kPointerListener, &w);
  } else if (!pointer && w.pointer) {
    wl_pointer_destroy(w.pointer);
    w.pointer = nullptr;
    w.pointer_surface = nullptr;
  }
}

void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {seat_capabilities, seat_name};

}  // namespace

void WaylandPlatform::State::set_up_input() {
  // At once on binding: the seat says what it has right away.
  if (!xkb) xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (seat) wl_seat_add_listener(seat, &kSeatListener, this);
}

void WaylandPlatform::State::apply_cursor() {
  if (!pointer || !pointer_surface) return;
  const auto [id, shown] = find(pointer_surface);
  auto it = windows.find(id);
  if (it == windows.end()) return;
  if (!cursor_surface) cursor_surface = wl_compositor_create_surface(compositor);
  wayland::Window& window = it->second;
  PointerShape shape = PointerShape::Normal;
  for (const auto& [area, s] : window.shapes) {
    if (area.contains(pointer_at.x, pointer_at.y)) shape = s;
  }
  if (busy) shape = PointerShape::Busy;
  // The saver hides the pointer while its counter is below 0.
  const bool hidden = window.kind == wayland::Window::Kind::Saver && cursor_counter < 0;
  const Look look = hidden                                ? Look::Hidden
                    : shape == PointerShape::Hand && hand ? Look::Hand
                    : shape == PointerShape::Busy         ? Look::Busy
                                                          : Look::Normal;
  if (look == pointer_look && pointer_serial == pointer_look_serial) return;
  pointer_look = look;
  pointer_look_serial = pointer_serial;
  if (look == Look::Hidden) {
    wl_pointer_set_cursor(pointer, pointer_serial, nullptr, 0, 0);
    return;
  }
  if (look == Look::Hand) {
    wl_surface_set_buffer_scale(cursor_surface, hand_scale);
    wl_surface_attach(cursor_surface, hand->buffer, 0, 0);
    wl_surface_damage_buffer(cursor_surface, 0, 0, hand->width, hand->height);
    wl_surface_commit(cursor_surface);
    wl_pointer_set_cursor(pointer, pointer_serial, cursor_surface, hand_hot_spot.x / hand_scale,
                          hand_hot_spot.y / hand_scale);
    return;
  }
  // The desktop's own pointers, where a theme is installed; without one the
  // compositor's pointer stays as it is.
  const int scale = shown ? shown->scale : 1;
  if (!cursor_theme) cursor_theme = wl_cursor_theme_load(nullptr, 24 * scale, shm);
  if (!cursor_theme) return;
  wl_cursor* cursor = nullptr;
  static constexpr const char* kBusyNames[] = {"watch", "wait"};
  static constexpr const char* kNormalNames[] = {"left_ptr", "default"};
  for (const char* name : shape == PointerShape::Busy ? kBusyNames : kNormalNames) {
    if ((cursor = wl_cursor_theme_get_cursor(cursor_theme, name))) break;
  }
  if (!cursor || cursor->image_count == 0) return;
  wl_cursor_image* image = cursor->images[0];
  wl_buffer* buffer = wl_cursor_image_get_buffer(image);
  if (!buffer) return;
  wl_surface_set_buffer_scale(cursor_surface, scale);
  wl_surface_attach(cursor_surface, buffer, 0, 0);
  wl_surface_damage_buffer(cursor_surface, 0, 0, static_cast<int32_t>(image->width),
                           static_cast<int32_t>(image->height));
  wl_surface_commit(cursor_surface);
  wl_pointer_set_cursor(pointer, pointer_serial, cursor_surface,
                        static_cast<int32_t>(image->hotspot_x) / scale,
                        static_cast<int32_t>(image->hotspot_y) / scale);
}

std::optional<Event> WaylandPlatform::next_event(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeout_ms));
  wl_display* d = w_->display;
  for (;;) {
    if (!w_->events.empty()) {
      Event e = w_->events.front();
      w_->events.pop_front();
      return e;
    }
    if (!d) {
      if (timeout_ms > 0) sleep_ms(timeout_ms);
      return std::nullopt;
    }
    if (w_->lost) end_program_now(1);
    while (wl_display_prepare_read(d) != 0) {
      if (wl_display_dispatch_pending(d) < 0) end_program_now(1);
    }
    if (!w_->events.empty()) {
      wl_display_cancel_read(d);
      continue;
    }
    if (wl_display_flush(d) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(d);
      end_program_now(1);
    }
    int wait = -1;
    if (timeout_ms >= 0) {
      // Rounded up: a wait cut to 0 ms would spin through the last
      // millisecond.
      const auto left =
          std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
      wait = static_cast<int>(std::max<int64_t>(0, (left.count() + 999) / 1000));
    }
    pollfd p[2] = {{wl_display_get_fd(d), POLLIN, 0}, {w_->wake.fd(), POLLIN, 0}};
    const int ready = poll(p, w_->wake.fd() >= 0 ? 2 : 1, wait);
    if (ready > 0 && (p[0].revents & (POLLIN | POLLERR | POLLHUP))) {
      if (wl_display_read_events(d) < 0) end_program_now(1);
    } else {
      wl_display_cancel_read(d);
      if (ready < 0 && errno != EINTR) end_program_now(1);
    }
    if (wl_display_dispatch_pending(d) < 0) end_program_now(1);
    const bool woken = w_->wake.clear();
    if (w_->events.empty() && (woken || (timeout_ms >= 0 && Clock::now() >= deadline))) {
      return std::nullopt;
    }
  }
}

void WaylandPlatform::wake() {
  w_->wake.raise();
}

}  // namespace vs
