#include <gtest/gtest.h>

#include "support/loaded.h"

#include "saver/relief.h"
#include "saver/slide_show.h"
#include "settings/play_order.h"
#include "startup_harness.h"

namespace vs::testing {
namespace {

Surface gradient(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      s.row(y)[x] = pixel_rgb((x * 255) / w, (y * 255) / h, 255 - (x * 255) / w);
    }
  }
  return s;
}

// The first movement only records; movements that keep one coordinate do
// nothing; the first that changes both ends the saver.
TEST(SaverScreen, MovementEndsOnlyWhenBothCoordinatesChange) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 110));  // still drawing when the last move comes
  r.settings();
  r.p.script(100000, move(10, 10));
  r.p.script(200000, move(80, 10));  // horizontal
  r.p.script(300000, move(10, 90));  // vertical
  r.p.script(400000, move(11, 10));  // back on the first row
  r.p.script(500000, move(30, 40));  // both differ: the end
  r.p.script(600000, key());         // never reached
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_EQ(r.p.scripted_left(), 1u);
  EXPECT_LT(r.p.now_us(), 600000);
}

TEST(SaverScreen, WithoutSwitchMovementNeverEndsButAClickDoes) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 30));
  r.settings();
  int64_t t = 100000;
  for (int i = 0; i < 20; ++i, t += 100000) r.p.script(t, move(i * 7, i * 5 + 3));
  r.p.script(t, click());
  EXPECT_EQ(r.run({}), 0);
  EXPECT_EQ(r.p.scripted_left(), 0u);
  EXPECT_GE(r.p.now_us(), t);
}

TEST(SaverScreen, OnePictureIsRedrawnWithoutReloading) {
  ProgramRun r;
  r.add_picture("only.jpg", gradient(40, 30));
  r.settings();
  r.p.script(6 * kSecond, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_EQ(r.p.loads.size(), 1u);
  EXPECT_GE(r.p.pauses_at.size(), 4u);  // drawn again after every pause
}

TEST(SaverScreen, PicturesFollowThePlayOrderAndCycle) {
  ProgramRun r;
  std::string a = r.add_picture("a.bmp", gradient(20, 10));
  std::string b = r.add_picture("b.gif", gradient(10, 20));
  std::string c = r.add_picture("c.jpg", gradient(15, 15));
  r.settings();
  r.p.script(5500000, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  ASSERT_GE(r.p.loads.size(), 5u);
  std::vector<std::string> want{a, b, c, a, b};
  EXPECT_EQ(std::vector<std::string>(r.p.loads.begin(), r.p.loads.begin() + 5), want);
}

// With subfolders the saver's loop walks the tree over a black screen: the
// pictures then come in path order; a key ends the saver during the walk;
// a tree without pictures is said as a folder without them.
TEST(SaverScreen, SubfoldersAreWalkedByTheLoopWhichAKeyEnds) {
  {
    ProgramRun r;
    std::filesystem::create_directories(TempFolder::from_utf8(r.pics_path("2019")));
    std::string b = r.add_picture("2019" + std::string(1, r.p.path_style().separator) + "b.gif",
                                  gradient(10, 20));
    std::string a = r.add_picture("a.bmp", gradient(20, 10));
    r.settings(0, 0, 0, 1);
    r.p.script(3500000, key());
    EXPECT_EQ(r.run({"/s"}), 0);
    ASSERT_GE(r.p.loads.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(r.p.loads.begin(), r.p.loads.begin() + 3),
              (std::vector<std::string>{b, a, b}));
  }
  // 300 folders of 10 files: a walk of many steps.
  auto many_folders = [](ProgramRun& r) {
    const char sep = r.p.path_style().separator;
    for (int i = 0; i < 300; ++i) {
      const std::string folder = r.pics_path(std::to_string(100 + i));
      std::filesystem::create_directories(TempFolder::from_utf8(folder));
      for (int k = 0; k < 10; ++k)
        std::ofstream(TempFolder::from_utf8(folder + sep + std::to_string(k) + ".jpg"));
    }
    r.settings(0, 0, 0, 1);
    return r.pics_path("100") + sep;
  };
  {
    ProgramRun r;
    many_folders(r);
    r.p.script(0, key());
    EXPECT_EQ(r.run({"/s"}), 0);
    EXPECT_LT(r.p.folders_listed, 100);
    EXPECT_LE(r.p.loads.size(), 1u);  // at most the first, begun during the walk
    EXPECT_TRUE(r.p.message_boxes.empty());
  }
  {
    // The first picture in path order is loaded while the walk goes on;
    // the show then goes on after it.
    ProgramRun r;
    const std::string first = many_folders(r);
    r.p.script(3500000, key());
    EXPECT_EQ(r.run({"/s"}), 0);
    EXPECT_LT(r.p.folders_listed_at_first_load, 100);
    ASSERT_GE(r.p.loads.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(r.p.loads.begin(), r.p.loads.begin() + 3),
              (std::vector<std::string>{first + "0.jpg", first + "1.jpg", first + "2.jpg"}));
  }
  {
    ProgramRun r;
    std::filesystem::create_directories(TempFolder::from_utf8(r.pics_path("empty")));
    r.settings(0, 0, 0, 1);
    EXPECT_EQ(r.run({"/s"}), 0);
    ASSERT_EQ(r.p.message_boxes.size(), 1u);
    EXPECT_EQ(r.p.message_boxes[0].text, "画像ﾌｧｲﾙを指定して下さい ！");
  }
}

// What ends up on the screen is exactly the relief of the fitted picture.
TEST(SaverScreen, TheFinishedDrawingIsOnScreen) {
  for (int16_t way : {0, 1}) {
    ProgramRun r;
    r.p.set_env("VARNOSCAPE_PACE", "0");
    std::string path = r.add_picture("a.bmp", gradient(100, 70));
    r.settings(1, way);
    Surface shown;
    r.p.on_poll = [&] {
      if (shown.empty() && !r.p.pauses_at.empty()) shown = r.p.frame;
    };
    r.p.script(1500000, key());
    EXPECT_EQ(r.run({"/s"}), 0);

    Loaded m;
    m.settings.picture_size = 1;
    m.settings.drawing_method = way;
    m.catalogue.count = 1;
    m.catalogue.files = {"", path};
    SlideShow f;
    f.screen_width = 160;
    f.screen_height = 120;
    f.play_order = {0, 1};
    struct : RandomSource {
      void reseed_from_clock() override {}
      double next_unit() override { return 0; }
    } rng;
    next_picture(
        f, m.settings, m.catalogue,
        [&](const std::string& file, const PictureView& view) {
          return r.p.load_picture(file, view);
        },
        rng);
    Surface display(160, 120);
    ReliefDrawing(f.fitted, display, way).draw_rows(f.fitted.height());
    ASSERT_FALSE(shown.empty());
    int differing = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) differing += shown.at(x, y) != display.at(x, y);
    }
    EXPECT_EQ(differing, 0) << "way " << way;
  }
}

// About 60 picture rows a second by default, as fast as possible with the
// pace set to 0.
TEST(SaverScreen, DrawingKeepsItsPace) {
  for (const char* pace : {"", "0", "120"}) {
    ProgramRun r;
    if (*pace) r.p.set_env("VARNOSCAPE_PACE", pace);
    r.add_picture("tall.bmp", gradient(50, 120));
    r.settings();
    r.p.script(20 * kSecond, key());
    r.run({"/s"});
    ASSERT_FALSE(r.p.pauses_at.empty());
    double first_drawing_s = r.p.pauses_at[0] / 1e6;
    if (std::string(pace) == "0") {
      EXPECT_LT(first_drawing_s, 0.01);
    } else {
      double rows_per_second = *pace ? 120 : 60;
      EXPECT_NEAR(first_drawing_s, 119 / rows_per_second, 0.05) << pace;
      // About one present per row, never one per pixel.
      EXPECT_LT(r.p.presents, 4 * 120 * static_cast<int>(r.p.pauses_at.size()) + 10);
    }
  }
}

// A key in the middle of a drawing ends the program at once, with the
// drawing unfinished.
TEST(SaverScreen, InputEndsTheDrawingAtOnce) {
  ProgramRun r;
  r.add_picture("tall.bmp", gradient(50, 120));
  r.settings();
  r.p.script(1 * kSecond, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_TRUE(r.p.pauses_at.empty());
  EXPECT_GE(r.p.now_us(), 1 * kSecond);
  EXPECT_LT(r.p.now_us(), 1 * kSecond + 20000);
}

// Input during the one-second pause ends the saver at once; without input
// the pause still lasts its second.
TEST(SaverScreen, InputDuringThePauseIsAnsweredAtOnce) {
  ProgramRun r;
  r.p.set_env("VARNOSCAPE_PACE", "0");
  r.add_picture("a.bmp", gradient(40, 30));
  r.add_picture("b.bmp", gradient(30, 40));
  r.settings();
  r.p.script(1300000, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  ASSERT_EQ(r.p.pauses_at.size(), 2u);
  EXPECT_EQ(r.p.pauses_at[1] - r.p.pauses_at[0], 1 * kSecond);
  EXPECT_EQ(r.p.now_us(), 1300000);
}

TEST(SaverScreen, CursorCounterFollowsStartAndEnd) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 30));
  r.settings();
  int counter_while_running = 99;
  r.p.on_poll = [&] { counter_while_running = r.p.cursor_counter; };
  r.p.script(500000, click());
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_EQ(counter_while_running, -1);
  EXPECT_EQ(r.p.cursor_counter, 0);
}

// A key during a load that does not stop is not kept waiting: the end
// procedure runs (the pointer comes back) and the program ends at once with
// status 0, through the platform's immediate end.
TEST(SaverScreen, AKeyDuringALoadThatDoesNotStopEndsTheProgramAtOnce) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 30));
  r.settings();
  r.p.load_ms = 1000;
  r.p.script(0, key());
  try {
    r.run({"/s"});
    ADD_FAILURE() << "the program waited for the load to finish";
  } catch (const RunPlatform::EndedNow& e) {
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.loads_ended, 0) << "the program waited for the load";
  }
  EXPECT_EQ(r.p.cursor_counter, 0);
}

// On the older Windows family the saver asks for the password first, with
// the pointer shown; a refusal goes back to the saver with the pointer
// hidden, and the next movement of both coordinates asks again.
TEST(SaverScreen, TheOlderFamilyAsksForThePasswordFirst) {
  ProgramRun r;
  r.p.nt_family = false;
  r.p.password_answers = {false, true};
  r.add_picture("a.bmp", gradient(40, 110));
  r.settings();
  r.p.script(100000, move(10, 10));
  r.p.script(200000, move(30, 40));  // asks: refused
  r.p.script(300000, move(31, 40));  // records a fresh position
  r.p.script(400000, move(50, 60));  // asks again: accepted
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_EQ(r.p.password_checks, (std::vector<int>{0, 0}));
  // After the accepted password the end shows the cursor with the counter's
  // own value, 0, which hides it again: the old family's way.
  EXPECT_EQ(r.p.cursor_counter, -1);
  EXPECT_FALSE(r.p.saver_window);
  r.p.set_arguments({"/a", "1234"});
  run_program(r.p);
  EXPECT_EQ(r.p.password_changes, (std::vector<ForeignWindow>{1234}));
}

TEST(SaverScreen, DestroyedWindowEndsTheProgram) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 30));
  r.settings();
  r.p.script(500000, event(Event::Kind::WindowGone));
  r.p.script(100 * kSecond, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_EQ(r.p.scripted_left(), 1u);
}

TEST(SaverScreen, UnreadablePicturesKeepTheSaverRunning) {
  ProgramRun r;
  r.add_picture("a.bmp", gradient(40, 30));
  std::string bad = r.pics_path("b.jpg");
  std::ofstream(bad) << "not a picture";
  r.settings();
  r.p.script(5 * kSecond, key());
  EXPECT_EQ(r.run({"/s"}), 0);
  EXPECT_GE(r.p.loads.size(), 3u);
  EXPECT_EQ(r.p.scripted_left(), 0u);
}

}  // namespace
}  // namespace vs::testing
