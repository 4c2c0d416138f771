#include <gtest/gtest.h>

#include "x11/x11_test_support.h"

// After the project headers: Xlib's macros clash with names declared there.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <dlfcn.h>

namespace vs::testing {
namespace {

class X11SaverWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.running()) << server.error(); }
  Xvfb& server = shared_server();
  Peer peer{server.display()};
};

TEST_F(X11SaverWindow, IsMadeHiddenThenCoversTheScreenOnTopWithInputGrabbed) {
  X11Platform p({}, options_for(server));
  uint64_t other = peer.make_window(10, 10, 50, 50);
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  uint64_t id = p.window_id();
  auto g = peer.geometry(id);
  ASSERT_TRUE(g);
  EXPECT_FALSE(g->mapped);
  EXPECT_TRUE(g->override_redirect);
  EXPECT_EQ(g->x, 0);
  EXPECT_EQ(g->y, 0);
  EXPECT_EQ(g->width, 640);
  EXPECT_EQ(g->height, 480);
  EXPECT_TRUE(peer.keyboard_free());

  p.show_window(p.window_id());
  g = peer.geometry(id);
  ASSERT_TRUE(g);
  EXPECT_TRUE(g->mapped);
  EXPECT_EQ(peer.children(peer.root()).back(), id);
  EXPECT_FALSE(peer.keyboard_free());

  // Another window raised later is pushed back under the saver screen.
  peer.raise(other);
  EXPECT_TRUE(wait_until([&] {
    p.next_event(5);
    return peer.children(peer.root()).back() == id;
  }));

  p.destroy_window(p.window_id());
  EXPECT_EQ(p.window_id(), 0u);
  EXPECT_FALSE(peer.geometry(id));
  EXPECT_FALSE(p.window_exists("Varnoscape_Main"));
  EXPECT_TRUE(peer.keyboard_free());
  peer.destroy(other);
}

TEST_F(X11SaverWindow, ASecondWindowReplacesTheFirst) {
  X11Platform p({}, options_for(server));
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  uint64_t first = p.window_id();
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  EXPECT_NE(p.window_id(), first);
  EXPECT_FALSE(peer.geometry(first));
}

// The pointer's current image, read through XFixes (loaded at run time: the
// backend itself does not need the library).
struct CursorImage {
  int width = 0;
  int height = 0;
  bool blank = true;
};

std::optional<CursorImage> current_cursor(Peer& peer) {
  static void* lib = dlopen("libXfixes.so.3", RTLD_NOW);
  if (!lib) return std::nullopt;
  auto query = reinterpret_cast<Bool (*)(Display*, int*, int*)>(dlsym(lib, "XFixesQueryExtension"));
  auto get = reinterpret_cast<XFixesCursorImage* (*)(Display*)>(dlsym(lib, "XFixesGetCursorImage"));
  if (!query || !get) return std::nullopt;
  auto* d = static_cast<Display*>(peer.display());
  int event = 0, error = 0;
  if (!query(d, &event, &error)) return std::nullopt;
  XFixesCursorImage* image = get(d);
  if (!image) return std::nullopt;
  CursorImage c{image->width, image->height, true};
  for (int i = 0; i < image->width * image->height; ++i) {
    if (image->pixels[i] >> 24) c.blank = false;  // any opaque point
  }
  XFree(image);
  return c;
}

TEST_F(X11SaverWindow, CursorIsHiddenWhileTheCounterIsBelowZero) {
  ASSERT_TRUE(current_cursor(peer)) << "XFixes is needed to read the cursor";
  // The other client's requests reach the server in their own time.
  auto shows = [&](bool blank) {
    return wait_until([&] { return current_cursor(peer)->blank == blank; });
  };
  X11Platform p({}, options_for(server));
  // Counted before any window exists, applied to windows made later.
  EXPECT_EQ(p.show_cursor(false), -1);
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  p.show_window(p.window_id());
  run({"xdotool", "mousemove", "200", "200"}, server.display());
  EXPECT_TRUE(shows(true));

  EXPECT_EQ(p.show_cursor(false), -2);
  EXPECT_EQ(p.show_cursor(true), -1);
  EXPECT_TRUE(shows(true));
  EXPECT_EQ(p.show_cursor(true), 0);
  EXPECT_TRUE(shows(false));
  EXPECT_GT(current_cursor(peer)->width, 1);
  EXPECT_EQ(p.show_cursor(true), 1);
  EXPECT_EQ(p.show_cursor(false), 0);
  EXPECT_TRUE(shows(false));
  EXPECT_EQ(p.show_cursor(false), -1);
  EXPECT_TRUE(shows(true));
}

}  // namespace
}  // namespace vs::testing
