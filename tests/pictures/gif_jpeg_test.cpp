// GIF and JPEG cases the samples do not cover: frames partly off the
// screen, colour indices past the table, tiny interlaced frames, files
// without a picture, and the cap on progressive scans.
#include <gtest/gtest.h>

#include <chrono>

#include <string>

#include "../../tools/picture_writers.h"
#include "picture_checks.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"

namespace vs {
namespace {

using samples::GifSpec;

GifSpec numbered_frame(int w, int h) {
  GifSpec g;
  g.screen_width = g.width = w, g.screen_height = g.height = h;
  for (int i = 0; i < 256; ++i) g.palette.push_back(pixel_rgb(static_cast<uint32_t>(i), 0, 0));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) g.indices.push_back(static_cast<uint8_t>((y * 16 + x) & 0xFF));
  }
  return g;
}

TEST(GifDecoder, FramesPartlyOffTheScreenAreCut) {
  GifSpec g = numbered_frame(10, 6);
  g.screen_width = 8, g.screen_height = 5;
  g.left = 3, g.top = 2;
  PictureResult r = decode_gif(samples::write_gif(g));
  ASSERT_TRUE(r.ok) << r.reason;
  ASSERT_EQ(r.picture.width(), 8);
  ASSERT_EQ(r.picture.height(), 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool covered = x >= 3 && y >= 2;
      uint32_t want = covered ? pixel_rgb(static_cast<uint32_t>((y - 2) * 16 + (x - 3)), 0, 0) : 0;
      EXPECT_EQ(r.picture.at(x, y), want) << x << "," << y;
    }
  }
}

TEST(GifDecoder, AScreenOfNoSizeTakesTheFrames) {
  GifSpec g = numbered_frame(4, 3);
  g.screen_width = g.screen_height = 0;
  g.left = 2, g.top = 1;
  PictureResult r = decode_gif(samples::write_gif(g));
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.width(), 6);
  EXPECT_EQ(r.picture.height(), 4);
  EXPECT_EQ(r.picture.at(2, 1), pixel_rgb(0, 0, 0));
  EXPECT_EQ(r.picture.at(5, 3), pixel_rgb(2 * 16 + 3, 0, 0));
}

TEST(GifDecoder, IndicesPastTheColourTableAreBlack) {
  // Written with 256 colours and 8-bit codes, then the global table cut to
  // its first 4 entries: the codes still reach 7.
  std::string file = samples::write_gif(numbered_frame(8, 1));
  ASSERT_EQ(static_cast<unsigned char>(file[10]) & 0x87, 0x87);
  file[10] = static_cast<char>((file[10] & ~0x07) | 0x01);
  file.erase(13 + 3 * 4, 3 * 252);
  PictureResult r = decode_gif(file);
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.at(3, 0), pixel_rgb(3, 0, 0));
  EXPECT_EQ(r.picture.at(4, 0), 0u);
  EXPECT_EQ(r.picture.at(7, 0), 0u);
}

TEST(GifDecoder, InterlacedFramesOfEveryHeightLandOnTheirRows) {
  for (int h = 1; h <= 17; ++h) {
    GifSpec g = numbered_frame(3, h);
    g.interlaced = true;
    PictureResult r = decode_gif(samples::write_gif(g));
    ASSERT_TRUE(r.ok) << h << ": " << r.reason;
    for (int y = 0; y < h; ++y) {
      ASSERT_EQ(r.picture.at(1, y), pixel_rgb(static_cast<uint32_t>((y * 16 + 1) & 0xFF), 0, 0))
          << "height " << h << " row " << y;
    }
  }
}

TEST(GifDecoder, FilesWithoutAPictureOrColoursFail) {
  GifSpec g = numbered_frame(2, 2);
  std::string file = samples::write_gif(g);
  // Cut after the screen and its colour table, then the trailer.
  std::string no_frame = file.substr(0, 13 + 3 * 256) + ";";
  EXPECT_EQ(decode_gif(no_frame).reason, "GIF file holds no picture");
  // A screen without a global table and a frame without a local one.
  std::string bare("GIF89a\x02\0\x02\0\0\0\0,\0\0\0\0\x02\0\x02\0\0\x02\x02\x44\x01\0;", 29);
  EXPECT_EQ(decode_gif(bare).reason, "GIF picture has no colour table");
  EXPECT_EQ(decode_gif("GIF89a").reason, "truncated GIF data");
}

// A grey progressive JPEG whose AC scan is repeated `extra` more times.
std::string many_scans(int extra) {
  Surface s(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const auto v = static_cast<uint32_t>(x * 16);
      s.row(y)[x] = pixel_rgb(v, v, v);
    }
  }
  const std::string file = samples::write_jpeg(s, {samples::JpegSpec::Colour::Grey, false, 92, 0},
                                               {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}});
  const size_t second_scan = file.rfind("\xFF\xDA");
  const size_t end = file.size() - 2;  // EOI
  const std::string scan = file.substr(second_scan, end - second_scan);
  std::string repeated;
  for (int i = 0; i < extra; ++i) repeated += scan;
  return file.substr(0, end) + repeated + file.substr(end);
}

TEST(JpegDecoder, ProgressiveScansAreCapped) {
  PictureResult some = decode_jpeg(many_scans(60));
  EXPECT_TRUE(some.ok) << some.reason;
  EXPECT_EQ(decode_jpeg(many_scans(150)).reason, "too many JPEG scans");
}

// A small progressive file that claims 16384 x 16384 would need all its
// coefficients in memory (768 MB at 4:2:0): refused before its scans are
// read, in the saver's decoder process too.
TEST(JpegDecoder, AProgressivePictureTooLargeToHoldIsRefusedAtOnce) {
  Surface s(64, 64, pixel_rgb(200, 100, 50));
  std::string file = samples::write_jpeg(s, {samples::JpegSpec::Colour::Rgb, true, 92, 0});
  const size_t sof = file.find("\xFF\xC2");
  ASSERT_NE(sof, std::string::npos);
  for (size_t at : {sof + 5, sof + 7}) file[at] = '\x40', file[at + 1] = '\0';  // 16384
  const std::string why = "JPEG picture needs more than 512 MB to decode";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(decode_jpeg(file).reason, why);
  EXPECT_EQ(decode_bytes_in_child(file, PictureView{1920, 1080, FitMode::FullScreen}).reason, why);
  // Well under the decoder's 5-second limit, so a decode that went ahead
  // and ran into it still fails.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(JpegDecoder, DataCutShortIsTruncationNotAGreyPicture) {
  const std::string file = testing::read_bytes(testing::sample("landscape.jpg"));
  const size_t data = file.find("\xFF\xDA");
  ASSERT_NE(data, std::string::npos);
  // Headers complete, no picture data: refused before anything is allocated.
  EXPECT_EQ(decode_jpeg(file.substr(0, data + 14)).reason, "truncated JPEG data");
  EXPECT_EQ(decode_jpeg(file.substr(0, file.size() * 9 / 10)).reason, "truncated JPEG data");
  // Only the end marker missing: all the picture is there.
  EXPECT_TRUE(decode_jpeg(file.substr(0, file.size() - 2)).ok);
  EXPECT_EQ(decode_jpeg(file.substr(0, 200)).reason, "truncated JPEG data");  // in the tables
}

}  // namespace
}  // namespace vs
