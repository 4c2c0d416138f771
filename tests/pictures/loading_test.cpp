// Loading by file: the kind comes from the content, and files that are not
// pictures, or not there, fail with a reason that does not repeat the path.
#include <gtest/gtest.h>

#include <string>

#include "picture_checks.h"
#include "platform/offscreen/offscreen_platform.h"
#include "platform/pictures/decoders.h"
#include "platform/posix/decoder_process.h"

namespace vs {
namespace {

using testing::read_bytes;
using testing::sample;
using testing::TempFile;

TEST(PictureKind, TellsKindsByTheirFirstBytes) {
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("landscape.bmp"))), PictureKind::Bmp);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("rings.gif"))), PictureKind::Gif);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("landscape.jpg"))), PictureKind::Jpeg);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("scene.wmf"))), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind(read_bytes(sample("scene_plain.wmf"))), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind("GIF87a"), PictureKind::Gif);
  EXPECT_EQ(detect_picture_kind("GIF88a"), PictureKind::Unknown);
  EXPECT_EQ(detect_picture_kind("\xFF\xD8"), PictureKind::Unknown);
  EXPECT_EQ(detect_picture_kind(""), PictureKind::Unknown);
  // A metafile header must be a real one: type 1 or 2, 9 words, version 1 or 3.
  std::string header("\x01\x00\x09\x00\x00\x03", 6);
  EXPECT_EQ(detect_picture_kind(header + std::string(12, '\0')), PictureKind::Wmf);
  EXPECT_EQ(detect_picture_kind(header), PictureKind::Unknown);  // too short
  header[4] = 0x00, header[5] = 0x02;
  EXPECT_EQ(detect_picture_kind(header + std::string(12, '\0')), PictureKind::Unknown);
}

TEST(PictureLoading, ContentDecidesNotTheName) {
  TempFile jpeg_as_bmp("photo.bmp", read_bytes(sample("landscape.jpg")));
  PictureResult r = load_picture_file(jpeg_as_bmp.path());
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.width(), 800);
  EXPECT_EQ(r.picture.height(), 600);

  TempFile gif_as_wmf("drawing.wmf", read_bytes(sample("rings.gif")));
  EXPECT_TRUE(load_picture_file(gif_as_wmf.path()).ok);

  TempFile text("notes.jpg", "Shopping: milk, bread.\n");
  EXPECT_EQ(load_picture_file(text.path()).reason, "not a picture file");
}

TEST(PictureLoading, FileProblemsAreReasonsWithoutThePath) {
  EXPECT_EQ(load_picture_file("/nonexistent/folder/x.bmp").reason, "file not found");
  EXPECT_EQ(load_picture_file("/tmp").reason, "not a picture file");
  TempFile empty("empty.gif", "");
  EXPECT_EQ(load_picture_file(empty.path()).reason, "empty file");
}

TEST(PictureLoading, ThePlatformLoadsThroughTheSameLoader) {
  OffscreenPlatform platform;
  PictureResult r = platform.load_picture(sample("rings.gif"));
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.picture.width(), 320);
  PictureResult bad = platform.load_picture(sample("bad/x.jpg"));
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.reason, "not a picture file");
}

}  // namespace
}  // namespace vs
