#include <gtest/gtest.h>

#include "x11/x11_test_support.h"

namespace vs::testing {
namespace {

TEST(X11Connection, WithoutADisplayTheWindowCallsFailQuietly) {
  X11Platform::Options o;
  o.display = ":65001";  // no server there
  X11Platform p({}, o);
  EXPECT_FALSE(p.connected());
  ScreenInfo s = p.screen();
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  EXPECT_FALSE(p.window_exists("Varnoscape_Main"));
  EXPECT_FALSE(p.create_saver_window("Varnoscape_Main"));
  EXPECT_FALSE(p.create_preview_window(1234));
  p.show_window(p.window_id());
  present_rows(p, Surface(4, 4), 0, 4);
  EXPECT_FALSE(p.next_event(0).has_value());
  EXPECT_EQ(p.show_cursor(false), -1);
  EXPECT_EQ(p.show_cursor(true), 0);
  ::testing::internal::CaptureStderr();
  p.message_box(0, "画像ﾌｧｲﾙを指定して下さい ！", "Varnoscape (Saver Screen)",
                MessageIcon::Warning);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "varnoscape: Varnoscape (Saver Screen): 画像ﾌｧｲﾙを指定して下さい ！\n");
  // Still a working POSIX platform.
  EXPECT_GT(p.now_us(), 0);
}

TEST(X11Connection, ScreenIsTheDefaultScreenInPixelsAt15Twips) {
  Xvfb& server = shared_server();
  ASSERT_TRUE(server.running()) << server.error();
  X11Platform p({}, options_for(server));
  ASSERT_TRUE(p.connected());
  ScreenInfo s = p.screen();
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.twips_per_pixel_x, 15);
  EXPECT_EQ(s.twips_per_pixel_y, 15);
}

TEST(X11ConnectionDeathTest, ALostServerEndsTheProcessWithStatus1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Xvfb server;
        if (!server.running()) std::exit(3);
        X11Platform p({}, options_for(server));
        if (!p.create_saver_window("Varnoscape_Main")) std::exit(4);
        p.show_window(p.window_id());
        server.kill_now();
        for (int i = 0; i < 100; ++i) p.next_event(20);
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace vs::testing
