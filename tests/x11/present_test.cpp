#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

// Where two surfaces first differ, for a readable failure.
::testing::AssertionResult same_pixels(const Surface& screen, const Surface& want, int top = 0,
                                       int bottom = -1) {
  if (bottom < 0) bottom = want.height();
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < want.width(); ++x) {
      if (screen.at(x, y) != want.at(x, y)) {
        return ::testing::AssertionFailure() << "at (" << x << ", " << y << ") screen " << std::hex
                                             << screen.at(x, y) << " want " << want.at(x, y);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

class X11Present : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.running()) << server.error();
    ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
    p.show_window(p.window_id());
    ASSERT_EQ(p.presenting_through_shm(), GetParam());
    id = p.window_id();
  }
  Surface screen() {
    p.next_event(0);  // handles exposures
    p.sync();         // our drawing is done before the peer reads it
    auto s = peer.read_pixels(id, 0, 0, 640, 480);
    return s ? *s : Surface();
  }
  Xvfb& server = shared_server();
  Peer peer{server.display()};
  X11Platform p{{}, options_for(server, GetParam())};
  uint64_t id = 0;
};

TEST_P(X11Present, ScreenEqualsTheSurfacePixelForPixel) {
  Surface first = noise_surface(640, 480, 1);
  present_rows(p, first, 0, 480);
  EXPECT_TRUE(same_pixels(screen(), first));
  // Again, so the shared buffer is rewritten after the server used it.
  Surface second = noise_surface(640, 480, 2);
  present_rows(p, second, 0, 480);
  EXPECT_TRUE(same_pixels(screen(), second));
}

TEST_P(X11Present, OnlyTheAskedRowsChange) {
  Surface old_rows = noise_surface(640, 480, 3), new_rows = noise_surface(640, 480, 4);
  present_rows(p, old_rows, 0, 480);
  present_rows(p, new_rows, 100, 150);
  Surface s = screen();
  EXPECT_TRUE(same_pixels(s, old_rows, 0, 100));
  EXPECT_TRUE(same_pixels(s, new_rows, 100, 150));
  EXPECT_TRUE(same_pixels(s, old_rows, 150, 480));

  // Ranges reaching outside the surface are clipped; empty ones do nothing.
  present_rows(p, new_rows, -20, 5);
  present_rows(p, new_rows, 470, 1000);
  present_rows(p, new_rows, 300, 200);
  s = screen();
  EXPECT_TRUE(same_pixels(s, new_rows, 0, 5));
  EXPECT_TRUE(same_pixels(s, old_rows, 5, 100));
  EXPECT_TRUE(same_pixels(s, old_rows, 150, 470));
  EXPECT_TRUE(same_pixels(s, new_rows, 470, 480));
}

TEST_P(X11Present, SurfacesOfAnotherSizeAreClippedToTheWindow) {
  Surface small = noise_surface(100, 50, 5);
  present_rows(p, small, 0, 50);
  Surface s = screen();
  EXPECT_TRUE(same_pixels(s, small));
  EXPECT_EQ(s.at(100, 0), 0u);
  EXPECT_EQ(s.at(0, 50), 0u);
  EXPECT_EQ(s.at(639, 479), 0u);

  Surface large = noise_surface(700, 500, 6);
  present_rows(p, large, 0, 500);
  s = screen();
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) ASSERT_EQ(s.at(x, y), large.at(x, y)) << x << ", " << y;
  }
}

TEST_P(X11Present, ExposedPartsAreRepaintedFromWhatWasPresented) {
  Surface picture = noise_surface(640, 480, 7);
  present_rows(p, picture, 0, 480);
  ASSERT_TRUE(same_pixels(screen(), picture));
  uint64_t cover = peer.make_window(100, 100, 200, 150);
  peer.destroy(cover);
  // The server clears what was under it until we handle the exposure.
  auto uncovered = peer.read_pixels(id, 100, 100, 200, 150);
  ASSERT_TRUE(uncovered);
  EXPECT_EQ(uncovered->at(50, 50), 0u);
  EXPECT_TRUE(wait_until([&] { return same_pixels(screen(), picture); }));
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, X11Present, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Shm" : "Plain"; });

TEST(X11PresentOptions, NoShmInTheEnvironmentTurnsSharedMemoryOff) {
  Xvfb& server = shared_server();
  ASSERT_TRUE(server.running()) << server.error();
  setenv("VARNOSCAPE_NO_SHM", "1", 1);
  X11Platform plain({}, options_for(server));
  unsetenv("VARNOSCAPE_NO_SHM");
  X11Platform shared({}, options_for(server));
  ASSERT_TRUE(plain.create_saver_window("a"));
  ASSERT_TRUE(shared.create_saver_window("b"));
  EXPECT_FALSE(plain.presenting_through_shm());
  EXPECT_TRUE(shared.presenting_through_shm());
}

TEST(X11PresentOptions, A16BitScreenShowsTheNearestColours) {
  Xvfb server("160x100x16");
  ASSERT_TRUE(server.running()) << server.error();
  for (bool shm : {true, false}) {
    X11Platform p({}, options_for(server, shm));
    ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
    p.show_window(p.window_id());
    Surface picture = noise_surface(160, 100, 8);
    present_rows(p, picture, 0, 100);
    p.sync();
    Peer peer(server.display());
    auto s = peer.read_pixels(p.window_id(), 0, 0, 160, 100);
    ASSERT_TRUE(s);
    // 5, 6 and 5 bits: each channel within half a step of the original.
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 160; ++x) {
        uint32_t v = s->at(x, y), want = picture.at(x, y);
        double r = ((v >> 11) & 31) * 255.0 / 31, g = ((v >> 5) & 63) * 255.0 / 63,
               b = (v & 31) * 255.0 / 31;
        ASSERT_LE(std::abs(r - ((want >> 16) & 255)), 255.0 / 62 + 0.01) << x << "," << y;
        ASSERT_LE(std::abs(g - ((want >> 8) & 255)), 255.0 / 126 + 0.01) << x << "," << y;
        ASSERT_LE(std::abs(b - (want & 255)), 255.0 / 62 + 0.01) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace vs::testing
