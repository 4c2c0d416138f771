// Outputs, as their events describe them: the saver covers each with a
// surface of its own and draws on the first; the screen's size and the
// dialogs' scale are the first output's.
#include <algorithm>

#include "platform/wayland/wayland_state.h"

namespace vs {

using wayland::Output;
using wayland::Shown;

namespace {

void output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                     const char*, int32_t) {}
void output_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
  auto* o = static_cast<Output*>(data);
  o->width = width;
  o->height = height;
}
void output_done(void* data, wl_output*) {
  static_cast<Output*>(data)->described = true;
}
void output_scale(void* data, wl_output*, int32_t factor) {
  static_cast<Output*>(data)->scale = std::max(1, factor);
}
// (name and description come from version 4 on; we bind 2.)
const wl_output_listener kOutputListener = {output_geometry, output_mode, output_done,
                                            output_scale,    nullptr,     nullptr};

}  // namespace

void WaylandPlatform::State::add_output(uint32_t name, uint32_t version) {
  auto o = std::make_unique<Output>();
  o->name = name;
  o->output = static_cast<wl_output*>(
      wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
  // Version 1 says no "done": what it tells comes at once after binding.
  o->described = version < 2;
  wl_output_add_listener(o->output, &kOutputListener, o.get());
  outputs.push_back(std::move(o));
}

void WaylandPlatform::State::remove_output(uint32_t name) {
  auto it = std::find_if(outputs.begin(), outputs.end(),
                         [name](const auto& o) { return o->name == name; });
  if (it == outputs.end()) return;
  // Its saver surface goes at the next picture; the output object now.
  wl_output_destroy((*it)->output);
  outputs.erase(it);
}

const Output* WaylandPlatform::State::first_output() const {
  for (const auto& o : outputs) {
    if (o->described) return o.get();
  }
  return nullptr;
}

void WaylandPlatform::State::follow_outputs() {
  auto it = windows.find(saver);
  if (it == windows.end() || !layer_shell) return;
  auto& surfaces = it->second.surfaces;
  // Surfaces of outputs gone go; the first output left holds the drawing.
  std::erase_if(surfaces, [&](const std::unique_ptr<Shown>& s) {
    const bool gone = std::none_of(outputs.begin(), outputs.end(),
                                   [&](const auto& o) { return o->name == s->output_name; });
    if (gone) {
      if (pointer_surface == s->surface) pointer_surface = nullptr;
      if (keyboard_surface == s->surface) keyboard_surface = nullptr;
      wayland::destroy_shown(*s);
    }
    return gone;
  });
  for (const auto& o : outputs) {
    const bool covered = std::any_of(surfaces.begin(), surfaces.end(),
                                     [&](const auto& s) { return s->output_name == o->name; });
    if (o->described && !covered) surfaces.push_back(make_saver_surface(*o, saver, false));
  }
  if (const Output* first = first_output()) {
    for (auto& s : surfaces) s->primary = s->output_name == first->name;
  }
  // Shown at once where configured already; a new one once its configure
  // comes.
  for (auto& s : surfaces) commit_waiting(*s);
  wl_display_flush(display);
}

ScreenInfo WaylandPlatform::screen() {
  w_->follow_outputs();
  ScreenInfo info;
  if (Shown* s = w_->primary(w_->saver); s && s->configured && s->width > 0) {
    info.width = s->width;
    info.height = s->height;
  } else if (const Output* first = w_->first_output()) {
    info.width = first->width;
    info.height = first->height;
  }
  return info;
}

double WaylandPlatform::dialog_scale() {
  // Whole scales only: the output's, which the buffers are drawn at.
  const Output* first = w_->first_output();
  return first ? first->scale : 1.0;
}

}  // namespace vs
