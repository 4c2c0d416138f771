#include "core/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

namespace vs {
namespace {

constexpr uint32_t kInk = 0xABCDEF;

std::vector<std::pair<int, int>> inked(const Surface& s, uint32_t ink = kInk) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) == ink) out.emplace_back(x, y);
    }
  }
  return out;
}

// A picture whose pixels are all different, to follow them through copies.
Surface numbered(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s.row(y)[x] = static_cast<uint32_t>(1 + y * w + x);
  }
  return s;
}

TEST(Surface, NegativeSizesCountAsEmpty) {
  Surface s(-4, 3);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(s.width(), 0);
  s.fill_rect(0, 0, 10, 10, kInk);
  s.set_pixel(0, 0, kInk);
  s.draw_line(0, 0, 5, 5, kInk);
  EXPECT_TRUE(s.take_dirty().empty());
}

TEST(Surface, FillRectIsClippedToTheSurface) {
  Surface s(10, 8);
  s.fill_rect(-3, 6, 5, 100, kInk);  // partly left of and below the surface
  EXPECT_EQ(inked(s), (std::vector<std::pair<int, int>>{{0, 6}, {1, 6}, {0, 7}, {1, 7}}));
  Surface t(10, 8);
  t.fill_rect(2, 2, -1, 3, kInk);
  t.fill_rect(20, 2, 3, 3, kInk);
  t.fill_rect(std::numeric_limits<int>::max() - 1, 0, std::numeric_limits<int>::max(), 4, kInk);
  t.fill_rect(std::numeric_limits<int>::min(), 0, std::numeric_limits<int>::max(), 4, kInk);
  EXPECT_TRUE(inked(t).empty());
  t.fill_rect(std::numeric_limits<int>::min(), 1, std::numeric_limits<int>::max(), 1, kInk);
  EXPECT_TRUE(inked(t).empty()) << "min + max = -1 is still left of column 0";
}

TEST(Surface, SetPixelIgnoresPointsOutside) {
  Surface s(4, 4);
  for (int v : {-1, 4, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    s.set_pixel(v, 1, kInk);
    s.set_pixel(1, v, kInk);
  }
  EXPECT_TRUE(inked(s).empty());
  EXPECT_TRUE(s.take_dirty().empty());
  s.set_pixel(3, 3, kInk);
  EXPECT_EQ(inked(s), (std::vector<std::pair<int, int>>{{3, 3}}));
}

TEST(Surface, LineDrawsBothEndPointsAndZeroLengthMarksItsPixel) {
  Surface s(10, 10);
  s.draw_line(2, 3, 2, 3, kInk);
  EXPECT_EQ(inked(s), (std::vector<std::pair<int, int>>{{2, 3}}));
  Surface t(10, 10);
  t.draw_line(1, 1, 4, 1, kInk);
  EXPECT_EQ(inked(t), (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));
}

TEST(Surface, LineEndPointsRoundHalfToEven) {
  Surface s(10, 10);
  s.draw_line(0.5f, 2.5f, 0.5f, 2.5f, kInk);  // (0, 2)
  s.draw_line(1.5f, 3.5f, 1.5f, 3.5f, kInk);  // (2, 4)
  s.draw_line(4.4f, 6.6f, 4.4f, 6.6f, kInk);  // (4, 7)
  EXPECT_EQ(inked(s), (std::vector<std::pair<int, int>>{{0, 2}, {2, 4}, {4, 7}}));
}

TEST(Surface, LinesAreConnectedAndTakeOnePixelPerStepOfTheLongerAxis) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> coord(0, 39);
  for (int i = 0; i < 500; ++i) {
    int x0 = coord(gen), y0 = coord(gen), x1 = coord(gen), y1 = coord(gen);
    Surface s(40, 40);
    s.draw_segment(x0, y0, x1, y1, kInk);
    auto points = inked(s);
    int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    ASSERT_EQ(points.size(), static_cast<size_t>(steps + 1)) << x0 << "," << y0 << " " << x1;
    EXPECT_EQ(s.at(x0, y0), kInk);
    EXPECT_EQ(s.at(x1, y1), kInk);
    // Every pixel but the ends has a neighbour on each side along the line.
    for (auto [x, y] : points) {
      int neighbours = 0;
      for (auto [u, v] : points) {
        if ((u != x || v != y) && std::abs(u - x) <= 1 && std::abs(v - y) <= 1) ++neighbours;
      }
      bool end = (x == x0 && y == y0) || (x == x1 && y == y1);
      EXPECT_GE(neighbours, steps == 0 ? 0 : end ? 1 : 2);
    }
  }
}

TEST(Surface, ClippedLinesKeepThePixelsOfTheWholeLine) {
  // The same line on a large surface and on a small window of it, the
  // window's coordinates shifted: the pixels inside must agree.
  std::mt19937 gen(11);
  std::uniform_int_distribution<int> coord(-30, 70);
  for (int i = 0; i < 500; ++i) {
    int x0 = coord(gen), y0 = coord(gen), x1 = coord(gen), y1 = coord(gen);
    Surface big(200, 200), small(20, 15);
    big.draw_segment(x0 + 100, y0 + 100, x1 + 100, y1 + 100, kInk);
    small.draw_segment(x0, y0, x1, y1, kInk);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 20; ++x) {
        ASSERT_EQ(small.at(x, y), big.at(x + 100, y + 100))
            << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ") at " << x << "," << y;
      }
    }
    RowRange rows = small.take_dirty();
    auto points = inked(small);
    if (points.empty()) {
      EXPECT_TRUE(rows.empty());
    } else {
      EXPECT_EQ(rows.top, points.front().second);
      EXPECT_EQ(rows.bottom, points.back().second + 1);
    }
  }
}

TEST(Surface, ColumnStepsPutTheLinesPixels) {
  // Every step to the same or the next column, up and down, against the
  // general line.
  for (int dx = 0; dx <= 1; ++dx) {
    for (int dy = -60; dy <= 60; ++dy) {
      Surface line(10, 130), step(10, 130);
      line.draw_segment(4, 65, 4 + dx, 65 + dy, kInk);
      step.draw_column_step(4, 65, 4 + dx, 65 + dy, kInk);
      EXPECT_EQ(inked(step), inked(line)) << "dx " << dx << " dy " << dy;
    }
  }
}

TEST(Surface, FarAwayLinesDrawTheirVisiblePartQuickly) {
  Surface s(50, 10);
  s.draw_line(-1e9f, 5.0f, 1e9f, 5.0f, kInk);
  EXPECT_EQ(inked(s).size(), 50u);
  Surface t(50, 10);
  t.draw_segment(std::numeric_limits<int>::min(), 3, std::numeric_limits<int>::max(), 3, kInk);
  EXPECT_EQ(inked(t).size(), 50u);
  Surface u(50, 10);
  u.draw_line(std::nanf(""), 1, 3, 3, kInk);
  u.draw_line(0, 1, INFINITY, 3, kInk);
  EXPECT_TRUE(inked(u).empty());
}

TEST(Surface, StretchDropsOrRepeatsPixelsWithoutBlending) {
  Surface src = numbered(8, 6);
  Surface shrunk(4, 3);
  shrunk.stretch_from(src, 0, 0, 8, 6, 0, 0, 4, 3);
  Surface grown(16, 12);
  grown.stretch_from(src, 0, 0, 8, 6, 0, 0, 16, 12);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint32_t v = shrunk.at(x, y);
      int sx = static_cast<int>((v - 1) % 8), sy = static_cast<int>((v - 1) / 8);
      EXPECT_TRUE(sx == 2 * x || sx == 2 * x + 1);  // one of the pair, not a mix
      EXPECT_TRUE(sy == 2 * y || sy == 2 * y + 1);
    }
  }
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) EXPECT_EQ(grown.at(x, y), src.at(x / 2, y / 2));
  }
}

TEST(Surface, StretchIntoAPartlyOutsideRectangleIsClippedNotShifted) {
  // 800 x 700 scaled to 1024 x 896 and placed 64 rows above the top.
  Surface src = numbered(800, 700);
  Surface whole(1024, 896), placed(1024, 768);
  whole.stretch_from(src, 0, 0, 800, 700, 0, 0, 1024, 896);
  placed.stretch_from(src, 0, 0, 800, 700, 0, -64, 1024, 896);
  for (int y = 0; y < 768; ++y) {
    ASSERT_TRUE(std::equal(placed.row(y), placed.row(y) + 1024, whole.row(y + 64))) << y;
  }
  // And to the left and right.
  Surface side(100, 10);
  side.stretch_from(src, 0, 0, 800, 700, -50, 0, 200, 10);
  Surface full(200, 10);
  full.stretch_from(src, 0, 0, 800, 700, 0, 0, 200, 10);
  for (int y = 0; y < 10; ++y) {
    EXPECT_TRUE(std::equal(side.row(y), side.row(y) + 100, full.row(y) + 50));
  }
}

TEST(Surface, StretchOfNothingChangesNothing) {
  Surface s(4, 4, kInk);
  s.stretch_from(Surface(), 0, 0, 0, 0, 0, 0, 4, 4);
  s.stretch_from(numbered(3, 3), 0, 0, 3, 3, 0, 0, 0, 4);
  s.stretch_from(numbered(3, 3), 0, 0, 3, 3, 10, 10, 4, 4);
  EXPECT_EQ(inked(s).size(), 16u);
}

TEST(Surface, CopyIsClippedOnBothSides) {
  Surface src = numbered(10, 10);
  Surface dst(6, 6);
  dst.copy_from(src, 8, -2, 5, 5, 1, 2);  // only columns 8, 9 and rows 0..2 exist
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool inside = x >= 1 && x <= 2 && y >= 4 && y <= 6;
      EXPECT_EQ(dst.at(x, y), inside ? src.at(x + 7, y - 4) : 0u) << x << "," << y;
    }
  }
  Surface far(6, 6);
  far.copy_from(src, 0, 0, 10, 10, std::numeric_limits<int>::min(), 0);
  far.copy_from(src, std::numeric_limits<int>::max(), 0, 10, 10, 0, 0);
  far.copy_from(src, -5, -5, std::numeric_limits<int>::max(), 3, -3, 0);
  EXPECT_TRUE(inked(far, 0).size() == 36u);
}

TEST(Surface, ResizeKeepsTheTopLeftAndFillsBlack) {
  Surface s = numbered(4, 3);
  s.resize(6, 2);
  EXPECT_EQ(s.at(3, 1), 8u);
  EXPECT_EQ(s.at(4, 0), 0u);
  EXPECT_EQ(s.at(5, 1), 0u);
  s.resize(-1, 5);
  EXPECT_TRUE(s.empty());
}

TEST(Surface, DirtyRowsCoverWhatChangedSinceTheLastTake) {
  Surface s(10, 20);
  EXPECT_TRUE(s.take_dirty().empty());
  s.set_pixel(3, 7, kInk);
  s.set_pixel(3, 4, kInk);
  RowRange r = s.take_dirty();
  EXPECT_EQ(r.top, 4);
  EXPECT_EQ(r.bottom, 8);
  EXPECT_TRUE(s.take_dirty().empty());
  s.draw_segment(2, 15, 5, 11, kInk);
  s.fill_rect(0, 18, 100, 100, kInk);
  r = s.take_dirty();
  EXPECT_EQ(r.top, 11);
  EXPECT_EQ(r.bottom, 20);
  s.copy_from(numbered(3, 3), 0, 0, 3, 3, 0, -1);
  r = s.take_dirty();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 2);
  s.clear();
  r = s.take_dirty();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 20);
}

}  // namespace
}  // namespace vs
