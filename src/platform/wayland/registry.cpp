// The registry: the globals we bind, at the start and as outputs come and go.
#include <algorithm>
#include <string_view>

#include "platform/wayland/wayland_state.h"

namespace vs {

namespace {

void roundtrip(WaylandPlatform::State& w) {
  if (!w.display || w.lost) return;
  if (wl_display_roundtrip(w.display) < 0) w.lost = true;
}

void wm_base_ping(void*, xdg_wm_base* base, uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmBaseListener = {wm_base_ping};

void registry_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version) {
  auto* w = static_cast<WaylandPlatform::State*>(data);
  auto bind = [&](const wl_interface* which, uint32_t most) {
    return wl_registry_bind(registry, name, which, std::min(version, most));
  };
  const std::string_view is = interface;
  if (is == wl_compositor_interface.name) {
    w->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (is == wl_shm_interface.name) {
    w->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (is == wl_seat_interface.name && !w->seat) {
    w->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    w->set_up_input();
  } else if (is == xdg_wm_base_interface.name) {
    w->wm_base = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
    xdg_wm_base_add_listener(w->wm_base, &kWmBaseListener, nullptr);
  } else if (is == zwlr_layer_shell_v1_interface.name && !w->refuse_layer_shell) {
    w->layer_shell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
  } else if (is == wl_output_interface.name) {
    w->add_output(name, version);
  }
}

void registry_global_remove(void* data, wl_registry*, uint32_t name) {
  static_cast<WaylandPlatform::State*>(data)->remove_output(name);
}

const wl_registry_listener kRegistryListener = {registry_global, registry_global_remove};

}  // namespace

void WaylandPlatform::State::bind_globals() {
  registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, this);
  // The globals, then what they announce (outputs' modes, the seat's
  // abilities). Before any loop runs, so nothing is read behind its back.
  roundtrip(*this);
  roundtrip(*this);
}

}  // namespace vs
