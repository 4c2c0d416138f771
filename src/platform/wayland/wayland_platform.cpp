// The connection: made at the start, its globals bound before any loop runs;
// everything bound is let go before it closes.
#include <unistd.h>

#include "forms/message_box.h"
#include "platform/wayland/wayland_state.h"

namespace vs {

WaylandPlatform::State::~State() {
  for (auto& [id, window] : windows) {
    for (auto& s : window.surfaces) wayland::destroy_shown(*s);
  }
  windows.clear();
  if (lock_fd >= 0) close(lock_fd);
  if (!display) return;
  hand.reset();
  if (cursor_surface) wl_surface_destroy(cursor_surface);
  if (cursor_theme) wl_cursor_theme_destroy(cursor_theme);
  if (keys) xkb_state_unref(keys);
  if (keymap) xkb_keymap_unref(keymap);
  if (xkb) xkb_context_unref(xkb);
  // Every object bound, so that nothing of the connection outlives it.
  if (keyboard) wl_keyboard_destroy(keyboard);
  if (pointer) wl_pointer_destroy(pointer);
  if (seat) wl_seat_destroy(seat);
  for (auto& o : outputs) wl_output_destroy(o->output);
  outputs.clear();
  if (layer_shell) {
    // Its destroy request came with version 3; before, the proxy alone goes.
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(layer_shell)) >= 3) {
      zwlr_layer_shell_v1_destroy(layer_shell);
    } else {
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layer_shell));
    }
  }
  if (wm_base) xdg_wm_base_destroy(wm_base);
  if (shm) wl_shm_destroy(shm);
  if (compositor) wl_compositor_destroy(compositor);
  if (registry) wl_registry_destroy(registry);
  wl_display_flush(display);
  wl_display_disconnect(display);
}

WaylandPlatform::WaylandPlatform(std::vector<std::string> args)
    : PosixSystem(std::move(args)), PosixDesktop(*this, *this), w_(std::make_unique<State>(*this)) {
  w_->display = wl_display_connect(nullptr);
  if (!w_->display) return;
  // As on a desktop without a layer shell (GNOME), where the compositor
  // has one that misbehaves.
  w_->refuse_layer_shell = environment("VARNOSCAPE_NO_LAYER_SHELL").value_or("") == "1";
  w_->bind_globals();
  if (!w_->compositor || !w_->shm) {
    w_.reset();  // lets go of what was bound, and of the connection
    w_ = std::make_unique<State>(*this);
    return;
  }
}

WaylandPlatform::~WaylandPlatform() = default;

void WaylandPlatform::end_program_now(int status) {
  // The compositor lets go of our surfaces and the lock goes with the
  // process.
  if (w_->display) wl_display_flush(w_->display);
  PosixSystem::end_program_now(status);
}

bool WaylandPlatform::connected() const {
  return w_->display != nullptr;
}

void WaylandPlatform::message_box(WindowId owner, const std::string& text, const std::string& title,
                                  MessageIcon icon) {
  if (!connected()) {
    report(title + ": " + text);
    return;
  }
  forms::run_message_box(*this, owner, text, title, icon);
}

}  // namespace vs
