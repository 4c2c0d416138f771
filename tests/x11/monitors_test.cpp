#include <gtest/gtest.h>

#include <ostream>

#include "platform/x11/monitors.h"
#include "x11/x11_test_support.h"

// After the project headers: Xlib's macros clash with names declared there.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace vs::x11 {
std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}
}  // namespace vs::x11

namespace vs::testing {
namespace {

using x11::Monitor;

TEST(X11Monitors, TheDrawingGoesOnThePrimaryMonitorCutToTheRoot) {
  struct Case {
    const char* what;
    std::vector<Monitor> monitors;
    int root_width, root_height;
    Rect want;
  };
  const Case cases[] = {
      {"no monitor told: the root", {}, 1024, 768, {0, 0, 1024, 768}},
      {"none primary: the first",
       {{{0, 0, 800, 600}, false}, {{800, 0, 640, 480}, false}},
       1440,
       600,
       {0, 0, 800, 600}},
      {"the primary, not the first",
       {{{0, 0, 800, 600}, false}, {{800, 0, 640, 480}, true}},
       1440,
       600,
       {800, 0, 640, 480}},
      {"cut to a root that shrank", {{{800, 0, 640, 480}, true}}, 1280, 600, {800, 0, 480, 480}},
      {"a primary outside the root is passed over",
       {{{-900, 0, 800, 600}, true}, {{0, 0, 800, 600}, false}},
       1440,
       600,
       {0, 0, 800, 600}},
      {"every monitor outside: the root",
       {{{2000, 0, 640, 480}, true}},
       1440,
       600,
       {0, 0, 1440, 600}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(x11::drawing_area(c.monitors, c.root_width, c.root_height), c.want) << c.what;
  }
}

// Tells the server of a new monitor (RandR 1.5).
void set_monitor(Display* d, const char* name, Rect r, bool primary, RROutput output) {
  XRRMonitorInfo* m = XRRAllocateMonitor(d, output ? 1 : 0);
  m->name = XInternAtom(d, name, False);
  m->primary = primary;
  m->x = r.x;
  m->y = r.y;
  m->width = r.width;
  m->height = r.height;
  m->mwidth = r.width / 4;
  m->mheight = r.height / 4;
  if (output) m->outputs[0] = output;
  XRRSetMonitor(d, DefaultRootWindow(d), m);
  XRRFreeMonitors(m);
  XSync(d, False);
}

bool all_black(const std::optional<Surface>& s) {
  if (!s) return false;
  for (int y = 0; y < s->height(); ++y) {
    for (int x = 0; x < s->width(); ++x) {
      if (s->at(x, y) != 0) return false;
    }
  }
  return true;
}

bool same(const std::optional<Surface>& s, const Surface& want) {
  if (!s || s->width() != want.width() || s->height() != want.height()) return false;
  for (int y = 0; y < want.height(); ++y) {
    for (int x = 0; x < want.width(); ++x) {
      if (s->at(x, y) != want.at(x, y)) return false;
    }
  }
  return true;
}

TEST(X11Monitors, TheSaverScreenCoversTheRootAndFollowsTheMonitors) {
  Xvfb server("1440x600x24");
  ASSERT_TRUE(server.running()) << server.error();
  Peer peer(server.display());
  auto* d = static_cast<Display*>(peer.display());
  const Window root = peer.root();
  XRRScreenResources* resources = XRRGetScreenResources(d, root);
  ASSERT_TRUE(resources && resources->noutput > 0 && resources->ncrtc > 0);
  // Two monitors side by side; the left one takes the place of the output's.
  set_monitor(d, "LEFT", {0, 0, 800, 600}, false, resources->outputs[0]);
  set_monitor(d, "RIGHT", {800, 0, 640, 480}, false, None);

  X11Platform p({}, options_for(server));
  ScreenInfo s = p.screen();
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  p.show_window(p.window_id());
  const uint64_t id = p.window_id();
  auto g = peer.geometry(id);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->width, 1440);
  EXPECT_EQ(g->height, 600);
  const Surface left = noise_surface(800, 600, 1);
  present_rows(p, left, 0, 600);
  p.sync();
  EXPECT_TRUE(same(peer.read_pixels(id, 0, 0, 800, 600), left));
  EXPECT_TRUE(all_black(peer.read_pixels(id, 800, 0, 640, 600)));

  // The right-hand monitor becomes the primary one: the drawing moves there
  // and the left one turns black.
  XRRDeleteMonitor(d, root, XInternAtom(d, "RIGHT", False));
  set_monitor(d, "RIGHT", {800, 0, 640, 480}, true, None);
  EXPECT_TRUE(wait_until([&] {
    p.next_event(5);
    return p.screen().width == 640;
  }));
  EXPECT_EQ(p.screen().height, 480);
  const Surface right = noise_surface(640, 480, 2);
  present_rows(p, right, 0, 480);
  p.sync();
  EXPECT_TRUE(same(peer.read_pixels(id, 800, 0, 640, 480), right));
  EXPECT_TRUE(all_black(peer.read_pixels(id, 0, 0, 800, 600)));
  EXPECT_TRUE(all_black(peer.read_pixels(id, 800, 480, 640, 120)));

  // The root shrinks (with the output off, whose mode would not fit): the
  // window follows and the primary monitor is cut to what is left of it.
  XRRSetCrtcConfig(d, resources, resources->crtcs[0], CurrentTime, 0, 0, None, RR_Rotate_0, nullptr,
                   0);
  XRRSetScreenSize(d, root, 1280, 600, 1280 / 4, 600 / 4);
  XSync(d, False);
  EXPECT_TRUE(wait_until([&] {
    p.next_event(5);
    auto now = peer.geometry(id);
    return now && now->width == 1280 && p.screen().width == 480;
  }));
  EXPECT_EQ(p.screen().height, 480);
  XRRFreeScreenResources(resources);
}

}  // namespace
}  // namespace vs::testing
