#include <gtest/gtest.h>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

using Kind = Event::Kind;

class X11Preview : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.running()) << server.error(); }
  std::optional<Event> next_event() {
    for (int i = 0; i < 40; ++i) {
      if (auto e = p.next_event(50)) return e;
    }
    return std::nullopt;
  }
  Xvfb& server = shared_server();
  Peer peer{server.display()};
  X11Platform p{{}, options_for(server)};
};

TEST_F(X11Preview, FillsTheParentFollowsItsSizeAndEndsWithIt) {
  uint64_t parent = peer.make_window(30, 40, 152, 112);
  auto info = p.create_preview_window(parent);
  ASSERT_TRUE(info);
  EXPECT_EQ(info.width, 152);
  EXPECT_EQ(info.height, 112);
  ASSERT_EQ(peer.children(parent), std::vector<uint64_t>{p.window_id()});
  auto g = peer.geometry(p.window_id());
  ASSERT_TRUE(g);
  EXPECT_TRUE(g->mapped);
  EXPECT_EQ(g->x, 0);
  EXPECT_EQ(g->y, 0);
  EXPECT_EQ(g->width, 152);
  EXPECT_EQ(g->height, 112);

  Surface picture = noise_surface(152, 112, 9);
  present_rows(p, picture, 0, 112);
  p.sync();
  auto shown = peer.read_pixels(parent, 0, 0, 152, 112);
  ASSERT_TRUE(shown);
  EXPECT_EQ(std::vector<uint32_t>(shown->data(), shown->data() + 152 * 112),
            std::vector<uint32_t>(picture.data(), picture.data() + 152 * 112));

  peer.resize(parent, 200, 150);
  auto e = next_event();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Kind::Resized);
  EXPECT_EQ(e->x, 200);
  EXPECT_EQ(e->y, 150);
  g = peer.geometry(p.window_id());
  EXPECT_EQ(g->width, 200);
  EXPECT_EQ(g->height, 150);

  peer.destroy(parent);
  e = next_event();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, Kind::WindowGone);
  EXPECT_FALSE(p.next_event(100));   // reported once
  present_rows(p, picture, 0, 112);  // harmless now
  p.destroy_window(p.window_id());
  EXPECT_EQ(p.window_id(), 0u);
}

TEST_F(X11Preview, IdsThatAreNotWindowsGiveNothing) {
  uint64_t closed = peer.make_window(0, 0, 10, 10);
  peer.destroy(closed);
  // An input-only window cannot hold a window that shows pixels.
  uint64_t input_only = peer.make_input_only_window(0, 0, 10, 10);
  for (uint64_t id :
       {uint64_t{0}, closed, peer.make_pixmap(), input_only, uint64_t{0x1FFFFFF0},
        uint64_t{123456789}, uint64_t{0xFFFFFFFF}, uint64_t{0xFFFFFFFFFFFFull}, ~uint64_t{0}}) {
    EXPECT_FALSE(p.create_preview_window(id)) << id;
    EXPECT_EQ(p.window_id(), 0u);
  }
  // Still connected and able to make a preview afterwards.
  uint64_t parent = peer.make_window(0, 0, 20, 10);
  auto info = p.create_preview_window(parent);
  ASSERT_TRUE(info);
  EXPECT_EQ(info.width, 20);
  EXPECT_EQ(info.height, 10);
  peer.destroy(parent);
}

}  // namespace
}  // namespace vs::testing
