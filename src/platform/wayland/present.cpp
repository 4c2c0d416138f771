// Presenting: the rows that changed go into a buffer the compositor does not
// hold, which is then committed with those rows as damage. Nothing here
// waits for the compositor. While it holds both buffers of a surface, or
// before the surface's first configure, the rows wait in the surface, and
// the buffer's release or the configure, read by the loop like any other
// event, sends them out.
#include <algorithm>

#include "platform/wayland/wayland_state.h"

namespace vs {

using wayland::Shown;

namespace {

// Buffers of a surface: one shown while the other is written.
constexpr size_t kBuffers = 2;

}  // namespace

bool WaylandPlatform::State::can_commit(const Shown& s) const {
  if (lost || !s.configured || s.width <= 0 || s.height <= 0) return false;
  auto it = windows.find(s.window);
  return it != windows.end() && it->second.shown;
}

std::optional<size_t> WaylandPlatform::State::free_buffer(Shown& s) {
  // The one committed last, once given back, needs only the new rows.
  if (s.latest && !s.buffers[*s.latest]->busy) return s.latest;
  for (size_t i = 0; i < s.buffers.size(); ++i) {
    if (!s.buffers[i]->busy) return i;
  }
  if (s.buffers.size() >= kBuffers) return std::nullopt;
  auto b = wayland::make_buffer(shm, s.width, s.height, WL_SHM_FORMAT_XRGB8888, &s);
  if (!b) return std::nullopt;
  s.buffers.push_back(std::move(b));
  return s.buffers.size() - 1;
}

void WaylandPlatform::State::commit(Shown& s, size_t index, const Surface* drawn,
                                    RowRange presented) {
  std::vector<wayland::BufferRows*> all;
  for (auto& b : s.buffers) all.push_back(b.get());
  const RowRange changed = s.rows.fill(all, index, s.latest, drawn, presented);
  wayland::Buffer& b = *s.buffers[index];
  // The first buffer at this size is new throughout.
  const RowRange damage = s.latest ? changed : RowRange{0, b.height};
  b.busy = true;
  s.latest = index;
  wl_surface_attach(s.surface, b.buffer, 0, 0);
  if (!damage.empty()) {
    wl_surface_damage_buffer(s.surface, 0, damage.top, b.width, damage.bottom - damage.top);
  }
  wl_surface_commit(s.surface);
  s.mapped = true;
  // Also from a listener: out now, not at the loop's next wait.
  wl_display_flush(display);
}

void WaylandPlatform::State::commit_waiting(Shown& s) {
  if (!can_commit(s)) return;
  // Shown already: only rows waiting go out, and not after a new size took
  // the buffers (the next present fills the new ones whole). Not shown yet:
  // the first frame, black where nothing was presented.
  if (s.mapped && (s.rows.waiting().empty() || !s.latest)) return;
  if (std::optional<size_t> index = free_buffer(s)) commit(s, *index, nullptr, {});
}

void WaylandPlatform::present(WindowId window, const Surface& surface, const Rect& area) {
  Shown* s = w_->primary(window);
  if (!s || w_->lost) return;
  // Rows below the drawing (a buffer taller than it) are black.
  const int height = std::max(surface.height(), s->height);
  const RowRange rows{std::clamp(area.y, 0, height), std::clamp(area.y + area.height, 0, height)};
  if (rows.empty()) return;
  if (w_->can_commit(*s)) {
    if (std::optional<size_t> index = w_->free_buffer(*s)) {
      w_->commit(*s, *index, &surface, rows);
      return;
    }
  }
  s->rows.keep(surface, rows);
}

}  // namespace vs
