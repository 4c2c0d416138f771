#include "dialog/stock_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// The screen scales the pictures are drawn at: their sizes are times the
// scale, and what they show is where it is at 96 dots per inch.
constexpr double kScales[] = {1, 1.25, 1.5, 2};

int at(double scale, int length) {
  return static_cast<int>(std::lround(length * scale));
}

TEST(StockImages, HaveTheSizesTheDialogIsLaidOutForAtEveryScale) {
  for (double k : kScales) {
    const PointerImage hand = stock_hand_pointer(k);
    const struct {
      std::string name;
      Surface image;
      int width, height;
    } cases[] = {
        {"empty option mark", stock_option_mark(false, k), at(k, 13), at(k, 13)},
        {"selected option mark", stock_option_mark(true, k), at(k, 13), at(k, 13)},
        {"empty check mark", stock_check_mark(false, k), at(k, 12), at(k, 12)},
        {"checked check mark", stock_check_mark(true, k), at(k, 12), at(k, 12)},
        {"heading plate", stock_heading_plate(k), at(k, 95), at(k, 22)},
        {"button face", stock_button_face(k), at(k, 103), at(k, 37)},
        {"hand pointer", hand.pixels, at(k, 32), at(k, 32)},
        {"hand pointer's mask", hand.mask, at(k, 32), at(k, 32)},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(c.image.width(), c.width) << c.name << " at " << k;
      EXPECT_EQ(c.image.height(), c.height) << c.name << " at " << k;
    }
  }
  // The texture tiles and the title bar's icon are the same at any scale.
  EXPECT_EQ(stock_background_strip().width(), 563);
  EXPECT_EQ(stock_background_strip().height(), 21);
  EXPECT_EQ(stock_window_icon().width(), 32);
}

TEST(StockImages, MarksShowTheirStateInTheMiddle) {
  for (double k : kScales) {
    const Surface option_off = stock_option_mark(false, k), option_on = stock_option_mark(true, k);
    const Surface check_off = stock_check_mark(false, k), check_on = stock_check_mark(true, k);
    EXPECT_TRUE(reddish(option_on.at(at(k, 6), at(k, 6)))) << k;
    EXPECT_FALSE(reddish(option_off.at(at(k, 6), at(k, 6)))) << k;
    for (int xy : {3, 5, 8}) {
      EXPECT_TRUE(bluish(check_on.at(at(k, xy), at(k, xy)))) << xy << " at " << k;
      EXPECT_FALSE(bluish(check_off.at(at(k, xy), at(k, xy)))) << xy << " at " << k;
    }
    // Drawn at the scale, not stretched: the check box's edge is two lines
    // of whole pixels, one pixel each below 175 %.
    const int line = k >= 1.75 ? 2 : 1;
    EXPECT_EQ(check_off.at(0, check_off.height() / 2),
              check_off.at(line - 1, check_off.height() / 2));
    EXPECT_NE(check_off.at(line - 1, check_off.height() / 2),
              check_off.at(line, check_off.height() / 2));
  }
}

TEST(StockImages, RoundShapesLetTheBackgroundShowAroundThem) {
  for (double k : kScales) {
    for (const Surface& s :
         {stock_option_mark(false, k), stock_option_mark(true, k), stock_heading_plate(k)}) {
      const int r = s.width() - 1, b = s.height() - 1;
      for (auto [x, y] : {std::pair{0, 0}, {r, 0}, {0, b}, {r, b}}) {
        EXPECT_EQ(s.at(x, y), forms::kTransparentKey) << s.width() << " at " << x << ", " << y;
      }
      EXPECT_NE(s.at(s.width() / 2, s.height() / 2), forms::kTransparentKey) << s.width();
    }
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
  for (double k : kScales) {
    const PointerImage hand = stock_hand_pointer(k);
    const int side = hand.pixels.width();
    // The fingertip at (12, 1) at 96 dots per inch, further at a larger
    // scale; nothing lies above it, and the corners are clear.
    EXPECT_EQ(hand.hot_spot.x, static_cast<int>(12.5 * k)) << k;
    EXPECT_EQ(hand.hot_spot.y, static_cast<int>(1.5 * k)) << k;
    EXPECT_NE(hand.mask.at(hand.hot_spot.x, hand.hot_spot.y), 0u) << k;
    EXPECT_EQ(hand.pixels.at(hand.hot_spot.x, hand.hot_spot.y), 0u) << k;  // the outline
    for (int y = 0; y < hand.hot_spot.y - static_cast<int>(k) + 1 && y < hand.hot_spot.y; ++y) {
      for (int x = 0; x < side; ++x) EXPECT_EQ(hand.mask.at(x, y), 0u) << x << ", " << y;
    }
    for (auto [x, y] : {std::pair{0, 0}, {side - 1, 0}, {0, side - 1}, {side - 1, side - 1}}) {
      EXPECT_EQ(hand.mask.at(x, y), 0u) << x << ", " << y;
    }
    int white = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const uint32_t p = hand.pixels.at(x, y);
        if (hand.mask.at(x, y) == 0) continue;
        EXPECT_TRUE(p == 0 || p == 0xFFFFFF) << x << ", " << y;
        white += p == 0xFFFFFF;
      }
    }
    // The white inside grows with the area, the outline only with the side.
    EXPECT_GT(white, 150 * k * k) << k;
  }
}

}  // namespace
}  // namespace vs
