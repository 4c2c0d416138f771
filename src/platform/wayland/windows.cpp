// Windows: the saver (a layer surface on every output, or a full-screen
// window where no layer shell is) and dialogs. Making one asks the
// compositor and does not wait for its answer: a surface shows once its
// configure has come in the loop.
#include <algorithm>

#include "platform/wayland/wayland_state.h"

namespace vs {

using wayland::Shown;

std::pair<WindowId, Shown*> WaylandPlatform::State::find(wl_surface* surface) {
  for (auto& [id, window] : windows) {
    for (auto& s : window.surfaces) {
      if (s->surface == surface) return {id, s.get()};
    }
  }
  return {0, nullptr};
}

Shown* WaylandPlatform::State::primary(WindowId window) {
  auto it = windows.find(window);
  if (it == windows.end()) return nullptr;
  for (auto& s : it->second.surfaces) {
    if (s->primary) return s.get();
  }
  return nullptr;
}

WindowId WaylandPlatform::create_saver_window(const std::string& title) {
  if (!connected() || !w_->first_output()) return 0;
  const WindowId id = w_->next_id++;
  wayland::Window window;
  window.kind = wayland::Window::Kind::Saver;
  w_->windows[id] = std::move(window);
  w_->saver = id;
  if (w_->layer_shell) {
    w_->follow_outputs();
    return id;
  }
  // GNOME has no layer shell: a full-screen window on one output.
  report(
      "this desktop has no layer shell (wlr-layer-shell), so the saver is an "
      "ordinary full-screen window on one monitor, which other windows may cover");
  if (!w_->wm_base) {
    w_->windows.erase(id);
    w_->saver = 0;
    return 0;
  }
  const wayland::Output& output = *w_->first_output();
  std::unique_ptr<Shown> s =
      w_->make_toplevel(id, title, output.scale, output.width, output.height);
  s->output_name = output.name;
  xdg_toplevel_set_fullscreen(s->toplevel, output.output);
  wl_surface_commit(s->surface);
  w_->windows[id].surfaces.push_back(std::move(s));
  wl_display_flush(w_->display);
  return id;
}

WindowId WaylandPlatform::create_dialog_window(const DialogSpec& spec) {
  if (!connected() || !w_->wm_base || spec.client_width <= 0 || spec.client_height <= 0) return 0;
  const WindowId id = w_->next_id++;
  std::unique_ptr<Shown> s =
      w_->make_toplevel(id, spec.title, std::max(1, static_cast<int>(spec.scale + 0.5)),
                        spec.client_width, spec.client_height);
  // Minimum and maximum alike: a tiling compositor floats it at its size.
  const int logical_w = spec.client_width / s->scale, logical_h = spec.client_height / s->scale;
  xdg_toplevel_set_min_size(s->toplevel, logical_w, logical_h);
  xdg_toplevel_set_max_size(s->toplevel, logical_w, logical_h);
  if (Shown* owner = w_->primary(spec.owner); owner && owner->toplevel) {
    xdg_toplevel_set_parent(s->toplevel, owner->toplevel);
  }
  wl_surface_commit(s->surface);
  wayland::Window window;
  window.kind = wayland::Window::Kind::Dialog;
  window.surfaces.push_back(std::move(s));
  w_->windows[id] = std::move(window);
  wl_display_flush(w_->display);
  return id;
}

void WaylandPlatform::show_window(WindowId window) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  it->second.shown = true;
  // Surfaces not yet configured show when their configure comes.
  for (auto& s : it->second.surfaces) w_->commit_waiting(*s);
  if (w_->display) wl_display_flush(w_->display);
}

void WaylandPlatform::destroy_window(WindowId window) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  for (auto& s : it->second.surfaces) {
    if (w_->pointer_surface == s->surface) w_->pointer_surface = nullptr;
    if (w_->keyboard_surface == s->surface) w_->keyboard_surface = nullptr;
    wayland::destroy_shown(*s);
  }
  w_->windows.erase(it);
  if (w_->saver == window) w_->saver = 0;
  if (w_->display) wl_display_flush(w_->display);
}

std::optional<Rect> WaylandPlatform::window_rect(WindowId) {
  // Where a window is on the screen is the compositor's to know.
  return std::nullopt;
}

}  // namespace vs
