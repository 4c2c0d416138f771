#include "platform/wayland/wayland_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "forms/message_box.h"

namespace vs {

using wayland::Buffer;
using wayland::Output;
using wayland::Shown;

namespace {

constexpr uint32_t kAllEdges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
// Buffers a surface may have at once: two in turn, a third while the
// compositor is slow to give one back.
constexpr size_t kMostBuffers = 3;

// --- Outputs -------------------------------------------------------------

void output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                     const char*, int32_t) {}
void output_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
  auto* o = static_cast<Output*>(data);
  o->width = width;
  o->height = height;
}
void output_done(void*, wl_output*) {}
void output_scale(void* data, wl_output*, int32_t factor) {
  static_cast<Output*>(data)->scale = std::max(1, factor);
}
// (name and description come from version 4 on; we bind 2.)
const wl_output_listener kOutputListener = {output_geometry, output_mode, output_done,
                                            output_scale,    nullptr,     nullptr};

// --- The shell's ping ----------------------------------------------------

void wm_base_ping(void*, xdg_wm_base* base, uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmBaseListener = {wm_base_ping};

// --- Buffers ---------------------------------------------------------------

void buffer_release(void* data, wl_buffer*) {
  static_cast<Buffer*>(data)->busy = false;
}
const wl_buffer_listener kBufferListener = {buffer_release};

std::unique_ptr<Buffer> make_buffer(wl_shm* shm, int width, int height, uint32_t format) {
  if (!shm || width <= 0 || height <= 0) return nullptr;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t bytes = stride * static_cast<size_t>(height);
  const int fd = memfd_create("varnoscape", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
    close(fd);
    return nullptr;
  }
  void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  auto b = std::make_unique<Buffer>();
  b->pixels = static_cast<uint32_t*>(map);
  b->bytes = bytes;
  b->width = width;
  b->height = height;
  std::memset(map, 0, bytes);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
  b->buffer =
      wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride), format);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_buffer_add_listener(b->buffer, &kBufferListener, b.get());
  b->stale_top = 0;
  b->stale_bottom = height;
  return b;
}

// --- Surfaces --------------------------------------------------------------

void layer_configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                     uint32_t height) {
  auto* s = static_cast<Shown*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  const int w = static_cast<int>(width) * s->scale, h = static_cast<int>(height) * s->scale;
  if (w != s->width || h != s->height) {
    s->width = w;
    s->height = h;
    s->buffers.clear();
    s->latest.reset();
  }
  s->configured = true;
}
void layer_closed(void* data, zwlr_layer_surface_v1*) {
  // The compositor took the surface away (its output went): it shows
  // nothing more.
  static_cast<Shown*>(data)->configured = false;
}
const zwlr_layer_surface_v1_listener kLayerListener = {layer_configure, layer_closed};

void xdg_surface_configure(void* data, xdg_surface* surface, uint32_t serial) {
  xdg_surface_ack_configure(surface, serial);
  static_cast<Shown*>(data)->configured = true;
}
const xdg_surface_listener kXdgSurfaceListener = {xdg_surface_configure};

void toplevel_configure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  // A dialog keeps its own size; a full-screen saver takes the output's.
  Shown& s = *static_cast<Shown*>(data);
  auto it = s.state->windows.find(s.window);
  if (it == s.state->windows.end() || it->second.kind != wayland::Window::Kind::Saver) return;
  if (width <= 0 || height <= 0) return;
  if (width * s.scale != s.width || height * s.scale != s.height) {
    s.width = width * s.scale;
    s.height = height * s.scale;
    s.buffers.clear();
    s.latest.reset();
  }
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

// A window of the shell, titled, of the given size in pixels at a whole
// scale; its owner commits it.
std::unique_ptr<Shown> make_toplevel(WaylandPlatform::State& w, WindowId id,
                                     const std::string& title, int scale, int width, int height) {
  auto s = std::make_unique<Shown>();
  s->surface = wl_compositor_create_surface(w.compositor);
  s->scale = scale;
  s->width = width;
  s->height = height;
  wl_surface_set_buffer_scale(s->surface, scale);
  s->xdg = xdg_wm_base_get_xdg_surface(w.wm_base, s->surface);
  xdg_surface_add_listener(s->xdg, &kXdgSurfaceListener, s.get());
  s->toplevel = xdg_surface_get_toplevel(s->xdg);
  s->state = &w;
  s->window = id;
  xdg_toplevel_add_listener(s->toplevel, &kToplevelListener, s.get());
  xdg_toplevel_set_title(s->toplevel, title.c_str());
  xdg_toplevel_set_app_id(s->toplevel, "varnoscape");
  return s;
}

void destroy_shown(Shown& s) {
  if (s.toplevel) xdg_toplevel_destroy(s.toplevel);
  if (s.xdg) xdg_surface_destroy(s.xdg);
  if (s.layer) zwlr_layer_surface_v1_destroy(s.layer);
  s.buffers.clear();
  if (s.surface) wl_surface_destroy(s.surface);
  s = Shown{};
}

// --- The registry ----------------------------------------------------------

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
    auto o = std::make_unique<Output>();
    o->name = name;
    o->output = static_cast<wl_output*>(bind(&wl_output_interface, 2));
    wl_output_add_listener(o->output, &kOutputListener, o.get());
    w->outputs.push_back(std::move(o));
  }
}

void registry_global_remove(void* data, wl_registry*, uint32_t name) {
  auto* w = static_cast<WaylandPlatform::State*>(data);
  auto it = std::find_if(w->outputs.begin(), w->outputs.end(),
                         [name](const auto& o) { return o->name == name; });
  if (it == w->outputs.end()) return;
  // Its saver surface goes at the next picture; the output object now.
  wl_output_destroy((*it)->output);
  w->outputs.erase(it);
}

const wl_registry_listener kRegistryListener = {registry_global, registry_global_remove};

}  // namespace

Buffer::~Buffer() {
  if (buffer) wl_buffer_destroy(buffer);
  if (pixels) munmap(pixels, bytes);
}

WaylandPlatform::State::~State() {
  for (auto& [id, window] : windows) {
    for (auto& s : window.surfaces) destroy_shown(*s);
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

void WaylandPlatform::State::roundtrip() {
  if (!display || lost) return;
  if (wl_display_roundtrip(display) < 0) lost = true;
}

std::unique_ptr<Shown> WaylandPlatform::State::make_saver_surface(const Output& output,
                                                                  bool is_primary) {
  auto s = std::make_unique<Shown>();
  s->surface = wl_compositor_create_surface(compositor);
  s->output_name = output.name;
  s->scale = output.scale;
  s->primary = is_primary;
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

void WaylandPlatform::State::follow_outputs() {
  auto it = windows.find(saver);
  if (it == windows.end() || !layer_shell) return;
  auto& surfaces = it->second.surfaces;
  // Surfaces of outputs gone go; the first output left holds the drawing.
  std::erase_if(surfaces, [&](const std::unique_ptr<Shown>& s) {
    const bool gone = std::none_of(outputs.begin(), outputs.end(),
                                   [&](const auto& o) { return o->name == s->output_name; });
    if (gone) destroy_shown(*s);
    return gone;
  });
  bool added = false;
  for (const auto& o : outputs) {
    const bool covered = std::any_of(surfaces.begin(), surfaces.end(),
                                     [&](const auto& s) { return s->output_name == o->name; });
    if (covered) continue;
    surfaces.push_back(make_saver_surface(*o, false));
    added = true;
  }
  if (!outputs.empty()) {
    for (auto& s : surfaces) s->primary = s->output_name == outputs.front()->name;
  }
  if (added) roundtrip();
  if (it->second.shown) {
    for (auto& s : surfaces) {
      if (!s->mapped) show(*s);
    }
  }
}

std::optional<size_t> WaylandPlatform::State::free_buffer(Shown& s) {
  for (size_t i = 0; i < s.buffers.size(); ++i) {
    if (!s.buffers[i]->busy && i != s.latest) return i;
  }
  if (s.buffers.size() < kMostBuffers) {
    auto b = make_buffer(shm, s.width, s.height, WL_SHM_FORMAT_XRGB8888);
    if (!b) return std::nullopt;
    s.buffers.push_back(std::move(b));
    return s.buffers.size() - 1;
  }
  // Every buffer is held: wait a little for one to come back.
  for (int i = 0; i < 20 && !lost; ++i) {
    if (wl_display_dispatch_pending(display) < 0 || wl_display_roundtrip(display) < 0) {
      lost = true;
      break;
    }
    for (size_t k = 0; k < s.buffers.size(); ++k) {
      if (!s.buffers[k]->busy && k != s.latest) return k;
    }
  }
  return std::nullopt;
}

void WaylandPlatform::State::attach(Shown& s, size_t index, int top, int bottom) {
  Buffer& b = *s.buffers[index];
  b.busy = true;
  s.latest = index;
  wl_surface_attach(s.surface, b.buffer, 0, 0);
  wl_surface_damage_buffer(s.surface, 0, top, b.width, bottom - top);
  wl_surface_commit(s.surface);
  s.mapped = true;
}

void WaylandPlatform::State::show(Shown& s) {
  if (!s.configured && !lost) roundtrip();
  if (!s.configured) return;
  if (!s.latest) {
    // Nothing presented yet: black.
    std::optional<size_t> i = free_buffer(s);
    if (!i) return;
    Buffer& b = *s.buffers[*i];
    std::memset(b.pixels, 0, b.bytes);
    b.stale_top = b.stale_bottom = 0;
    attach(s, *i, 0, b.height);
    return;
  }
  Buffer& b = *s.buffers[*s.latest];
  if (b.busy) {
    // Already attached; the commit maps it.
    wl_surface_commit(s.surface);
    s.mapped = true;
    return;
  }
  attach(s, *s.latest, 0, b.height);
}

WaylandPlatform::WaylandPlatform(std::vector<std::string> args)
    : PosixPlatform(std::move(args)), w_(std::make_unique<State>(*this)) {
  w_->display = wl_display_connect(nullptr);
  if (!w_->display) return;
  // As on a desktop without a layer shell (GNOME), where the compositor
  // has one that misbehaves.
  w_->refuse_layer_shell = environment("VARNOSCAPE_NO_LAYER_SHELL").value_or("") == "1";
  w_->registry = wl_display_get_registry(w_->display);
  wl_registry_add_listener(w_->registry, &kRegistryListener, w_.get());
  // The globals, then what they announce (outputs' modes, the seat's
  // abilities).
  w_->roundtrip();
  w_->roundtrip();
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
  PosixPlatform::end_program_now(status);
}

bool WaylandPlatform::connected() const {
  return w_->display != nullptr;
}

ScreenInfo WaylandPlatform::screen() {
  w_->follow_outputs();
  ScreenInfo info;
  if (Shown* s = w_->primary(w_->saver); s && s->width > 0) {
    info.width = s->width;
    info.height = s->height;
    return info;
  }
  if (!w_->outputs.empty()) {
    info.width = w_->outputs.front()->width;
    info.height = w_->outputs.front()->height;
  }
  return info;
}

double WaylandPlatform::dialog_scale() {
  // Whole scales only: the output's, which the buffers are drawn at.
  return w_->outputs.empty() ? 1.0 : w_->outputs.front()->scale;
}

bool WaylandPlatform::window_exists(const std::string&) {
  // No client sees another's windows; the lock below keeps one copy.
  return false;
}

bool WaylandPlatform::claim_single_copy() {
  if (w_->lock_fd >= 0) return true;
  std::optional<std::string> runtime = environment("XDG_RUNTIME_DIR");
  if (!runtime || runtime->empty()) {
    report("XDG_RUNTIME_DIR is not set: another copy cannot be told apart");
    return true;
  }
  std::string display = environment("WAYLAND_DISPLAY").value_or("wayland-0");
  std::replace(display.begin(), display.end(), '/', '_');
  const std::string path = *runtime + "/varnoscape-" + display + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    report("cannot open " + path + ": " + std::strerror(errno));
    return true;
  }
  // Held as long as the process lives; the system lets it go with it.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  w_->lock_fd = fd;
  return true;
}

ChildWindow WaylandPlatform::use_host_window(ForeignWindow) {
  report("Wayland has no windows of other programs to draw in");
  return {};
}

ChildWindow WaylandPlatform::create_preview_window(ForeignWindow) {
  report(
      "varnoscape: /p draws in a window of another program, which Wayland does not give; "
      "the preview works on X11 only");
  return {};
}

WindowId WaylandPlatform::create_saver_window(const std::string& title) {
  if (!connected() || w_->outputs.empty()) return 0;
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
  const Output& output = *w_->outputs.front();
  std::unique_ptr<Shown> s =
      make_toplevel(*w_, id, title, output.scale, output.width, output.height);
  s->output_name = output.name;
  xdg_toplevel_set_fullscreen(s->toplevel, output.output);
  wl_surface_commit(s->surface);
  w_->windows[id].surfaces.push_back(std::move(s));
  w_->roundtrip();
  return id;
}

WindowId WaylandPlatform::create_dialog_window(const DialogSpec& spec) {
  if (!connected() || !w_->wm_base || spec.client_width <= 0 || spec.client_height <= 0) return 0;
  const WindowId id = w_->next_id++;
  std::unique_ptr<Shown> s =
      make_toplevel(*w_, id, spec.title, std::max(1, static_cast<int>(spec.scale + 0.5)),
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
  w_->roundtrip();
  return id;
}

void WaylandPlatform::show_window(WindowId window) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  it->second.shown = true;
  for (auto& s : it->second.surfaces) w_->show(*s);
  if (w_->display) wl_display_flush(w_->display);
}

void WaylandPlatform::destroy_window(WindowId window) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  for (auto& s : it->second.surfaces) {
    if (w_->pointer_surface == s->surface) w_->pointer_surface = nullptr;
    if (w_->keyboard_surface == s->surface) w_->keyboard_surface = nullptr;
    destroy_shown(*s);
  }
  w_->windows.erase(it);
  if (w_->saver == window) w_->saver = 0;
  if (w_->display) wl_display_flush(w_->display);
}

std::optional<Rect> WaylandPlatform::window_rect(WindowId) {
  // Where a window is on the screen is the compositor's to know.
  return std::nullopt;
}

void WaylandPlatform::present(WindowId window, const Surface& surface, const Rect& area) {
  Shown* s = w_->primary(window);
  if (!s || w_->lost) return;
  if (!s->configured) w_->roundtrip();
  if (!s->configured || s->width <= 0) return;
  std::optional<size_t> index = w_->free_buffer(*s);
  if (!index) return;  // the compositor holds every buffer; the next present brings it all
  Buffer& b = *s->buffers[*index];
  const int top = std::clamp(area.y, 0, b.height);
  const int bottom = std::clamp(area.y + area.height, 0, b.height);
  // This buffer gets the rows presented since it was last shown, and these.
  int from = top, to = bottom;
  if (b.stale_bottom > b.stale_top) {
    from = std::min(from, b.stale_top);
    to = std::max(to, b.stale_bottom);
  }
  const int width = std::min(b.width, surface.width());
  for (int y = from; y < to; ++y) {
    uint32_t* row = b.pixels + static_cast<size_t>(y) * static_cast<size_t>(b.width);
    if (y < surface.height() && width > 0) {
      std::memcpy(row, surface.row(y), static_cast<size_t>(width) * 4);
      if (width < b.width) std::memset(row + width, 0, static_cast<size_t>(b.width - width) * 4);
    } else {
      std::memset(row, 0, static_cast<size_t>(b.width) * 4);
    }
  }
  b.stale_top = b.stale_bottom = 0;
  for (auto& other : s->buffers) {
    if (other.get() == &b || bottom <= top) continue;
    if (other->stale_bottom <= other->stale_top) {
      other->stale_top = top, other->stale_bottom = bottom;
    } else {
      other->stale_top = std::min(other->stale_top, top);
      other->stale_bottom = std::max(other->stale_bottom, bottom);
    }
  }
  auto it = w_->windows.find(window);
  if (it != w_->windows.end() && it->second.shown) {
    w_->attach(*s, *index, top, std::max(top + 1, bottom));
    wl_display_flush(w_->display);
  } else {
    s->latest = index;
  }
}

int WaylandPlatform::show_cursor(bool show) {
  w_->cursor_counter += show ? 1 : -1;
  w_->apply_cursor();
  return w_->cursor_counter;
}

std::optional<Point> WaylandPlatform::pointer_position() {
  // Only over our own surfaces does a client learn where the pointer is.
  return std::nullopt;
}

void WaylandPlatform::set_hand_pointer(const PointerImage& image) {
  const int w = image.pixels.width(), h = image.pixels.height();
  if (!connected() || w <= 0 || h <= 0) return;
  w_->hand = make_buffer(w_->shm, w, h, WL_SHM_FORMAT_ARGB8888);
  if (!w_->hand) return;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool shown = image.mask.at(x, y) != 0;
      w_->hand->pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          shown ? 0xFF000000u | (image.pixels.at(x, y) & 0xFFFFFF) : 0;
    }
  }
  w_->hand_hot_spot = image.hot_spot;
  w_->hand_scale = std::max(1, static_cast<int>(dialog_scale()));
  w_->pointer_look = State::Look::None;  // a new hand: given again
  w_->apply_cursor();
}

void WaylandPlatform::set_pointer_shapes(
    WindowId window, const std::vector<std::pair<Rect, PointerShape>>& regions) {
  auto it = w_->windows.find(window);
  if (it == w_->windows.end()) return;
  it->second.shapes = regions;
}

void WaylandPlatform::set_busy(bool busy) {
  if (w_->busy == busy) return;
  w_->busy = busy;
  w_->apply_cursor();
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
