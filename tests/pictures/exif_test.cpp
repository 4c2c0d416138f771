// EXIF orientation: the parser on good and damaged payloads, the turn for
// each of the eight values, and whole JPEGs carrying each value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tools/picture_writers.h"
#include "picture_checks.h"
#include "pictures/exif.h"
#include "platform/posix/library_decoders.h"

namespace vs {
namespace {

using samples::exif_payload;
using samples::Rgb;

TEST(ExifOrientation, ReadsTheTagInEitherByteOrder) {
  for (int o = 1; o <= 8; ++o) {
    EXPECT_EQ(exif_orientation(exif_payload(o)), o);
    EXPECT_EQ(exif_orientation(exif_payload(o, true)), o);
  }
  EXPECT_EQ(exif_orientation(exif_payload(0)), 1);
  EXPECT_EQ(exif_orientation(exif_payload(9)), 1);
  EXPECT_EQ(exif_orientation(exif_payload(0x0106)), 1);
}

TEST(ExifOrientation, FindsTheTagAmongOthersAndAsALong) {
  // II header, IFD0 at 8 with three entries: width, the orientation as a
  // LONG, and a tag after it.
  std::string p("Exif\0\0II\x2A\0\x08\0\0\0\x03\0", 16);
  p += std::string("\x00\x01\x03\x00\x01\x00\x00\x00\x40\x00\x00\x00", 12);
  p += std::string("\x12\x01\x04\x00\x01\x00\x00\x00\x08\x00\x00\x00", 12);
  p += std::string("\x31\x01\x02\x00\x04\x00\x00\x00\x61\x62\x63\x00", 12);
  EXPECT_EQ(exif_orientation(p), 8);
}

TEST(ExifOrientation, DamagedPayloadsMeanAsStored) {
  const std::string good = exif_payload(6);
  EXPECT_EQ(exif_orientation(good.substr(0, good.size() - 6)), 1);  // entry cut off
  EXPECT_EQ(exif_orientation(good.substr(0, 10)), 1);
  EXPECT_EQ(exif_orientation(""), 1);
  EXPECT_EQ(exif_orientation("http://ns.adobe.com/xap/1.0/"), 1);  // XMP, also APP1
  std::string far = good;
  far[10] = '\xF0';  // IFD0 beyond the end
  EXPECT_EQ(exif_orientation(far), 1);
  std::string many = good;
  many[14] = '\xFF', many[15] = '\xFF';  // 65535 entries claimed
  EXPECT_EQ(exif_orientation(many), 6);  // the first entry is still whole
  std::string first_cut = good.substr(0, 6 + 8 + 2 + 11);
  first_cut[14] = '\xFF';
  EXPECT_EQ(exif_orientation(first_cut), 1);
  std::string wrong_magic = good;
  wrong_magic[8] = 43;
  EXPECT_EQ(exif_orientation(wrong_magic), 1);
  std::string ascii = good;
  ascii[18] = 2;  // the orientation stored as ASCII
  EXPECT_EQ(exif_orientation(ascii), 1);
}

// A 3 x 2 picture whose pixels are their own labels: 1 2 3 over 11 12 13.
Surface labelled() {
  Surface s(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) s.row(y)[x] = static_cast<uint32_t>(y * 10 + x + 1);
  }
  return s;
}

std::vector<std::vector<uint32_t>> rows_of(const Surface& s) {
  std::vector<std::vector<uint32_t>> rows;
  for (int y = 0; y < s.height(); ++y) rows.emplace_back(s.row(y), s.row(y) + s.width());
  return rows;
}

TEST(ExifOrientation, EachValueTurnsAsTheStandardSays) {
  using Rows = std::vector<std::vector<uint32_t>>;
  const std::vector<Rows> want = {
      {},
      {{1, 2, 3}, {11, 12, 13}},    // 1 as stored
      {{3, 2, 1}, {13, 12, 11}},    // 2 mirrored left-right
      {{13, 12, 11}, {3, 2, 1}},    // 3 half a turn
      {{11, 12, 13}, {1, 2, 3}},    // 4 mirrored top-bottom
      {{1, 11}, {2, 12}, {3, 13}},  // 5 transposed
      {{11, 1}, {12, 2}, {13, 3}},  // 6 a quarter clockwise
      {{13, 3}, {12, 2}, {11, 1}},  // 7 transverse
      {{3, 13}, {2, 12}, {1, 11}},  // 8 a quarter anticlockwise
  };
  for (int o = 1; o <= 8; ++o) EXPECT_EQ(rows_of(orient_picture(labelled(), o)), want[o]) << o;
  EXPECT_EQ(rows_of(orient_picture(labelled(), 0)), want[1]);
  EXPECT_EQ(rows_of(orient_picture(labelled(), 9)), want[1]);
  EXPECT_TRUE(orient_picture(Surface(), 6).empty());
}

TEST(ExifOrientation, LargeTurnsKeepEveryPixel) {
  // Tiles of 64: sizes that are not multiples of them.
  Surface s(131, 67);
  for (int y = 0; y < 67; ++y) {
    for (int x = 0; x < 131; ++x) s.row(y)[x] = static_cast<uint32_t>(y * 1000 + x);
  }
  Surface turned = orient_picture(s, 6);
  ASSERT_EQ(turned.width(), 67);
  ASSERT_EQ(turned.height(), 131);
  for (int y = 0; y < 131; ++y) {
    for (int x = 0; x < 67; ++x) ASSERT_EQ(turned.at(x, y), s.at(y, 66 - x));
  }
}

TEST(ExifOrientation, JpegsOfAllEightValuesComeOutUpright) {
  // Stored 48 x 32 in four flat quadrants: red green over blue white.
  const Rgb red{230, 30, 30}, green{30, 200, 40}, blue{30, 40, 220}, white{250, 250, 250};
  Surface stored(48, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 48; ++x) {
      Rgb c = y < 16 ? (x < 24 ? red : green) : (x < 24 ? blue : white);
      stored.row(y)[x] = samples::to_pixel(c);
    }
  }
  using Grid = std::vector<std::vector<Rgb>>;
  const std::vector<Grid> want = {
      {},
      {{red, green}, {blue, white}},
      {{green, red}, {white, blue}},
      {{white, blue}, {green, red}},
      {{blue, white}, {red, green}},
      {{red, blue}, {green, white}},
      {{blue, red}, {white, green}},
      {{white, green}, {blue, red}},
      {{green, white}, {red, blue}},
  };
  for (int o = 1; o <= 8; ++o) {
    PictureResult r = decode_jpeg(samples::write_jpeg(stored, {.orientation = o}));
    ASSERT_TRUE(r.ok) << r.reason;
    const bool swapped = o >= 5;
    ASSERT_EQ(r.picture.width(), swapped ? 32 : 48) << o;
    ASSERT_EQ(r.picture.height(), swapped ? 48 : 32) << o;
    const int qw = r.picture.width() / 2, qh = r.picture.height() / 2;
    for (int gy = 0; gy < 2; ++gy) {
      for (int gx = 0; gx < 2; ++gx) {
        EXPECT_TRUE(
            testing::pixel_near(r.picture, gx * qw + qw / 2, gy * qh + qh / 2, want[o][gy][gx], 16))
            << "orientation " << o;
      }
    }
  }
}

}  // namespace
}  // namespace vs
