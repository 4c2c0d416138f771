// Every sample picture loads at its size with the colours the generator
// drew; every malformed one fails with its reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture_checks.h"
#include "platform/posix/decoder_process.h"

namespace vs {
namespace {

using samples::Landscape;
using samples::MetafileScene;
using samples::Rgb;
using samples::Rings;
using samples::Stripes;
using testing::pixel_near;
using testing::sample;

PictureResult load(const std::string& name, int w, int h) {
  PictureResult r = load_picture_file(sample(name));
  EXPECT_TRUE(r.ok) << name << ": " << r.reason;
  if (r.ok) {
    EXPECT_EQ(r.picture.width(), w) << name;
    EXPECT_EQ(r.picture.height(), h) << name;
    EXPECT_TRUE(testing::fourth_bytes_clear(r.picture)) << name;
  }
  return r;
}

// Places of the landscape away from shape edges, where lossy coding keeps
// the colour close.
std::vector<std::pair<int, int>> landscape_spots(const Landscape& l) {
  const int w = l.width, h = l.height;
  return {{4, 4},
          {w - 5, 4},
          {4, h - 5},
          {w - 5, h - 5},
          {static_cast<int>(l.sun_x()), static_cast<int>(l.sun_y())},
          {static_cast<int>(w * 0.22), static_cast<int>(l.horizon())},
          {w / 2, h * 3 / 4},
          {w / 2, h / 5}};
}

void check_landscape(const std::string& name, int w, int h, int tolerance) {
  PictureResult r = load(name, w, h);
  if (!r.ok || r.picture.width() != w || r.picture.height() != h) return;
  Landscape scene{w, h};
  for (auto [x, y] : landscape_spots(scene)) {
    EXPECT_TRUE(pixel_near(r.picture, x, y, scene.at(x, y), tolerance)) << name;
  }
  if (tolerance == 0) {
    // Lossless: every pixel of a coarse grid.
    for (int y = 0; y < h; y += 7) {
      for (int x = 0; x < w; x += 7) ASSERT_TRUE(pixel_near(r.picture, x, y, scene.at(x, y), 0));
    }
  }
}

TEST(Samples, BitmapsOfEveryDepth) {
  check_landscape("landscape.bmp", 640, 480, 0);
  check_landscape("landscape_topdown32.bmp", 400, 300, 0);
  check_landscape("landscape565.bmp", 320, 240, 8);  // 5 and 6 bits per channel
  for (auto [name, w, h, colours] : {std::tuple{"rings8.bmp", 320, 240, 256},
                                     {"rings4.bmp", 160, 120, 16},
                                     {"rings1.bmp", 256, 192, 2},
                                     {"rings_os2.bmp", 200, 150, 256}}) {
    PictureResult r = load(name, w, h);
    if (!r.ok) continue;
    Rings rings{w, h, colours};
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(r.picture.at(x, y), rings.pixel(x, y)) << name;
    }
  }
}

TEST(Samples, RunLengthBitmaps) {
  for (auto [name, w, h] :
       {std::tuple{"stripes_rle8.bmp", 320, 240}, {"stripes_rle4.bmp", 200, 150}}) {
    PictureResult r = load(name, w, h);
    if (!r.ok) continue;
    Stripes stripes{w, h};
    std::vector<uint32_t> palette = stripes.palette();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(r.picture.at(x, y), palette[static_cast<size_t>(stripes.index(x, y))]) << name;
      }
    }
  }
}

TEST(Samples, GifFirstFrameOnItsScreenWithTransparencyBlack) {
  PictureResult r = load("rings.gif", 320, 240);
  ASSERT_TRUE(r.ok);
  Rings rings{288, 216, 256};
  // The frame sits at (16, 12); around it, and in its transparent window,
  // the picture is black.
  EXPECT_EQ(r.picture.at(0, 0), 0u);
  EXPECT_EQ(r.picture.at(319, 239), 0u);
  EXPECT_EQ(r.picture.at(15, 100), 0u);
  EXPECT_EQ(r.picture.at(16 + 70, 12 + 50), 0u);
  for (int y = 0; y < 216; y += 3) {
    for (int x = 0; x < 288; x += 3) {
      bool hole = x >= 40 && x < 100 && y >= 30 && y < 80;
      ASSERT_EQ(r.picture.at(16 + x, 12 + y), hole ? 0u : rings.pixel(x, y)) << x << "," << y;
    }
  }

  PictureResult interlaced = load("stripes_interlaced.gif", 200, 150);
  ASSERT_TRUE(interlaced.ok);
  Stripes stripes{200, 150};
  std::vector<uint32_t> palette = stripes.palette();
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      ASSERT_EQ(interlaced.picture.at(x, y), palette[static_cast<size_t>(stripes.index(x, y))]);
    }
  }
}

TEST(Samples, JpegsInColourGreyCmykAndProgressive) {
  check_landscape("landscape.jpg", 800, 600, 12);
  check_landscape("progressive.jpg", 640, 480, 12);
  check_landscape("portrait.jpg", 480, 640, 12);
  check_landscape("cmyk.jpg", 320, 240, 12);

  PictureResult grey = load("grey.jpg", 400, 300);
  ASSERT_TRUE(grey.ok);
  Landscape scene{400, 300};
  for (auto [x, y] : landscape_spots(scene)) {
    Rgb c = scene.at(x, y);
    int luma = (c.r * 299 + c.g * 587 + c.b * 114 + 500) / 1000;
    EXPECT_TRUE(pixel_near(grey.picture, x, y, {luma, luma, luma}, 8));
  }
}

TEST(Samples, SidewaysPhotoIsTurnedUpright) {
  // Stored 480 x 360 with orientation 6: seen as the 360 x 480 landscape,
  // sky at the top, sun at the upper right.
  PictureResult r = load("sideways.jpg", 360, 480);
  ASSERT_TRUE(r.ok);
  Landscape upright{360, 480};
  for (auto [x, y] : landscape_spots(upright)) {
    EXPECT_TRUE(pixel_near(r.picture, x, y, upright.at(x, y), 12));
  }
}

TEST(Samples, MetafilesAtTheirNaturalSize) {
  // Placeable: 9600 x 7200 twips at 1440 per inch is 640 x 480 at 96 dpi.
  // Plain: the window of 320 x 240 logical units.
  for (auto [name, w, h] : {std::tuple{"scene.wmf", 640, 480}, {"scene_plain.wmf", 320, 240}}) {
    PictureResult r = load(name, w, h);
    if (!r.ok) continue;
    const int cell = w / MetafileScene::kGridW;
    for (const auto& c : MetafileScene::checks()) {
      EXPECT_TRUE(
          pixel_near(r.picture, c.gx * cell + cell / 2, c.gy * cell + cell / 2, c.colour, 0))
          << name;
    }
    // The sky reaches every edge: the frame is the whole window.
    EXPECT_TRUE(pixel_near(r.picture, 0, 0, MetafileScene::kSky, 0)) << name;
    EXPECT_TRUE(pixel_near(r.picture, w - 1, 0, MetafileScene::kSky, 0)) << name;
    EXPECT_TRUE(pixel_near(r.picture, w - 1, h - 1, MetafileScene::kGround, 0)) << name;
  }
}

TEST(Samples, MalformedFilesFailWithTheirReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"truncated.bmp", "truncated BMP data"},
      {"truncated.gif", "truncated GIF data"},
      {"truncated.jpg", "truncated JPEG data"},
      {"truncated.wmf", "truncated metafile"},
      {"wrong_header.bmp", "unsupported BMP header (7 bytes)"},
      {"wrong_header.gif", "corrupt GIF data (Wrong record type detected)"},
      {"wrong_header.jpg", "corrupt JPEG data (Unsupported marker type 0x11)"},
      {"wrong_header.wmf", "bad metafile header"},
      {"empty.bmp", "empty file"},
      {"zero_size.bmp", "bad BMP size (0 x 0)"},
      {"zero_size.gif", "picture has no size (0 x 0)"},
      {"zero_size.wmf", "metafile gives no size"},
      {"huge.bmp", "picture too large (70000 x 70000)"},
      {"huge_screen.gif", "picture too large (65535 x 65535)"},
      {"huge.jpg", "picture too large (65000 x 65000)"},
      {"huge.wmf", "picture too large (921600 x 691200)"},
      {"rle_overrun.bmp", "corrupt BMP RLE data"},
      {"x.jpg", "not a picture file"},
  };
  for (const auto& [name, reason] : cases) {
    PictureResult r = load_picture_file(sample("bad/" + name));
    EXPECT_FALSE(r.ok) << name;
    EXPECT_EQ(r.reason, reason) << name;
    EXPECT_TRUE(r.picture.empty()) << name;
  }
}

}  // namespace
}  // namespace vs
