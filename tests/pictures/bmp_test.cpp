// The BMP decoder on tiny hand-built files whose every pixel is known.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "picture_checks.h"
#include "pictures/decoders.h"

namespace vs {
namespace {

using samples::Rgb;
using testing::pixel_near;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string le32(uint32_t v) {
  return bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
}
std::string le16(uint32_t v) {
  return bytes({int(v & 0xFF), int((v >> 8) & 0xFF)});
}

// File and info header (40 bytes unless told), then `extra` (masks or
// palette), then the pixel data; the data offset points right after extra.
std::string bmp(int32_t w, int32_t h, int bits, uint32_t compression, const std::string& extra,
                const std::string& data, uint32_t colours = 0) {
  std::string info = le32(40) + le32(static_cast<uint32_t>(w)) + le32(static_cast<uint32_t>(h)) +
                     le16(1) + le16(static_cast<uint32_t>(bits)) + le32(compression) +
                     le32(static_cast<uint32_t>(data.size())) + le32(0) + le32(0) + le32(colours) +
                     le32(0);
  const uint32_t offset = 14 + static_cast<uint32_t>(info.size() + extra.size());
  return "BM" + le32(offset + static_cast<uint32_t>(data.size())) + le32(0) + le32(offset) + info +
         extra + data;
}

std::string bgr0(Rgb c) {
  return bytes({c.b, c.g, c.r, 0});
}

PictureResult expect_picture(const std::string& file, int w, int h) {
  PictureResult r = decode_bmp(file);
  EXPECT_TRUE(r.ok) << r.reason;
  if (r.ok) {
    EXPECT_EQ(r.picture.width(), w);
    EXPECT_EQ(r.picture.height(), h);
  }
  return r;
}

TEST(BmpDecoder, TwentyFourBitsBottomUpFromLiteralBytes) {
  const std::string file = bytes({
      'B', 'M', 70, 0,   0,   0,   0, 0, 0, 0, 54,  0, 0,   0,         // file header
      40,  0,   0,  0,   2,   0,   0, 0, 2, 0, 0,   0, 1,   0, 24, 0,  // 2 x 2, 24 bits
      0,   0,   0,  0,   16,  0,   0, 0, 0, 0, 0,   0, 0,   0, 0,  0,
      0,   0,   0,  0,   0,   0,   0, 0, 0, 0, 255, 0, 255, 0, 0,  0,  // bottom: red, green
      255, 0,   0,  255, 255, 255, 0, 0,                               // top: blue, white
  });
  PictureResult r = expect_picture(file, 2, 2);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picture.at(0, 0), pixel_rgb(0, 0, 255));
  EXPECT_EQ(r.picture.at(1, 0), pixel_rgb(255, 255, 255));
  EXPECT_EQ(r.picture.at(0, 1), pixel_rgb(255, 0, 0));
  EXPECT_EQ(r.picture.at(1, 1), pixel_rgb(0, 255, 0));
  // The last row's padding may be missing; a missing pixel may not.
  EXPECT_TRUE(decode_bmp(file.substr(0, file.size() - 2)).ok);
  EXPECT_EQ(decode_bmp(file.substr(0, file.size() - 3)).reason, "truncated BMP data");
}

TEST(BmpDecoder, OneBitFromLiteralBytes) {
  const std::string file = bytes({
      'B',  'M',  70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0,  0,  40, 0, 0,  0,   10,  0, 0,
      0,    2,    0,  0, 0, 1, 0, 1, 0, 0, 0,  0, 0,  8,  0,  0, 0,  0,   0,   0, 0,
      0,    0,    0,  0, 2, 0, 0, 0, 0, 0, 0,  0, 30, 20, 10, 0, 50, 100, 200, 0,  // palette
      0xAA, 0x80, 0,  0,  // bottom row 1010101010
      0x07, 0xC0, 0,  0,  // top row 0000011111
  });
  PictureResult r = expect_picture(file, 10, 2);
  ASSERT_TRUE(r.ok);
  const uint32_t c0 = pixel_rgb(10, 20, 30), c1 = pixel_rgb(200, 100, 50);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(r.picture.at(x, 0), x < 5 ? c0 : c1) << x;
    EXPECT_EQ(r.picture.at(x, 1), x % 2 == 0 ? c1 : c0) << x;
  }
}

TEST(BmpDecoder, IndexedDepthsAndIndicesBeyondThePalette) {
  const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, grey{90, 90, 90};
  // 2 bits: 0 1 2 3 in one byte; 3 colours stored, so index 3 is black.
  PictureResult two = expect_picture(
      bmp(4, 1, 2, 0, bgr0(red) + bgr0(green) + bgr0(blue), bytes({0x1B, 0, 0, 0}), 3), 4, 1);
  ASSERT_TRUE(two.ok);
  EXPECT_EQ(two.picture.at(0, 0), pixel_rgb(255, 0, 0));
  EXPECT_EQ(two.picture.at(2, 0), pixel_rgb(0, 0, 255));
  EXPECT_EQ(two.picture.at(3, 0), 0u);
  // 4 bits: 1, 15, 2 with three colours: 15 is black.
  PictureResult four = expect_picture(
      bmp(3, 1, 4, 0, bgr0(red) + bgr0(green) + bgr0(blue), bytes({0x1F, 0x20, 0, 0}), 3), 3, 1);
  ASSERT_TRUE(four.ok);
  EXPECT_EQ(four.picture.at(0, 0), pixel_rgb(0, 255, 0));
  EXPECT_EQ(four.picture.at(1, 0), 0u);
  EXPECT_EQ(four.picture.at(2, 0), pixel_rgb(0, 0, 255));
  // 8 bits, a colour count above 256 means all 256 (only 2 are stored
  // before the pixels here, so 200 is black).
  PictureResult eight =
      expect_picture(bmp(3, 1, 8, 0, bgr0(grey) + bgr0(red), bytes({1, 0, 200, 0}), 999), 3, 1);
  ASSERT_TRUE(eight.ok);
  EXPECT_EQ(eight.picture.at(0, 0), pixel_rgb(255, 0, 0));
  EXPECT_EQ(eight.picture.at(1, 0), pixel_rgb(90, 90, 90));
  EXPECT_EQ(eight.picture.at(2, 0), 0u);
}

TEST(BmpDecoder, SixteenBitsDefaultAndBitfieldMasks) {
  // Default 5-5-5: full red, full green, blue 16 of 31 (scaled to 132).
  PictureResult rgb555 = expect_picture(
      bmp(3, 1, 16, 0, "", le16(0x7C00) + le16(0x03E0) + le16(0x0010) + le16(0)), 3, 1);
  ASSERT_TRUE(rgb555.ok);
  EXPECT_EQ(rgb555.picture.at(0, 0), pixel_rgb(255, 0, 0));
  EXPECT_EQ(rgb555.picture.at(1, 0), pixel_rgb(0, 255, 0));
  EXPECT_EQ(rgb555.picture.at(2, 0), pixel_rgb(0, 0, 132));
  // 5-6-5 masks after the header.
  PictureResult rgb565 = expect_picture(
      bmp(2, 1, 16, 3, le32(0xF800) + le32(0x07E0) + le32(0x001F), le16(0x07E0) + le16(0x0841)), 2,
      1);
  ASSERT_TRUE(rgb565.ok);
  EXPECT_EQ(rgb565.picture.at(0, 0), pixel_rgb(0, 255, 0));
  EXPECT_EQ(rgb565.picture.at(1, 0), pixel_rgb(8, 8, 8));
  EXPECT_EQ(
      decode_bmp(bmp(1, 1, 16, 3, le32(0xF00F) + le32(0x07E0) + le32(0x001F), le32(0))).reason,
      "bad BMP bit masks");
}

TEST(BmpDecoder, ThirtyTwoBitsTopDownAndMasks) {
  // Top-down (negative height), BI_RGB: the fourth byte never reaches us.
  PictureResult plain =
      expect_picture(bmp(1, -2, 32, 0, "", bytes({10, 20, 30, 0xFF, 40, 50, 60, 0xFF})), 1, 2);
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(plain.picture.at(0, 0), pixel_rgb(30, 20, 10));
  EXPECT_EQ(plain.picture.at(0, 1), pixel_rgb(60, 50, 40));
  // 10-10-10 masks: 1023 is 255, 512 is 128.
  PictureResult deep =
      expect_picture(bmp(1, 1, 32, 3, le32(0x3FF00000) + le32(0x000FFC00) + le32(0x000003FF),
                         le32((1023u << 20) | (512u << 10) | 0u)),
                     1, 1);
  ASSERT_TRUE(deep.ok);
  EXPECT_EQ(deep.picture.at(0, 0), pixel_rgb(255, 128, 0));
}

TEST(BmpDecoder, VersionFourHeaderCarriesItsMasks) {
  // A 108-byte header: the masks (RGBA byte order here) sit inside it.
  std::string info = le32(108) + le32(2) + le32(1) + le16(1) + le16(32) + le32(3) + le32(8) +
                     le32(0) + le32(0) + le32(0) + le32(0) + le32(0x000000FF) + le32(0x0000FF00) +
                     le32(0x00FF0000) + le32(0xFF000000);
  info.resize(108, '\0');
  std::string file = "BM" + le32(14 + 108 + 8) + le32(0) + le32(14 + 108) + info +
                     bytes({1, 2, 3, 0xFF, 200, 100, 50, 0xFF});
  PictureResult r = expect_picture(file, 2, 1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picture.at(0, 0), pixel_rgb(1, 2, 3));
  EXPECT_EQ(r.picture.at(1, 0), pixel_rgb(200, 100, 50));
}

TEST(BmpDecoder, Os2CoreHeaderWithThreeBytePalette) {
  std::string core = le32(12) + le16(3) + le16(1) + le16(1) + le16(8);
  std::string palette = bytes({0, 0, 255, 0, 255, 0, 255, 0, 0});  // red, green, blue
  std::string file = "BM" + le32(14 + 12 + 9 + 4) + le32(0) + le32(14 + 12 + 9) + core + palette +
                     bytes({2, 0, 1, 0});
  PictureResult r = expect_picture(file, 3, 1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picture.at(0, 0), pixel_rgb(0, 0, 255));
  EXPECT_EQ(r.picture.at(1, 0), pixel_rgb(255, 0, 0));
  EXPECT_EQ(r.picture.at(2, 0), pixel_rgb(0, 255, 0));
  // The short OS/2 2.x header: 16 bytes, 32-bit sizes.
  std::string os2 = le32(16) + le32(1) + le32(1) + le16(1) + le16(24);
  PictureResult r2 = expect_picture(
      "BM" + le32(14 + 16 + 4) + le32(0) + le32(30) + os2 + bytes({9, 8, 7, 0}), 1, 1);
  ASSERT_TRUE(r2.ok);
  EXPECT_EQ(r2.picture.at(0, 0), pixel_rgb(7, 8, 9));
}

const std::string kRlePalette =
    bgr0({9, 9, 9}) + bgr0({255, 0, 0}) + bgr0({0, 255, 0}) + bgr0({0, 0, 255}) + bgr0({7, 7, 7});

TEST(BmpDecoder, Rle8RunsDeltasAndEscapesLeaveUnwrittenPixelsBlack) {
  const std::string data = bytes({
      2, 1, 0, 0,              // bottom row: 2 x red, end of line
      0, 3, 2, 1, 2, 0, 0, 0,  // middle: absolute green red green (padded), end of line
      0, 2, 2, 0, 2, 3, 0, 1,  // top: delta 2 right, 2 x blue, end of bitmap
  });
  PictureResult r = expect_picture(bmp(4, 3, 8, 1, kRlePalette, data, 5), 4, 3);
  ASSERT_TRUE(r.ok);
  const uint32_t k = 0, red = pixel_rgb(255, 0, 0), green = pixel_rgb(0, 255, 0),
                 blue = pixel_rgb(0, 0, 255);
  const uint32_t want[3][4] = {{k, k, blue, blue}, {green, red, green, k}, {red, red, k, k}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.picture.at(x, y), want[y][x]) << x << "," << y;
  }
}

TEST(BmpDecoder, Rle4AlternatesNibbles) {
  const std::string data = bytes({
      5, 0x12, 0, 0,                   // bottom: 1 2 1 2 1
      0, 3, 0x31, 0x20, 2, 0x44, 0, 1  // top: absolute 3 1 2, then 2 x index 4
  });
  PictureResult r = expect_picture(bmp(5, 2, 4, 2, kRlePalette, data, 5), 5, 2);
  ASSERT_TRUE(r.ok);
  const uint32_t c[5] = {pixel_rgb(9, 9, 9), pixel_rgb(255, 0, 0), pixel_rgb(0, 255, 0),
                         pixel_rgb(0, 0, 255), pixel_rgb(7, 7, 7)};
  const int top[5] = {3, 1, 2, 4, 4}, bottom[5] = {1, 2, 1, 2, 1};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(r.picture.at(x, 0), c[top[x]]) << x;
    EXPECT_EQ(r.picture.at(x, 1), c[bottom[x]]) << x;
  }
}

TEST(BmpDecoder, RleDataThatLeavesTheBitmapIsCorrupt) {
  auto rle8 = [](const std::string& data) {
    return decode_bmp(bmp(4, 3, 8, 1, kRlePalette, data, 5));
  };
  EXPECT_EQ(rle8(bytes({5, 1, 0, 1})).reason, "corrupt BMP RLE data");  // run past the row
  EXPECT_EQ(rle8(bytes({0, 5, 1, 1, 1, 1, 1, 0})).reason, "corrupt BMP RLE data");  // absolute too
  EXPECT_EQ(rle8(bytes({0, 2, 0, 5, 1, 1})).reason, "corrupt BMP RLE data");        // delta below
  EXPECT_EQ(rle8(bytes({0, 0, 0, 0, 0, 0, 1, 1})).reason, "corrupt BMP RLE data");  // 4th row
  // Ending early is truncation; ending after the last row is fine.
  EXPECT_EQ(rle8(bytes({4, 1, 0, 0, 4, 2})).reason, "truncated BMP data");
  EXPECT_EQ(rle8(bytes({0, 2, 2})).reason, "truncated BMP data");
  EXPECT_TRUE(rle8(bytes({4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0})).ok);
  EXPECT_TRUE(rle8(bytes({4, 1, 0, 0, 4, 2, 0, 0, 4, 3})).ok);
}

TEST(BmpDecoder, HeadersThatCannotBeDecodedSayWhy) {
  const std::string px = bytes({1, 2, 3, 0});
  EXPECT_EQ(decode_bmp(bmp(0, 2, 24, 0, "", px)).reason, "bad BMP size (0 x 2)");
  EXPECT_EQ(decode_bmp(bmp(2, 0, 24, 0, "", px)).reason, "bad BMP size (2 x 0)");
  EXPECT_EQ(decode_bmp(bmp(-3, 2, 24, 0, "", px)).reason, "bad BMP size (-3 x 2)");
  EXPECT_EQ(decode_bmp(bmp(2, INT32_MIN, 24, 0, "", px)).reason, "bad BMP size (2 x -2147483648)");
  EXPECT_EQ(decode_bmp(bmp(70000, 70000, 24, 0, "", px)).reason,
            "picture too large (70000 x 70000)");
  EXPECT_EQ(decode_bmp(bmp(16384, -16385, 8, 0, "", px)).reason,
            "picture too large (16384 x 16385)");
  EXPECT_EQ(decode_bmp(bmp(1000, 1000, 24, 0, "", px)).reason, "truncated BMP data");
  EXPECT_EQ(decode_bmp(bmp(1, 1, 24, 4, "", px)).reason, "unsupported BMP format (24 bits, JPEG)");
  EXPECT_EQ(decode_bmp(bmp(1, 1, 24, 1, "", px)).reason, "unsupported BMP format (24 bits, RLE8)");
  EXPECT_EQ(decode_bmp(bmp(1, 1, 3, 0, "", px)).reason,
            "unsupported BMP format (3 bits, compression 0)");
  EXPECT_EQ(decode_bmp(bmp(1, 1, 16, 3, le32(0xF800), px)).reason, "truncated BMP data");

  std::string small_header = bmp(1, 1, 24, 0, "", px);
  small_header[14] = 8;
  EXPECT_EQ(decode_bmp(small_header).reason, "unsupported BMP header (8 bytes)");
  std::string inside = bmp(1, 1, 24, 0, "", px);
  inside[10] = 20;
  EXPECT_EQ(decode_bmp(inside).reason, "bad BMP data offset (20)");
  std::string beyond = bmp(1, 1, 24, 0, "", px);
  beyond[11] = 1;  // offset 54 + 256
  EXPECT_EQ(decode_bmp(beyond).reason, "truncated BMP data");
  EXPECT_EQ(decode_bmp("BM" + le32(0)).reason, "truncated BMP data");
}

}  // namespace
}  // namespace vs
