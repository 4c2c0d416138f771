// Pictures kept in part: a decoder given a view keeps only what the view's
// fit reads, and the fit of what it kept is the fit of the whole picture,
// pixel for pixel, for every kind and shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../../tools/picture_writers.h"
#include "core/picture_fit.h"
#include "picture_checks.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"

namespace vs {
namespace {

using samples::Bytes;

// Every pixel different from its neighbours, so a wrong row or column
// shows.
Surface noise(int w, int h) {
  Surface s(w, h);
  uint32_t v = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      v = v * 1103515245u + 12345u;
      s.row(y)[x] = (v >> 8) & 0xFFFFFF;
    }
  }
  return s;
}

Bytes as_bmp(const Surface& s) {
  samples::BmpSpec spec;
  spec.width = s.width(), spec.height = s.height();
  spec.data = samples::encode_rows(s.width(), s.height(), 24, false,
                                   [&](int x, int y) { return s.at(x, y); });
  return samples::write_bmp(spec);
}

Bytes as_rle8(const Surface& s) {
  samples::BmpSpec spec;
  spec.width = s.width(), spec.height = s.height(), spec.bits = 8, spec.compression = 1;
  for (int i = 0; i < 256; ++i) spec.palette.push_back(pixel_rgb(i, 255 - i, i / 2));
  spec.data = samples::encode_rle(s.width(), s.height(), false,
                                  [&](int x, int y) { return (s.at(x, y) >> 3) & 0xFF; });
  return samples::write_bmp(spec);
}

// A frame away from the logical screen's corner, as GIFs often have.
Bytes as_gif(const Surface& s) {
  samples::GifSpec spec;
  spec.screen_width = s.width(), spec.screen_height = s.height();
  spec.left = s.width() / 5, spec.top = s.height() / 7;
  spec.width = std::max(1, s.width() - spec.left - 3);
  spec.height = std::max(1, s.height() - spec.top - 2);
  spec.interlaced = true;
  for (int i = 0; i < 256; ++i) spec.palette.push_back(pixel_rgb(i, i * 7 % 256, 255 - i));
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) spec.indices.push_back(s.at(x, y) & 0xFF);
  }
  return samples::write_gif(spec);
}

Bytes as_jpeg(const Surface& s, int orientation) {
  samples::JpegSpec spec;
  spec.orientation = orientation;
  return samples::write_jpeg(s, spec);
}

Surface fitted(const PictureResult& r, const PictureView& v) {
  Surface out;
  apply_fit(plan_fit(r.width(), r.height(), v.box_width, v.box_height, v.mode), r.picture, r.kept,
            out);
  return out;
}

TEST(PictureView, WhatIsKeptFitsExactlyAsTheWholePicture) {
  struct Shape {
    int w, h;
  };
  // The last shape is a strip that the full-screen fits show nothing of.
  const Shape shapes[] = {{400, 300}, {90, 500}, {333, 77}, {50, 40}, {2, 900}};
  const PictureView views[] = {{160, 120, FitMode::FullScreen},
                               {160, 120, FitMode::OwnSize},
                               {97, 203, FitMode::FullScreen},
                               {97, 203, FitMode::OwnSize},
                               {100, 100, FitMode::Thumbnail}};
  for (const Shape& shape : shapes) {
    const Surface picture = noise(shape.w, shape.h);
    const std::pair<const char*, Bytes> files[] = {{"bmp", as_bmp(picture)},
                                                   {"rle8", as_rle8(picture)},
                                                   {"gif", as_gif(picture)},
                                                   {"jpeg", as_jpeg(picture, 0)},
                                                   {"turned jpeg", as_jpeg(picture, 6)}};
    for (const auto& [kind, bytes] : files) {
      const PictureResult whole = decode_picture(library_decoders(), bytes);
      ASSERT_TRUE(whole.ok) << kind << ": " << whole.reason;
      for (const PictureView& view : views) {
        const std::string what = std::string(kind) + " " + std::to_string(shape.w) + "x" +
                                 std::to_string(shape.h) + " in " + std::to_string(view.box_width) +
                                 "x" + std::to_string(view.box_height) + " mode " +
                                 std::to_string(static_cast<int>(view.mode));
        const PictureResult part = decode_picture(library_decoders(), bytes, view);
        ASSERT_TRUE(part.ok) << what << ": " << part.reason;
        EXPECT_EQ(part.width(), whole.width()) << what;
        EXPECT_EQ(part.height(), whole.height()) << what;
        // Never more pixels than the box has, unless the picture is whole.
        if (!part.kept.whole()) {
          EXPECT_LE(part.picture.width(), view.box_width) << what;
          EXPECT_LE(part.picture.height(), view.box_height) << what;
        }
        const Surface want = fitted(whole, view), got = fitted(part, view);
        ASSERT_EQ(got.width(), want.width()) << what;
        ASSERT_EQ(got.height(), want.height()) << what;
        int differing = 0;
        for (int y = 0; y < want.height(); ++y) {
          for (int x = 0; x < want.width(); ++x) differing += got.at(x, y) != want.at(x, y);
        }
        EXPECT_EQ(differing, 0) << what;
      }
    }
  }
}

// Tiny files that declare a gigabyte picture: the decoder process gets far
// less memory than the whole picture would need, and still shows them.
TEST(PictureView, HugeDeclaredPicturesCostOnlyWhatIsSeen) {
  if (!kAddressSpaceLimited) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  samples::GifSpec gif;
  gif.screen_width = gif.screen_height = 16384;
  gif.width = gif.height = 1;
  gif.palette = {0, pixel_rgb(255, 0, 0)};
  gif.indices = {1};
  samples::BmpSpec rle;
  rle.width = rle.height = 16384, rle.bits = 8, rle.compression = 1;
  rle.palette = {0, pixel_rgb(0, 255, 0)};
  rle.data = std::string("\x02\x01\x00\x01", 4);  // two green pixels, end of bitmap
  DecoderLimits small;
  small.address_space = uint64_t{256} << 20;  // a quarter of the whole picture
  for (const Bytes& file : {samples::write_gif(gif), samples::write_bmp(rle)}) {
    EXPECT_LT(file.size(), 1100u);
    PictureResult r =
        decode_bytes_in_child(file, PictureView{1024, 768, FitMode::FullScreen}, small);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.width(), 16384);
    EXPECT_EQ(r.height(), 16384);
    EXPECT_LE(int64_t{r.picture.width()} * r.picture.height(), 1024 * 768);
    // Without a view the same file needs the whole gigabyte: refused here.
    EXPECT_FALSE(decode_bytes_in_child(file, {}, small).ok);
  }
}

}  // namespace
}  // namespace vs
