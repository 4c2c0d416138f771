#include "saver/slide_show.h"

#include <gtest/gtest.h>

#include "support/loaded.h"

#include "saver/saver_fakes.h"

namespace vs {
namespace {

using testing::FixedRandom;
using testing::is_position_pixel;
using testing::PicturePlatform;
using testing::pixel_column;
using testing::pixel_row;
using testing::position_picture;

class SlideShowTest : public ::testing::Test {
 protected:
  // A catalogue of the given pictures, "/p/1" ... "/p/n", in play order.
  void catalogue(const std::vector<Surface>& pics) {
    m.catalogue.count = static_cast<int16_t>(pics.size());
    m.catalogue.files.assign(1, "");
    f.play_order.assign(1, 0);
    for (size_t i = 0; i < pics.size(); ++i) {
      std::string path = "/p/" + std::to_string(i + 1);
      m.catalogue.files.push_back(path);
      f.play_order.push_back(static_cast<int16_t>(i + 1));
      p.pictures[path] = pics[i];
    }
  }
  // One picture of the given size, fitted once.
  void fit_one(int w, int h, int16_t set_size) {
    m.settings.picture_size = set_size;
    catalogue({position_picture(w, h)});
    step();
  }
  uint32_t master(int x, int y) const { return f.fitted.at(x, y); }
  bool black_rows(int top, int bottom) const {
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < f.fitted.width(); ++x) {
        if (master(x, y) != 0) return false;
      }
    }
    return true;
  }
  bool black_columns(int left, int right) const {
    for (int y = 0; y < f.fitted.height(); ++y) {
      for (int x = left; x < right; ++x) {
        if (master(x, y) != 0) return false;
      }
    }
    return true;
  }
  // True when every pixel of the rectangle is a picture pixel, unblended.
  bool picture_in(int left, int top, int right, int bottom, int pw, int ph) const {
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        uint32_t v = master(x, y);
        if (!is_position_pixel(v) || pixel_column(v) >= pw || pixel_row(v) >= ph) return false;
      }
    }
    return true;
  }

  // One step of the show, the picture loaded at once.
  void step() {
    next_picture(
        f, m.settings, m.catalogue,
        [this](const std::string& path, const PictureView& view) {
          return p.load_picture(path, view);
        },
        rng);
  }

  SlideShow f = [] {
    SlideShow show;
    show.screen_width = 1024;
    show.screen_height = 768;
    return show;
  }();
  testing::Loaded m;
  PicturePlatform p;
  FixedRandom rng;
};

TEST_F(SlideShowTest, FullScreenLandscapeNarrowerThanScreenLosesTopAndBottom) {
  fit_one(800, 700, 1);  // scaled to 1024 x 896 at (0, -64)
  ASSERT_EQ(f.fitted.width(), 1024);
  ASSERT_EQ(f.fitted.height(), 768);
  EXPECT_TRUE(picture_in(0, 0, 1024, 768, 800, 700));
  EXPECT_EQ(pixel_column(master(0, 0)), 0);
  EXPECT_EQ(pixel_column(master(1023, 0)), 799);
  // Screen row 0 is scaled row 64, screen row 767 scaled row 831 of 896.
  EXPECT_NEAR(pixel_row(master(0, 0)), 64 * 700 / 896, 1);
  EXPECT_NEAR(pixel_row(master(0, 767)), 831 * 700 / 896, 1);
  // Equal losses at both ends.
  EXPECT_NEAR(pixel_row(master(0, 0)), 699 - pixel_row(master(0, 767)), 1);
}

TEST_F(SlideShowTest, FullScreenRoundsTheScaledHeightAndHalvesTheRestDown) {
  fit_one(1000, 700, 1);  // 716.8 rows high at row 51 \ 2 = 25
  EXPECT_TRUE(black_rows(0, 25));
  EXPECT_TRUE(picture_in(0, 25, 1024, 742, 1000, 700));
  EXPECT_TRUE(black_rows(742, 768));
  EXPECT_EQ(pixel_row(master(0, 25)), 0);
  EXPECT_EQ(pixel_row(master(0, 741)), 699);
  EXPECT_EQ(pixel_column(master(1023, 400)), 999);
}

TEST_F(SlideShowTest, FullScreenPortraitFillsTheHeightWithBandsBeside) {
  fit_one(600, 800, 1);  // 576 x 768 at (224, 0)
  EXPECT_TRUE(black_columns(0, 224));
  EXPECT_TRUE(picture_in(224, 0, 800, 768, 600, 800));
  EXPECT_TRUE(black_columns(800, 1024));
  EXPECT_EQ(pixel_column(master(224, 0)), 0);
  EXPECT_EQ(pixel_column(master(799, 0)), 599);
  EXPECT_EQ(pixel_row(master(300, 767)), 799);
}

TEST_F(SlideShowTest, FullScreenSquareFillsTheHeight) {
  fit_one(500, 500, 1);  // 768 x 768 at (128, 0)
  EXPECT_TRUE(black_columns(0, 128));
  EXPECT_TRUE(picture_in(128, 0, 896, 768, 500, 500));
  EXPECT_TRUE(black_columns(896, 1024));
}

TEST_F(SlideShowTest, FullScreenAnySizeValueOtherThanZero) {
  fit_one(500, 500, -3);
  EXPECT_EQ(f.fitted.width(), 1024);
  EXPECT_TRUE(picture_in(128, 0, 896, 768, 500, 500));
}

// Own size: the picture itself within the 1024x768 screen, its middle
// columns and rows beyond it.
TEST_F(SlideShowTest, OwnSizeKeepsThePictureOrCutsItToTheCentre) {
  struct Case {
    int width, height;
    int fitted_width, fitted_height;
    int from_x, from_y;  // the picture pixel at the fitted corner
  };
  for (const Case& c : {
           Case{300, 200, 300, 200, 0, 0}, Case{1024, 768, 1024, 768, 0, 0},
           Case{1100, 500, 1024, 500, 38, 0},
           Case{1025, 900, 1024, 768, 0, 66},  // ((1025 - 1024) \ 2, (900 - 768) \ 2)
           Case{500, 1001, 500, 768, 0, 116},  // 233 \ 2
       }) {
    fit_one(c.width, c.height, 0);
    ASSERT_EQ(f.fitted.width(), c.fitted_width) << c.width << "x" << c.height;
    ASSERT_EQ(f.fitted.height(), c.fitted_height) << c.width << "x" << c.height;
    EXPECT_EQ(master(0, 0), testing::position_pixel(c.from_x, c.from_y));
    EXPECT_EQ(
        master(c.fitted_width - 1, c.fitted_height - 1),
        testing::position_pixel(c.from_x + c.fitted_width - 1, c.from_y + c.fitted_height - 1));
  }
}

TEST_F(SlideShowTest, ThreePicturesCycleAndTheOrderIsRebuiltAfterTheLast) {
  m.settings.picture_order = 1;  // random: the rebuild draws from the generator
  catalogue({Surface(10, 10, 1), Surface(10, 10, 2), Surface(10, 10, 3)});
  for (int call = 1; call <= 3; ++call) {
    step();
    EXPECT_EQ(p.asked.back(), "/p/" + std::to_string(call));
    EXPECT_EQ(f.fitted.at(0, 0), static_cast<uint32_t>(call));
    EXPECT_EQ(f.position, call == 3 ? 0 : call);
    EXPECT_EQ(rng.reseeds, call == 3 ? 3 : 0) << "rebuilt only after the last position";
  }
  // The generator's answer 0.999 always takes the last free picture.
  EXPECT_EQ(f.play_order, (std::vector<int16_t>{0, 3, 2, 1}));
  step();
  EXPECT_EQ(p.asked.back(), "/p/3");
  EXPECT_EQ(f.position, 1);
}

TEST_F(SlideShowTest, OnePictureIsNeverReordered) {
  m.settings.picture_order = 1;
  catalogue({Surface(10, 10, 7)});
  step();
  EXPECT_EQ(f.position, 0);
  EXPECT_EQ(rng.reseeds, 0);
  EXPECT_EQ(f.play_order, (std::vector<int16_t>{0, 1}));
  EXPECT_EQ(p.asked, (std::vector<std::string>{"/p/1"}));
  EXPECT_EQ(f.fitted.at(9, 9), 7u);
}

TEST_F(SlideShowTest, FailedLoadFitsThePreviousPictureAgain) {
  m.settings.picture_size = 1;
  catalogue({position_picture(400, 300), Surface(10, 10)});
  p.pictures.erase("/p/2");
  step();
  Surface first = f.fitted;
  step();
  EXPECT_EQ(p.asked.back(), "/p/2");
  EXPECT_EQ(f.loaded.width(), 400);
  EXPECT_EQ(f.position, 0) << "the position advances all the same";
  ASSERT_EQ(f.fitted.width(), first.width());
  EXPECT_TRUE(std::equal(first.data(), first.data() + 1024 * 768, f.fitted.data()));
}

TEST_F(SlideShowTest, FailedLoadOfASmallPictureLeavesTheFittedPictureBlack) {
  catalogue({Surface(300, 200, 0x123456), Surface(10, 10)});
  p.pictures.erase("/p/2");
  step();
  ASSERT_EQ(f.fitted.at(5, 5), 0x123456u);
  step();
  EXPECT_EQ(f.loaded.at(5, 5), 0x123456u) << "the loaded picture stays the previous one";
  ASSERT_EQ(f.fitted.width(), 300);
  ASSERT_EQ(f.fitted.height(), 200);
  EXPECT_TRUE(black_rows(0, 200));
  // The next picture comes back as normal.
  step();
  EXPECT_EQ(f.fitted.at(5, 5), 0x123456u);
}

TEST_F(SlideShowTest, FailedLoadOfALargePictureCutsThePreviousOneAgain) {
  catalogue({position_picture(1100, 500), Surface(10, 10)});
  p.pictures.erase("/p/2");
  step();
  step();
  ASSERT_EQ(f.fitted.width(), 1024);
  EXPECT_EQ(master(0, 0), testing::position_pixel(38, 0));
}

TEST_F(SlideShowTest, NothingLoadedYetGivesABlackScreenInBothModes) {
  catalogue({Surface(10, 10)});
  p.pictures.clear();
  step();  // own size: the fitted picture keeps its (empty) size
  EXPECT_TRUE(f.fitted.empty());
  m.settings.picture_size =
      1;  // full screen: 0 / 0 is skipped, the fitted picture is the black screen
  step();
  ASSERT_EQ(f.fitted.width(), 1024);
  ASSERT_EQ(f.fitted.height(), 768);
  EXPECT_TRUE(black_rows(0, 768));
}

TEST_F(SlideShowTest, BrokenPlayOrderEntriesAreLoadsThatFail) {
  catalogue({Surface(10, 10, 5), Surface(10, 10, 6)});
  f.play_order[1] = 9;      // no such picture
  f.play_order.pop_back();  // and no slot 2 at all
  step();
  step();
  EXPECT_TRUE(p.asked.empty());
  EXPECT_EQ(f.position, 0);
  EXPECT_EQ(f.play_order, (std::vector<int16_t>{0, 1, 2})) << "rebuilt with a slot per picture";
}

}  // namespace
}  // namespace vs
