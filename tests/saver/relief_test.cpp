#include "saver/relief.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/numeric.h"

namespace vs {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

struct Point {
  int x, y;
  bool operator==(const Point&) const = default;
};

class ReliefTest : public ::testing::Test {
 protected:
  // Draws `picture` on a display of the given size with the given method,
  // whole.
  void draw(const Surface& picture, int dw, int dh, int16_t method) {
    display = Surface(dw, dh);
    ReliefDrawing drawing(picture, display, method);
    EXPECT_TRUE(drawing.draw_rows(picture.height()));
  }
  std::vector<Point> lit() const {
    std::vector<Point> out;
    for (int y = 0; y < display.height(); ++y) {
      for (int x = 0; x < display.width(); ++x) {
        if (display.at(x, y) != 0) out.push_back({x, y});
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

  Surface display;
};

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
  EXPECT_EQ(lit(), (std::vector<Point>{{112, 36}, {122, 104}}));
  EXPECT_EQ(display.at(112, 36), kWhite);
}

TEST_F(ReliefTest, BlackPixelSitsAtItsOwnRow) {
  // In line mode the segment to a white neighbour starts at the black point
  // (10, 20) and rises from there towards the white one at (123, 56).
  Surface master(800, 600);
  master.set_pixel(11, 20, kWhite);
  draw(std::move(master), 1024, 768, 1);
  EXPECT_EQ(display.at(122, 104), kWhite);
  EXPECT_EQ(display.at(122, 95), kWhite);
  EXPECT_EQ(display.at(122, 105), 0u);
  EXPECT_EQ(display.at(121, 104), 0u);
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
  EXPECT_EQ(display.at(5, 50), kWhite);
  // The segment up to (5, -38) shows below the edge only.
  EXPECT_EQ(display.at(4, 5), kWhite);
  EXPECT_EQ(display.at(4, 0), kWhite);
}

TEST_F(ReliefTest, HalfPixelOffsetsMakeColumnsCollideInDotMode) {
  // 1024 - 801 is odd: the horizontal offset is 111.5, each pixel lifted by 24.
  Surface master(801, 1);
  for (int x = 0; x < 801; ++x) master.set_pixel(x, 0, pixel_rgb(255, x & 0xFF, 0));
  draw(std::move(master), 1024, 768, 0);
  const int y = 360;  // 383.5 - 24 = 359.5 rounds to 360
  EXPECT_EQ(display.at(112, y), pixel_rgb(255, 1, 0)) << "112.5 drawn after 111.5";
  EXPECT_EQ(display.at(114, y), pixel_rgb(255, 3, 0));
  int filled = 0;
  for (int x = 0; x < 1024; ++x) {
    if (display.at(x, y) == 0) continue;
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
    for (const Point& pt : points) EXPECT_EQ(display.at(pt.x, pt.y), pixel_rgb(255, 0, 0));
  }
}

TEST_F(ReliefTest, LowerRowsCoverHigherOnes) {
  Surface master(1, 2);
  master.set_pixel(0, 0, pixel_rgb(4, 0, 0));   // height 0 at row 0
  master.set_pixel(0, 1, pixel_rgb(10, 0, 0));  // height 1 at row 1: the same point
  draw(std::move(master), 1, 4, 0);
  EXPECT_EQ(lit(), (std::vector<Point>{{0, 1}}));
  EXPECT_EQ(display.at(0, 1), pixel_rgb(10, 0, 0));
}

TEST_F(ReliefTest, LineModeJoinsEachPointToThePreviousInTheLaterColour) {
  Surface master(2, 1);
  master.set_pixel(0, 0, pixel_rgb(255, 0, 0));  // height 24
  master.set_pixel(1, 0, kWhite);                // height 48
  draw(std::move(master), 4, 101, 1);            // offsets (1, 50)
  std::vector<Point> points = lit();
  EXPECT_EQ(points.size(), 25u);  // from (1, 26) to (2, 2), both ends
  for (const Point& pt : points) EXPECT_EQ(display.at(pt.x, pt.y), kWhite);
  EXPECT_EQ(display.at(1, 26), kWhite);
  EXPECT_EQ(display.at(2, 2), kWhite);
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
  EXPECT_EQ(display.at(2, 10), kWhite);
  EXPECT_EQ(display.at(1, 40), kWhite);
  EXPECT_EQ(display.at(1, 50), pixel_rgb(10, 0, 0));
  EXPECT_EQ(display.at(2, 50), pixel_rgb(10, 0, 0));
}

TEST_F(ReliefTest, LineModeWithZeroOffsetSkipsTheFirstSegment) {
  // Heights 48, 24, 0, 48 on a 101-row screen: points (0, 2), (1, 26),
  // (2, 50), (3, 2) plus the offset.
  Surface master(4, 1);
  master.set_pixel(0, 0, kWhite);
  master.set_pixel(1, 0, pixel_rgb(255, 0, 0));
  master.set_pixel(2, 0, pixel_rgb(4, 0, 0));
  master.set_pixel(3, 0, kWhite);

  draw(master, 4, 101, 1);  // the horizontal offset is 0: the first point counts as none
  EXPECT_EQ(display.at(0, 2), kWhite);
  EXPECT_EQ(display.at(1, 26), pixel_rgb(4, 0, 0));
  for (int y = 3; y < 26; ++y) {
    EXPECT_EQ(display.at(0, y), 0u) << y;
    EXPECT_EQ(display.at(1, y), 0u) << y;
  }

  draw(master, 6, 101, 1);  // the horizontal offset is 1: the segment is there
  EXPECT_EQ(display.at(1, 8), pixel_rgb(255, 0, 0));
  EXPECT_EQ(display.at(2, 20), pixel_rgb(255, 0, 0));
}

TEST_F(ReliefTest, DisplayIsClearedFirst) {
  display = Surface(20, 60, kWhite);
  ReliefDrawing drawing(Surface(2, 2, pixel_rgb(4, 0, 0)), display, 0);
  EXPECT_EQ(lit().size(), 0u);
  drawing.draw_rows(2);
  EXPECT_EQ(lit().size(), 4u);
}

TEST_F(ReliefTest, OtherDrawingMethodsAndEmptyPicturesDrawNothing) {
  for (int16_t way : {2, -1, 300}) {
    draw(Surface(13, 7, kWhite), 40, 80, way);
    EXPECT_TRUE(lit().empty()) << "way " << way;
  }
  for (const Surface& empty : {Surface(), Surface(0, 5), Surface(5, 0)}) {
    display = Surface(10, 10, kWhite);
    ReliefDrawing drawing(empty, display, 0);
    EXPECT_TRUE(drawing.finished());
    EXPECT_TRUE(lit().empty());
  }
}

// Steps of rows draw what one whole drawing draws, and each step marks the
// rows it changed for presenting.
TEST_F(ReliefTest, StepsOfRowsDrawTheWholeAndMarkWhatChanged) {
  const Surface picture = [] {
    Surface s(10, 10);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 10; ++x) s.set_pixel(x, y, pixel_rgb(25 * x, 20 * y, 128));
    }
    return s;
  }();
  for (int16_t way : {0, 1}) {
    draw(picture, 100, 100, way);
    const Surface whole = display;
    display = Surface(100, 100);
    ReliefDrawing drawing(picture, display, way);
    (void)display.take_dirty();
    std::vector<bool> presented(100, false);
    int steps = 0;
    for (int rows = 0; !drawing.finished(); rows = (rows + 1) % 3) {
      EXPECT_EQ(drawing.next_row(), std::min(10, drawing.next_row()));
      drawing.draw_rows(rows);
      ++steps;
      const RowRange r = display.take_dirty();
      for (int y = r.top; y < r.bottom; ++y) presented[static_cast<size_t>(y)] = true;
    }
    EXPECT_GT(steps, 5);
    EXPECT_EQ(drawing.next_row(), 10);
    EXPECT_TRUE(std::equal(whole.data(), whole.data() + 100 * 100, display.data())) << way;
    for (int y = 0; y < 100; ++y) {
      bool drawn = false;
      for (int x = 0; x < 100; ++x) drawn = drawn || display.at(x, y) != 0;
      if (drawn) {
        EXPECT_TRUE(presented[static_cast<size_t>(y)]) << "row " << y;
      }
    }
  }
}

// The drawing as plainly as it can be put: each pixel's screen point from
// the offsets and its lightness in floating point, rounded half to even;
// in line mode joined to the row's previous point, where a point at X = 0
// counts as none.
Surface plain_relief(const Surface& picture, int dw, int dh, int method) {
  Surface d(dw, dh);
  const double ofs_x = static_cast<float>(dw) / 2.0f - static_cast<float>(picture.width()) / 2.0f;
  const double ofs_y = static_cast<float>(dh) / 2.0f - static_cast<float>(picture.height()) / 2.0f;
  for (int y = 0; y < picture.height(); ++y) {
    double prev_x = 0, prev_y = 0;
    for (int x = 0; x < picture.width(); ++x) {
      const uint32_t p = picture.at(x, y) & 0xFFFFFF;
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      const int s = std::max({r, g, b}) + std::min({r, g, b});
      const double lightness = static_cast<double>(s * 240 + 255) / 510.0;
      const double h = round_half_even(lightness / 5.0);
      const double px = x + ofs_x, py = y + ofs_y - h;
      auto at = [](double v) { return static_cast<int>(round_half_even(v)); };
      if (method == 0) {
        d.set_pixel(at(px), at(py), p);
      } else {
        if (prev_x == 0) prev_x = px, prev_y = py;
        d.draw_segment(at(prev_x), at(prev_y), at(px), at(py), p);
        prev_x = px, prev_y = py;
      }
    }
  }
  return d;
}

// The renderer's quick paths (every column on the display, every point of a
// row on it) against the plain drawing, on random pictures, screens that
// are larger and smaller, odd and even differences, and random steps.
TEST_F(ReliefTest, QuickPathsDrawWhatThePlainDrawingDraws) {
  std::mt19937 gen(20261208);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
  for (int round = 0; round < 300; ++round) {
    const int pw = pick(1, 120), ph = pick(1, 90);
    const int dw = pick(1, 160), dh = pick(1, 160);
    Surface picture(pw, ph);
    const int bright = pick(0, 255);  // some pictures reach above the top
    for (int y = 0; y < ph; ++y) {
      for (int x = 0; x < pw; ++x) {
        picture.set_pixel(x, y, pixel_rgb(pick(0, 255), pick(0, 255), pick(0, bright)));
      }
    }
    const int16_t method = static_cast<int16_t>(round % 2);
    display = Surface(dw, dh);
    ReliefDrawing drawing(picture, display, method);
    while (!drawing.draw_rows(pick(0, 7))) {
    }
    const Surface want = plain_relief(picture, dw, dh, method);
    ASSERT_TRUE(std::equal(want.data(), want.data() + static_cast<size_t>(dw) * dh, display.data()))
        << "round " << round << ": " << pw << "x" << ph << " on " << dw << "x" << dh << " method "
        << method;
  }
}

}  // namespace
}  // namespace vs
