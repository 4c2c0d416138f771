// Drawing helpers the controls share, and the classic palette they are
// drawn in (grey faces, white and dark grey edges).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "forms/forms.h"

namespace vs::forms {

constexpr uint32_t kFace = pixel_rgb(192, 192, 192);
constexpr uint32_t kLight = pixel_rgb(223, 223, 223);
constexpr uint32_t kHighlight = pixel_rgb(255, 255, 255);
constexpr uint32_t kShadow = pixel_rgb(128, 128, 128);
constexpr uint32_t kDarkShadow = pixel_rgb(64, 64, 64);
constexpr uint32_t kWindow = pixel_rgb(255, 255, 255);
constexpr uint32_t kSelection = pixel_rgb(0, 0, 128);
constexpr uint32_t kText = pixel_rgb(0, 0, 0);

Rect intersect(const Rect& a, const Rect& b);
inline Rect moved(const Rect& r, int dx, int dy) {
  return {r.x + dx, r.y + dy, r.width, r.height};
}
inline Rect inset(const Rect& r, int d) {
  return {r.x + d, r.y + d, r.width - 2 * d, r.height - 2 * d};
}

// The text's lines: split at CR LF, LF or CR.
std::vector<std::string> split_lines(const std::string& text);

// A path's lines within `width` (widths as `measure` gives them): broken
// after the last separator that fits, else between characters. A path that
// needs more than max_lines shows its first lines and then its end after
// "…".
std::vector<std::string> wrap_path(const std::string& path, int width, int max_lines,
                                   const std::function<int(const std::string&)>& measure);

// The keyboard focus mark: every other pixel of the rectangle's outline
// inverted, within clip.
void draw_focus_rect(Surface& s, const Rect& r, const Rect& clip);

// The picture at `at`, at its own size from the corner or stretched to it,
// without its kTransparentKey pixels, within clip.
void draw_picture(Surface& s, const Surface& picture, const Rect& at, bool stretch,
                  const Rect& clip);

// A filled rectangle within clip.
void fill_clipped(Surface& s, const Rect& r, uint32_t pixel, const Rect& clip);

}  // namespace vs::forms
