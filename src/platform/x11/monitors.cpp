#include "platform/x11/monitors.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace vs::x11 {
namespace {

std::vector<Monitor> randr_monitors(Connection& c) {
  std::vector<Monitor> out;
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(c.display, c.root, True, &count);
  if (!info) return out;
  for (int i = 0; i < count; ++i) {
    out.push_back({{info[i].x, info[i].y, info[i].width, info[i].height}, info[i].primary != 0});
  }
  XRRFreeMonitors(info);
  return out;
}

std::vector<Monitor> xinerama_heads(Connection& c) {
  std::vector<Monitor> out;
  int event_base = 0, error_base = 0;
  if (!XineramaQueryExtension(c.display, &event_base, &error_base) ||
      !XineramaIsActive(c.display)) {
    return out;
  }
  int count = 0;
  XineramaScreenInfo* heads = XineramaQueryScreens(c.display, &count);
  if (!heads) return out;
  // Xinerama has no primary head.
  for (int i = 0; i < count; ++i) {
    out.push_back({{heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height}, false});
  }
  XFree(heads);
  return out;
}

Rect clip(const Rect& r, int width, int height) {
  const int left = std::max(r.x, 0), top = std::max(r.y, 0);
  const int right = std::min(r.x + r.width, width), bottom = std::min(r.y + r.height, height);
  return Rect{left, top, right - left, bottom - top};
}

}  // namespace

std::vector<Monitor> query_monitors(Connection& c) {
  if (!c.connected()) return {};
  if (c.randr_monitors) {
    std::vector<Monitor> monitors = randr_monitors(c);
    if (!monitors.empty()) return monitors;
  }
  return xinerama_heads(c);
}

Rect drawing_area(const std::vector<Monitor>& monitors, int root_width, int root_height) {
  const Monitor* first = nullptr;
  for (const Monitor& m : monitors) {
    if (clip(m.area, root_width, root_height).empty()) continue;
    if (m.primary) return clip(m.area, root_width, root_height);
    if (!first) first = &m;
  }
  if (first) return clip(first->area, root_width, root_height);
  return Rect{0, 0, root_width, root_height};
}

}  // namespace vs::x11
