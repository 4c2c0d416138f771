#include "dialog/stock_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace vs {
namespace {

int red(uint32_t p) {
  return static_cast<int>(p >> 16 & 0xFF);
}
int green(uint32_t p) {
  return static_cast<int>(p >> 8 & 0xFF);
}
int blue(uint32_t p) {
  return static_cast<int>(p & 0xFF);
}

bool reddish(uint32_t p) {
  return red(p) > green(p) + 80 && red(p) > blue(p) + 80;
}
bool bluish(uint32_t p) {
  return blue(p) > red(p) + 80 && blue(p) > green(p) + 40;
}

TEST(StockImages, HaveTheSizesTheDialogIsLaidOutFor) {
  const StockPointer hand = stock_hand_pointer();
  const struct {
    std::string name;
    Surface image;
    int width, height;
  } cases[] = {
      {"empty option mark", stock_option_mark(false), 13, 13},
      {"selected option mark", stock_option_mark(true), 13, 13},
      {"empty check mark", stock_check_mark(false), 12, 12},
      {"checked check mark", stock_check_mark(true), 12, 12},
      {"heading plate", stock_heading_plate(), 95, 22},
      {"button face", stock_button_face(), 103, 37},
      {"background strip", stock_background_strip(), 563, 21},
      {"hand pointer", hand.pixels, 32, 32},
      {"hand pointer's mask", hand.mask, 32, 32},
      {"window icon", stock_window_icon(), 32, 32},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.image.width(), c.width) << c.name;
    EXPECT_EQ(c.image.height(), c.height) << c.name;
  }
}

TEST(StockImages, MarksShowTheirStateInTheMiddle) {
  const Surface option_off = stock_option_mark(false), option_on = stock_option_mark(true);
  const Surface check_off = stock_check_mark(false), check_on = stock_check_mark(true);
  EXPECT_TRUE(reddish(option_on.at(6, 6)));
  EXPECT_FALSE(reddish(option_off.at(6, 6)));
  for (int xy : {3, 5, 8}) {
    EXPECT_TRUE(bluish(check_on.at(xy, xy))) << xy;
    EXPECT_FALSE(bluish(check_off.at(xy, xy))) << xy;
  }
}

TEST(StockImages, RoundShapesLetTheBackgroundShowAroundThem) {
  for (const Surface& s :
       {stock_option_mark(false), stock_option_mark(true), stock_heading_plate()}) {
    const int r = s.width() - 1, b = s.height() - 1;
    for (auto [x, y] : {std::pair{0, 0}, {r, 0}, {0, b}, {r, b}}) {
      EXPECT_EQ(s.at(x, y), kTransparentKey) << s.width() << " at " << x << ", " << y;
    }
    EXPECT_NE(s.at(s.width() / 2, s.height() / 2), kTransparentKey) << s.width();
  }
}

TEST(StockImages, BackgroundStripJoinsItsNextCopyWithoutASeam) {
  const Surface strip = stock_background_strip();
  int largest = 0, total = 0, count = 0;
  for (int x = 0; x < strip.width(); ++x) {
    const uint32_t top = strip.at(x, 0), bottom = strip.at(x, strip.height() - 1);
    for (int d : {red(top) - red(bottom), green(top) - green(bottom), blue(top) - blue(bottom)}) {
      largest = std::max(largest, std::abs(d));
      total += std::abs(d);
      ++count;
    }
  }
  EXPECT_LE(largest, 24);
  EXPECT_LE(total, 6 * count);
}

TEST(StockImages, HandPointerPointsWithItsFingertip) {
  const StockPointer hand = stock_hand_pointer();
  ASSERT_EQ(hand.hot_x, 12);
  ASSERT_EQ(hand.hot_y, 1);
  EXPECT_NE(hand.mask.at(12, 1), 0u);
  // Nothing lies above the fingertip, and the corners are clear.
  for (int x = 0; x < 32; ++x) EXPECT_EQ(hand.mask.at(x, 0), 0u) << x;
  for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
    EXPECT_EQ(hand.mask.at(x, y), 0u) << x << ", " << y;
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const uint32_t p = hand.pixels.at(x, y);
      if (hand.mask.at(x, y) != 0) {
        EXPECT_TRUE(p == 0 || p == 0xFFFFFF) << x << ", " << y;
      }
    }
  }
}

}  // namespace
}  // namespace vs
