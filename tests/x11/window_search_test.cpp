#include <gtest/gtest.h>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

class X11WindowSearch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.running()) << server.error(); }
  Xvfb& server = shared_server();
  Peer peer{server.display()};
  X11Platform p{{}, options_for(server)};
};

TEST_F(X11WindowSearch, FindsEitherTitleByEitherNameInEveryEncoding) {
  const std::string main = "Varnoscape_Main", settings = "Varnoscapeの設定";
  EXPECT_FALSE(p.window_exists(main));
  EXPECT_FALSE(p.window_exists(settings));

  uint64_t latin = peer.make_window(0, 0, 10, 10);
  peer.set_wm_name(latin, main, "STRING");
  EXPECT_TRUE(p.window_exists(main));
  EXPECT_FALSE(p.window_exists(settings));
  // Exact titles only.
  EXPECT_FALSE(p.window_exists("Varnoscape_Mai"));
  EXPECT_FALSE(p.window_exists("Varnoscape_Main "));
  EXPECT_FALSE(p.window_exists("varnoscape_main"));
  EXPECT_FALSE(p.window_exists(""));
  peer.destroy(latin);
  EXPECT_FALSE(p.window_exists(main));

  for (const char* encoding : {"NET", "UTF8_STRING", "COMPOUND_TEXT"}) {
    SCOPED_TRACE(encoding);
    uint64_t w = peer.make_window(0, 0, 10, 10);
    if (std::string(encoding) == "NET") {
      peer.set_net_wm_name(w, settings);
    } else {
      peer.set_wm_name(w, settings, encoding);
    }
    EXPECT_TRUE(p.window_exists(settings));
    EXPECT_FALSE(p.window_exists("Varnoscapeの"));
    EXPECT_FALSE(p.window_exists(main));
    peer.destroy(w);
    EXPECT_FALSE(p.window_exists(settings));
  }
}

TEST_F(X11WindowSearch, LooksInsideWindowManagerFramesButNoDeeper) {
  uint64_t frame = peer.make_window(0, 0, 50, 50);
  uint64_t client = peer.make_window(0, 0, 40, 40, frame);
  uint64_t inner = peer.make_window(0, 0, 30, 30, client);
  peer.set_net_wm_name(inner, "Varnoscapeの設定");
  EXPECT_FALSE(p.window_exists("Varnoscapeの設定"));
  peer.set_wm_name(client, "Varnoscape_Main", "STRING");
  EXPECT_TRUE(p.window_exists("Varnoscape_Main"));
  peer.destroy(frame);
  EXPECT_FALSE(p.window_exists("Varnoscape_Main"));
}

TEST_F(X11WindowSearch, OurOwnTitlesAreFoundByOthers) {
  ASSERT_TRUE(p.create_saver_window("Varnoscape_Main"));
  X11Platform other({}, options_for(server));
  EXPECT_TRUE(other.window_exists("Varnoscape_Main"));
  RunResult r = run({"xdotool", "search", "--name", "^Varnoscape_Main$"}, server.display());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::to_string(p.window_id()) + "\n");
  EXPECT_EQ(peer.find_by_net_name("Varnoscape_Main"), p.window_id());
  EXPECT_EQ(peer.wm_name(p.window_id()), "Varnoscape_Main");
  p.destroy_window(p.window_id());
  EXPECT_FALSE(other.window_exists("Varnoscape_Main"));

  // A title outside Latin-1 is found by both names too.
  ASSERT_TRUE(p.create_saver_window("Varnoscapeの設定"));
  EXPECT_TRUE(other.window_exists("Varnoscapeの設定"));
  EXPECT_EQ(peer.find_by_net_name("Varnoscapeの設定"), p.window_id());
  EXPECT_EQ(peer.wm_name(p.window_id()), "Varnoscapeの設定");
  r = run({"xdotool", "search", "--name", "Varnoscapeの設定"}, server.display());
  EXPECT_EQ(r.out, std::to_string(p.window_id()) + "\n");
}

}  // namespace
}  // namespace vs::testing
