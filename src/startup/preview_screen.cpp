#include "startup/preview_screen.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/event_loop.h"
#include "saver/relief.h"

namespace vs {

namespace {

constexpr int kPreviewWidth = 152;
constexpr int kPreviewHeight = 112;

// A small landscape (rolling hills under a setting sun) for the relief to
// lift: bright sky, a sun and hills of changing lightness.
Surface preview_landscape(int width, int height) {
  Surface s(width, height);
  const double sun_x = width * 0.68, sun_y = height * 0.32, sun_r = height * 0.2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double ridge = height * (0.55 + 0.12 * std::sin(x * 0.09) + 0.06 * std::sin(x * 0.23 + 1.0));
      double r, g, b;
      if (y >= ridge) {
        double depth = (y - ridge) / std::max(1.0, height - ridge);
        r = 40 + 60 * depth;
        g = 150 - 70 * depth + 40 * std::sin(x * 0.3);
        b = 60 + 20 * depth;
      } else if (std::hypot(x - sun_x, y - sun_y) < sun_r) {
        r = 255, g = 220, b = 120;
      } else {
        double t = static_cast<double>(y) / height;
        r = 40 + 200 * t;
        g = 60 + 90 * t;
        b = 160 - 40 * t;
      }
      auto c = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0)); };
      s.row(y)[x] = pixel_rgb(c(r), c(g), c(b));
    }
  }
  return s;
}

}  // namespace

Surface preview_picture() {
  // The preview is the saver's own work: a landscape drawn as a relief of
  // lines, the way the saver draws the user's pictures.
  Surface display(kPreviewWidth, kPreviewHeight);
  ReliefDrawing drawing(preview_landscape(kPreviewWidth - 16, kPreviewHeight - 52), display, 1);
  drawing.draw_rows(kPreviewHeight);
  display.take_dirty();
  return display;
}

int PreviewScreen::run(int64_t parent) {
  SaverHost* host = p_.saver_host();
  if (!host) {
    // A display that gives no window of another program has nowhere to
    // draw the preview.
    p_.system().report(
        "varnoscape: /p draws in a window of another program, which this display "
        "does not give");
    return 1;
  }
  const ChildWindow child =
      host->create_preview_window(static_cast<ForeignWindow>(static_cast<uint32_t>(parent)));
  if (!child) return 0;
  id_ = child.id;
  picture_ = preview_picture();
  show(child.width, child.height);
  // Nothing to do but wait: the picture does not change.
  EventLoop loop(p_);
  loop.run([&](const Event& e) {
    if (e.kind == Event::Kind::WindowGone) loop.quit(0);
    if (e.kind == Event::Kind::Resized) show(e.x, e.y);
  });
  p_.window_system().destroy_window(id_);
  return 0;
}

// The stored picture is stretched to whatever size the preview window has.
void PreviewScreen::show(int width, int height) {
  window_ = Surface(width, height);
  window_.stretch_from(picture_, 0, 0, picture_.width(), picture_.height(), 0, 0, width, height);
  if (!window_.empty()) p_.window_system().present(id_, window_, Rect{0, 0, width, height});
}

}  // namespace vs
