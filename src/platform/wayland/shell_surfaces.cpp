// Surfaces of the shells: the saver's on the overlay layer of an output
// (wlr-layer-shell), and xdg-shell windows (dialogs, and the saver where no
// layer shell is). Each is committed bare at first; the compositor answers
// with a configure, which the loop reads like any event, and only then is a
// buffer attached.

#include "platform/wayland/wayland_state.h"

namespace vs {

using wayland::Shown;

namespace {

constexpr uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

// A new size: the buffers of the old one go, and the next present fills
// new ones whole.
void take_size(Shown& s, int width, int height) {
  if (width == s.width && height == s.height) return;
  s.width = width;
  s.height = height;
  s.buffers.clear();
  s.latest.reset();
}

void layer_configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                     uint32_t height) {
  auto& s = *static_cast<Shown*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  take_size(s, static_cast<int>(width) * s.scale, static_cast<int>(height) * s.scale);
  s.configured = true;
  s.state->commit_waiting(s);
}
void layer_closed(void* data, zwlr_layer_surface_v1*) {
  // The compositor took the surface away (its output went): it shows
  // nothing more.
  static_cast<Shown*>(data)->configured = false;
}
const zwlr_layer_surface_v1_listener kLayerListener = {layer_configure, layer_closed};

void xdg_surface_configure(void* data, xdg_surface* surface, uint32_t serial) {
  auto& s = *static_cast<Shown*>(data);
  xdg_surface_ack_configure(surface, serial);
  s.configured = true;
  s.state->commit_waiting(s);
}
const xdg_surface_listener kXdgSurfaceListener = {xdg_surface_configure};

void toplevel_configure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  // A dialog keeps its own size; a full-screen saver takes the output's.
  // (The surface's configure, which follows, completes it.)
  Shown& s = *static_cast<Shown*>(data);
  auto it = s.state->windows.find(s.window);
  if (it == s.state->windows.end() || it->second.kind != wayland::Window::Kind::Saver) return;
  if (width <= 0 || height <= 0) return;
  take_size(s, width * s.scale, height * s.scale);
}
void toplevel_close(void* data, xdg_toplevel*) {
  const Shown& s = *static_cast<Shown*>(data);
  Event e;
  e.kind = Event::Kind::CloseRequest;
  e.window = s.window;
  s.state->push(e);
}
// (bounds and capabilities come from versions 4 and 5 on; we bind 2.)
const xdg_toplevel_listener kToplevelListener = {toplevel_configure, toplevel_close, nullptr,
                                                 nullptr};

}  // namespace

std::unique_ptr<Shown> WaylandPlatform::State::make_saver_surface(const wayland::Output& output,
                                                                  WindowId id, bool is_primary) {
  auto s = std::make_unique<Shown>();
  s->surface = wl_compositor_create_surface(compositor);
  s->output_name = output.name;
  s->scale = output.scale;
  s->primary = is_primary;
  s->state = this;
  s->window = id;
  wl_surface_set_buffer_scale(s->surface, s->scale);
  s->layer = zwlr_layer_shell_v1_get_layer_surface(layer_shell, s->surface, output.output,
                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "varnoscape");
  zwlr_layer_surface_v1_add_listener(s->layer, &kLayerListener, s.get());
  zwlr_layer_surface_v1_set_anchor(s->layer, kAllEdges);
  // Over any panel: nothing else's exclusive zone pushes it aside.
  zwlr_layer_surface_v1_set_exclusive_zone(s->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      s->layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  wl_surface_commit(s->surface);
  return s;
}

std::unique_ptr<Shown> WaylandPlatform::State::make_toplevel(WindowId id, const std::string& title,
                                                             int scale, int width, int height) {
  auto s = std::make_unique<Shown>();
  s->surface = wl_compositor_create_surface(compositor);
  s->scale = scale;
  s->width = width;
  s->height = height;
  s->state = this;
  s->window = id;
  wl_surface_set_buffer_scale(s->surface, scale);
  s->xdg = xdg_wm_base_get_xdg_surface(wm_base, s->surface);
  xdg_surface_add_listener(s->xdg, &kXdgSurfaceListener, s.get());
  s->toplevel = xdg_surface_get_toplevel(s->xdg);
  xdg_toplevel_add_listener(s->toplevel, &kToplevelListener, s.get());
  xdg_toplevel_set_title(s->toplevel, title.c_str());
  xdg_toplevel_set_app_id(s->toplevel, "varnoscape");
  return s;
}

void wayland::destroy_shown(Shown& s) {
  if (s.toplevel) xdg_toplevel_destroy(s.toplevel);
  if (s.xdg) xdg_surface_destroy(s.xdg);
  if (s.layer) zwlr_layer_surface_v1_destroy(s.layer);
  s.buffers.clear();
  if (s.surface) wl_surface_destroy(s.surface);
  s = Shown{};
}

}  // namespace vs
