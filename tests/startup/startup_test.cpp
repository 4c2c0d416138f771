#include <gtest/gtest.h>

#include "startup/command_line.h"
#include "startup_harness.h"

namespace vs::testing {
namespace {

Surface colour_picture(int w, int h, uint32_t pixel) {
  return Surface(w, h, pixel);
}

TEST(CommandLine, ModeLetterIsTheSecondCharacterUpperCased) {
  EXPECT_EQ(mode_letter("/s"), 'S');
  EXPECT_EQ(mode_letter("-s"), 'S');
  EXPECT_EQ(mode_letter("xS"), 'S');
  EXPECT_EQ(mode_letter("/SAVE"), 'S');
  EXPECT_EQ(mode_letter("/c:1234"), 'C');
  EXPECT_EQ(mode_letter("s"), 0);
  EXPECT_EQ(mode_letter(""), 0);
  EXPECT_EQ(mode_letter("ｓs"), 'S');  // a first character of several bytes
  EXPECT_EQ(preview_handle("/p 1234"), 1234);
  EXPECT_EQ(preview_handle("/p:1234"), 1234);
  EXPECT_EQ(preview_handle("/p abc"), 0);
  EXPECT_EQ(preview_handle("/p"), 0);
  EXPECT_EQ(preview_handle("/p 12.5"), 12);
  EXPECT_EQ(preview_handle("/p 99999999999"), 0);
  EXPECT_EQ(password_handle("/a 1234"), 1234);
  EXPECT_EQ(password_handle("/a  77 "), 77);
  EXPECT_EQ(password_handle("/a"), std::nullopt);
  EXPECT_EQ(password_handle("/a abc"), std::nullopt);
}

struct Dispatch {
  std::vector<std::string> args;
  bool saver;          // the saver screen comes up
  bool cursor_hidden;  // while it runs
};

class DispatchTest : public ::testing::TestWithParam<Dispatch> {};

TEST_P(DispatchTest, SelectsTheMode) {
  const Dispatch& d = GetParam();
  ProgramRun r;
  r.add_picture("a.bmp", colour_picture(40, 30, pixel_rgb(200, 100, 50)));
  r.settings();
  r.p.script(3 * kSecond, key());
  EXPECT_EQ(r.run(d.args), 0);
  EXPECT_EQ(!r.p.saver_title.empty(), d.saver);
  EXPECT_EQ(r.p.lowest_cursor, d.cursor_hidden ? -1 : 0);
  EXPECT_EQ(r.p.cursor_counter, 0);  // shown again at the end
  EXPECT_TRUE(r.p.message_boxes.empty());
  if (d.saver) {
    EXPECT_EQ(r.p.saver_title, "Varnoscape_Main");
    EXPECT_FALSE(r.p.saver_window);  // gone at the end
    EXPECT_EQ(r.p.scripted_left(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, DispatchTest,
    ::testing::Values(Dispatch{{"/S"}, true, true}, Dispatch{{"/s"}, true, true},
                      Dispatch{{"-s"}, true, true}, Dispatch{{"/SAVE"}, true, true},
                      Dispatch{{}, true, false}, Dispatch{{"s"}, false, false},
                      Dispatch{{"/c:1234"}, false, false}, Dispatch{{"/c"}, false, false},
                      Dispatch{{"/a", "1234"}, false, false}, Dispatch{{"/a"}, false, false},
                      Dispatch{{"/x"}, false, false}, Dispatch{{"/p", "abc"}, false, false}));

TEST(Startup, ARunningCopyEndsEveryNewStart) {
  for (const char* title : {"Varnoscape_Main", "Varnoscapeの設定"}) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"/s"}, {"/p", "1234"}, {"/c"}, {}}) {
      ProgramRun r;
      r.add_picture("a.bmp", colour_picture(40, 30, pixel_rgb(200, 100, 50)));
      r.settings();
      r.p.add_foreign_window(title);
      r.p.add_preview_parent(1234, 152, 112);
      EXPECT_EQ(r.run(args), 0);
      EXPECT_TRUE(r.p.saver_title.empty()) << title;
      EXPECT_FALSE(r.p.preview_window) << title;
      EXPECT_TRUE(r.p.loads.empty());
      EXPECT_EQ(r.p.lowest_cursor, 0);
    }
  }
}

TEST(Startup, PreviewShowsThePictureInsideItsParentUntilItGoes) {
  ProgramRun r;
  r.p.add_preview_parent(1234, 200, 150);
  // The preview waits for events without end; its first wait is the moment
  // to take its parent away.
  bool gone = false;
  r.p.on_poll = [&] {
    if (!gone) {
      EXPECT_TRUE(r.p.preview_window);
      r.p.destroy_preview_parent(1234);
      gone = true;
    }
  };
  EXPECT_EQ(r.run({"/p", "1234"}), 0);
  EXPECT_TRUE(gone);
  EXPECT_TRUE(r.p.loads.empty());  // no settings, no pictures in this mode
  ASSERT_EQ(r.p.frame.width(), 200);
  ASSERT_EQ(r.p.frame.height(), 150);
  int lit = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) lit += r.p.frame.at(x, y) != 0;
  }
  EXPECT_GT(lit, 200 * 150 / 4);  // the relief covers much of the window
}

TEST(Startup, PreviewOfNoWindowEndsAtOnce) {
  for (std::vector<std::string> args : {std::vector<std::string>{"/p", "0"}, {"/p", "4321"}}) {
    ProgramRun r;
    r.p.add_preview_parent(1234, 152, 112);
    EXPECT_EQ(r.run(args), 0);
    EXPECT_FALSE(r.p.preview_window);
    EXPECT_EQ(r.p.presents, 0);
  }
}

TEST(Startup, EmptyCatalogueShowsTheMessageWithTheCursorShown) {
  ProgramRun r;
  r.settings();  // the folder exists but holds no picture
  EXPECT_EQ(r.run({"/s"}), 0);
  ASSERT_EQ(r.p.message_boxes.size(), 1u);
  const auto& box = r.p.message_boxes[0];
  EXPECT_EQ(box.text, "画像ﾌｧｲﾙを指定して下さい ！");
  EXPECT_EQ(box.title, "Varnoscape (Saver Screen)");
  EXPECT_EQ(box.icon, MessageIcon::Warning);
  EXPECT_EQ(box.cursor_counter, 0);  // hidden at start, shown before the message
  EXPECT_EQ(r.p.lowest_cursor, -1);
  EXPECT_TRUE(r.p.saver_title.empty());
  EXPECT_EQ(r.p.presents, 0);
}

TEST(Startup, EmptyCatalogueWithoutSwitchLeavesTheCursorAlone) {
  ProgramRun r;
  EXPECT_EQ(r.run({}), 0);  // no settings file at all
  ASSERT_EQ(r.p.message_boxes.size(), 1u);
  EXPECT_EQ(r.p.lowest_cursor, 0);
  EXPECT_EQ(r.p.cursor_counter, 0);
}

}  // namespace
}  // namespace vs::testing
