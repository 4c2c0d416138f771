#include "saver/relief.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "saver/saver_fakes.h"

namespace vs {
namespace {

using testing::CountingHook;

constexpr uint32_t kWhite = 0xFFFFFF;

struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};

class ReliefTest : public ::testing::Test {
 protected:
  // Draws `master` on a Display of the given size with the given method.
  void draw(Surface master, int dw, int dh, int16_t way) {
    f.Display = Surface(dw, dh);
    f.Master = std::move(master);
    m.Set_Way = way;
    Draw_Relief(f, m, hook);
  }
  std::vector<Point> lit() const {
    std::vector<Point> out;
    for (int y = 0; y < f.Display.height(); ++y) {
      for (int x = 0; x < f.Display.width(); ++x) {
        if (f.Display.at(x, y) != 0) out.push_back({x, y});
      }
    }
    return out;
  }
  // The height a colour is lifted by: a 1 x 1 picture on a 3 x 101 screen
  // sits at (1, 50) before lifting.
  int height_of(uint32_t r, uint32_t g, uint32_t b) {
    draw(Surface(1, 1, pixel_rgb(r, g, b)), 3, 101, 0);
    std::vector<Point> points = lit();
    if (points.size() != 1 || points[0].x != 1) return -1;
    return 50 - points[0].y;
  }

  SaverForm f;
  Varnoscape_B m;
  CountingHook hook;
};

TEST(ReliefHelpers, MaxAndMinOfTwo) {
  EXPECT_EQ(Max_Of(3, -7), 3);
  EXPECT_EQ(Max_Of(-7, 3), 3);
  EXPECT_EQ(Min_Of(3, -7), -7);
  EXPECT_EQ(Min_Of(5, 5), 5);
}

TEST(ReliefHelpers, LightnessIsHlsLightnessPlusAHalf) {
  Varnoscape_B m;
  auto lightness = [&m](int16_t r, int16_t g, int16_t b) {
    m.Col_R = r, m.Col_G = g, m.Col_B = b;
    Get_Lightness(m);
    return m.Lightness;
  };
  EXPECT_DOUBLE_EQ(lightness(255, 255, 255), 240.5);
  EXPECT_DOUBLE_EQ(lightness(0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(lightness(255, 0, 0), 120.5);
  EXPECT_DOUBLE_EQ(lightness(0, 0, 255), 120.5);
  EXPECT_DOUBLE_EQ(lightness(68, 0, 0), 32.5);
  EXPECT_DOUBLE_EQ(lightness(10, 200, 50), lightness(200, 50, 10));
}

TEST(ReliefHelpers, PixelReadCopiesEveryPixelAndFailsOnAnEmptyPicture) {
  Surface pic = testing::position_picture(7, 5);
  Surface grid(7, 5);
  EXPECT_FALSE(Get_Pixels(pic, grid));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(grid.at(x, y), pic.at(x, y));
  }
  Surface untouched(2, 2, 9);
  EXPECT_TRUE(Get_Pixels(Surface(), untouched));
  EXPECT_EQ(untouched.at(1, 1), 9u);
}

TEST_F(ReliefTest, HeightsGrowWithLightnessAndHalvesGoToEven) {
  EXPECT_EQ(height_of(255, 255, 255), 48);
  EXPECT_EQ(height_of(255, 0, 0), 24);
  EXPECT_EQ(height_of(0, 255, 0), 24);
  EXPECT_EQ(height_of(0, 0, 255), 24);
  EXPECT_EQ(height_of(4, 0, 0), 0);  // s = 4, the last of the black band
  EXPECT_EQ(height_of(5, 0, 0), 1);
  EXPECT_EQ(height_of(14, 0, 0), 1);
  EXPECT_EQ(height_of(15, 0, 0), 2);
  EXPECT_EQ(height_of(25, 0, 0), 2);
  EXPECT_EQ(height_of(68, 0, 0), 6);   // 6.5 exactly
  EXPECT_EQ(height_of(8, 60, 30), 6);  // brightest plus darkest counts, not the hue
  EXPECT_EQ(height_of(153, 0, 0), 14);
  EXPECT_EQ(height_of(238, 0, 0), 22);
  EXPECT_EQ(height_of(255, 255, 68), 30);   // s = 323
  EXPECT_EQ(height_of(255, 255, 153), 38);  // s = 408
  EXPECT_EQ(height_of(255, 255, 238), 46);  // s = 493
  EXPECT_EQ(height_of(255, 255, 249), 48);  // s = 504
  EXPECT_EQ(height_of(255, 255, 248), 47);  // s = 503
}

TEST_F(ReliefTest, PictureIsCentredAndLiftedUpwards) {
  Surface master(800, 600);
  master.set_pixel(0, 0, kWhite);
  master.set_pixel(10, 20, pixel_rgb(3, 1, 0));  // lifted by 0, like black
  draw(std::move(master), 1024, 768, 0);
  EXPECT_EQ(f.Ofs_X, 112);
  EXPECT_EQ(f.Ofs_Y, 84);
  EXPECT_EQ(lit(), (std::vector<Point>{{112, 36}, {122, 104}}));
  EXPECT_EQ(f.Display.at(112, 36), kWhite);
}

TEST_F(ReliefTest, BlackPixelSitsAtItsOwnRow) {
  // In line mode the segment to a white neighbour starts at the black point
  // (10, 20) and rises from there towards the white one at (123, 56).
  Surface master(800, 600);
  master.set_pixel(11, 20, kWhite);
  draw(std::move(master), 1024, 768, 1);
  EXPECT_EQ(f.Display.at(122, 104), kWhite);
  EXPECT_EQ(f.Display.at(122, 95), kWhite);
  EXPECT_EQ(f.Display.at(122, 105), 0u);
  EXPECT_EQ(f.Display.at(121, 104), 0u);
}

TEST_F(ReliefTest, PointsLiftedAboveTheTopAreClipped) {
  Surface master(1024, 768);
  master.set_pixel(5, 10, kWhite);  // would land at row -38
  master.set_pixel(6, 60, kWhite);  // lands at row 12
  master.set_pixel(7, 100, pixel_rgb(255, 0, 0));
  draw(master, 1024, 768, 0);
  EXPECT_EQ(lit(), (std::vector<Point>{{6, 12}, {7, 76}}));
  draw(master, 1024, 768, 1);
  // The segment up to (6, 12) stays where no later row covers it.
  EXPECT_EQ(f.Display.at(5, 50), kWhite);
  // The segment up to (5, -38) shows below the edge only.
  EXPECT_EQ(f.Display.at(4, 5), kWhite);
  EXPECT_EQ(f.Display.at(4, 0), kWhite);
}

TEST_F(ReliefTest, HalfPixelOffsetsMakeColumnsCollideInDotMode) {
  // 1024 - 801 is odd: Ofs_X = 111.5, each pixel lifted by 24.
  Surface master(801, 1);
  for (int x = 0; x < 801; ++x) master.set_pixel(x, 0, pixel_rgb(255, x & 0xFF, 0));
  draw(std::move(master), 1024, 768, 0);
  EXPECT_EQ(f.Ofs_X, 111.5);
  const int y = 360;  // 383.5 - 24 = 359.5 rounds to 360
  EXPECT_EQ(f.Display.at(112, y), pixel_rgb(255, 1, 0)) << "112.5 drawn after 111.5";
  EXPECT_EQ(f.Display.at(114, y), pixel_rgb(255, 3, 0));
  int filled = 0;
  for (int x = 0; x < 1024; ++x) {
    if (f.Display.at(x, y) == 0) continue;
    ++filled;
    EXPECT_EQ(x % 2, 0) << x;
    EXPECT_GE(x, 112);
    EXPECT_LE(x, 912);
  }
  EXPECT_EQ(filled, 401);
  EXPECT_EQ(lit().size(), 401u);
}

TEST_F(ReliefTest, OneColourPictureIsALiftedRectangle) {
  for (int16_t way : {0, 1}) {
    draw(Surface(50, 40, pixel_rgb(255, 0, 0)), 100, 100, way);  // offsets (25, 30), lift 24
    std::vector<Point> points = lit();
    ASSERT_EQ(points.size(), 50u * 40u) << "way " << way;
    EXPECT_EQ(points.front(), (Point{25, 6}));
    EXPECT_EQ(points.back(), (Point{74, 45}));
    for (const Point& pt : points) EXPECT_EQ(f.Display.at(pt.x, pt.y), pixel_rgb(255, 0, 0));
  }
}

TEST_F(ReliefTest, LowerRowsCoverHigherOnes) {
  Surface master(1, 2);
  master.set_pixel(0, 0, pixel_rgb(4, 0, 0));   // height 0 at row 0
  master.set_pixel(0, 1, pixel_rgb(10, 0, 0));  // height 1 at row 1: the same point
  draw(std::move(master), 1, 4, 0);
  EXPECT_EQ(lit(), (std::vector<Point>{{0, 1}}));
  EXPECT_EQ(f.Display.at(0, 1), pixel_rgb(10, 0, 0));
}

TEST_F(ReliefTest, LineModeJoinsEachPointToThePreviousInTheLaterColour) {
  Surface master(2, 1);
  master.set_pixel(0, 0, pixel_rgb(255, 0, 0));  // height 24
  master.set_pixel(1, 0, kWhite);                // height 48
  draw(std::move(master), 4, 101, 1);            // offsets (1, 50)
  std::vector<Point> points = lit();
  EXPECT_EQ(points.size(), 25u);  // from (1, 26) to (2, 2), both ends
  for (const Point& pt : points) EXPECT_EQ(f.Display.at(pt.x, pt.y), kWhite);
  EXPECT_EQ(f.Display.at(1, 26), kWhite);
  EXPECT_EQ(f.Display.at(2, 2), kWhite);
}

TEST_F(ReliefTest, LineModeFirstPointOfARowIsAZeroLengthSegment) {
  draw(Surface(1, 3, kWhite), 3, 101, 1);  // offsets (1, 49)
  EXPECT_EQ(lit(), (std::vector<Point>{{1, 1}, {1, 2}, {1, 3}}));
}

TEST_F(ReliefTest, LineModeRowsStartAfresh) {
  // Row 0 rises from (1, 50) to (2, 2); row 1 lies flat at row 50. A segment
  // from the end of row 0 to the start of row 1 would paint over the white.
  Surface master(2, 2);
  master.set_pixel(1, 0, kWhite);
  master.set_pixel(0, 1, pixel_rgb(10, 0, 0));
  master.set_pixel(1, 1, pixel_rgb(10, 0, 0));
  draw(std::move(master), 4, 102, 1);  // offsets (1, 50)
  EXPECT_EQ(f.Display.at(2, 10), kWhite);
  EXPECT_EQ(f.Display.at(1, 40), kWhite);
  EXPECT_EQ(f.Display.at(1, 50), pixel_rgb(10, 0, 0));
  EXPECT_EQ(f.Display.at(2, 50), pixel_rgb(10, 0, 0));
}

TEST_F(ReliefTest, LineModeWithZeroOffsetSkipsTheFirstSegment) {
  // Heights 48, 24, 0, 48 on a 101-row screen: points (0, 2), (1, 26),
  // (2, 50), (3, 2) plus the offset.
  Surface master(4, 1);
  master.set_pixel(0, 0, kWhite);
  master.set_pixel(1, 0, pixel_rgb(255, 0, 0));
  master.set_pixel(2, 0, pixel_rgb(4, 0, 0));
  master.set_pixel(3, 0, kWhite);

  draw(master, 4, 101, 1);  // Ofs_X = 0: the first point counts as none
  EXPECT_EQ(f.Display.at(0, 2), kWhite);
  EXPECT_EQ(f.Display.at(1, 26), pixel_rgb(4, 0, 0));
  for (int y = 3; y < 26; ++y) {
    EXPECT_EQ(f.Display.at(0, y), 0u) << y;
    EXPECT_EQ(f.Display.at(1, y), 0u) << y;
  }

  draw(master, 6, 101, 1);  // Ofs_X = 1: the segment is there
  EXPECT_EQ(f.Display.at(1, 8), pixel_rgb(255, 0, 0));
  EXPECT_EQ(f.Display.at(2, 20), pixel_rgb(255, 0, 0));
}

TEST_F(ReliefTest, DisplayIsClearedFirst) {
  f.Display = Surface(20, 60, kWhite);
  f.Master = Surface(2, 2, pixel_rgb(4, 0, 0));
  Draw_Relief(f, m, hook);
  EXPECT_EQ(lit().size(), 4u);
}

TEST_F(ReliefTest, FailedPixelReadLeavesTheScreenBlackButWalksEveryPixel) {
  for (int16_t way : {0, 1}) {
    f.Display = Surface(100, 100, kWhite);
    f.Master = Surface(30, 20, kWhite);
    m.Set_Way = way;
    m.Pixel_Grid = Surface(30, 20, kWhite);  // a stale grid from an earlier drawing
    hook.calls = 0;
    draw_relief_with(f, m, hook, [](const Surface&, Surface&) { return true; });
    EXPECT_TRUE(lit().empty());
    EXPECT_EQ(hook.calls, 600);
  }
}

TEST_F(ReliefTest, HookRunsAfterEveryPixel) {
  for (int16_t way : {0, 1, 2, -1}) {
    hook.calls = 0;
    draw(Surface(13, 7, kWhite), 40, 80, way);
    EXPECT_EQ(hook.calls, 13 * 7) << "way " << way;
  }
}

TEST_F(ReliefTest, HookSeesThePositionOfTheNextPixel) {
  class Recorder : public EventHook {
   public:
    explicit Recorder(const SaverForm& f) : f_(f) {}
    bool DoEvents() override {
      seen.push_back({f_.Pos_X, f_.Pos_Y});
      return true;
    }
    std::vector<Point> seen;

   private:
    const SaverForm& f_;
  } recorder(f);
  f.Display = Surface(10, 10);
  f.Master = Surface(3, 2, kWhite);
  Draw_Relief(f, m, recorder);
  EXPECT_EQ(recorder.seen, (std::vector<Point>{{1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}}));
}

TEST_F(ReliefTest, OtherDrawingMethodsDrawNothing) {
  for (int16_t way : {2, -1, 300}) {
    draw(Surface(13, 7, kWhite), 40, 80, way);
    EXPECT_TRUE(lit().empty()) << "way " << way;
  }
}

TEST_F(ReliefTest, DrawingStopsWhenTheHookSaysTheProgramHasEnded) {
  for (int16_t way : {0, 1}) {
    CountingHook stopping(15);
    f.Display = Surface(30, 120);
    f.Master = Surface(10, 10, kWhite);
    m.Set_Way = way;
    Draw_Relief(f, m, stopping);
    EXPECT_EQ(stopping.calls, 15);
    // Row 0 and the first five pixels of row 1: offsets (10, 55), lift 48.
    std::vector<Point> points = lit();
    ASSERT_EQ(points.size(), 15u);
    EXPECT_EQ(points.front(), (Point{10, 7}));
    EXPECT_EQ(points.back(), (Point{14, 8}));
  }
}

TEST_F(ReliefTest, EmptyMasterDrawsNothingButStillWalks) {
  struct Case {
    Surface master;
    int64_t calls;  // the walk's body runs at least once, once a row without columns
  };
  for (const Case& c : {Case{Surface(), 1}, Case{Surface(0, 5), 5}, Case{Surface(5, 0), 1}}) {
    f.Display = Surface(10, 10, kWhite);
    f.Master = c.master;
    hook.calls = 0;
    Draw_Relief(f, m, hook);
    EXPECT_TRUE(lit().empty());
    EXPECT_EQ(hook.calls, c.calls);
  }
}

TEST_F(ReliefTest, DrawnRowsAreMarkedForPresenting) {
  f.Display = Surface(100, 100);
  f.Master = Surface(10, 10, kWhite);  // offsets (45, 45), lifted to rows -3..6
  (void)f.Display.take_dirty();
  class Taker : public EventHook {
   public:
    explicit Taker(Surface& s) : s_(s) {}
    bool DoEvents() override {
      RowRange r = s_.take_dirty();
      for (int y = r.top; y < r.bottom; ++y) presented.push_back(y);
      return true;
    }
    std::vector<int> presented;

   private:
    Surface& s_;
  } taker(f.Display);
  Draw_Relief(f, m, taker);
  // Every row holding a drawn pixel was handed over after it was drawn.
  for (int y = 0; y < 7; ++y) {
    EXPECT_NE(std::find(taker.presented.begin(), taker.presented.end(), y), taker.presented.end())
        << y;
  }
}

}  // namespace
}  // namespace vs
