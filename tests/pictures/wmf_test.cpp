// Metafiles: the natural size from the placeable header or the window
// records, and the frame libwmf draws into it under each mapping.
#include <gtest/gtest.h>

#include <string>

#include "../../tools/picture_writers.h"
#include "picture_checks.h"
#include "pictures/wmf_frame.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"

namespace vs {
namespace {

using samples::Rgb;
using samples::WmfWriter;
using testing::pixel_near;

WmfFrame frame_of(const std::string& file, const std::string& want_reason = "") {
  WmfFrame f;
  EXPECT_EQ(read_wmf_frame(file, f), want_reason);
  return f;
}

TEST(WmfFrame, PlaceableSizeComesFromTheBoxAndItsUnits) {
  WmfWriter w;
  WmfFrame f = frame_of(w.finish(1440, 0, 0, 9600, 7200));
  EXPECT_TRUE(f.placeable);
  EXPECT_EQ(f.width, 640);
  EXPECT_EQ(f.height, 480);
  // 2540 units per inch; a box given right to left; halves round to even.
  f = frame_of(WmfWriter().finish(2540, 2640, 200, 100, 1470));
  EXPECT_EQ(f.width, 96);
  EXPECT_EQ(f.height, 48);
  frame_of(WmfWriter().finish(192, 0, 0, 1, 3), "metafile gives no size");  // 0.5 px wide
  EXPECT_EQ(frame_of(WmfWriter().finish(192, 0, 0, 3, 3)).width, 2);        // 1.5 -> 2
  std::string no_units = WmfWriter().finish(1440, 0, 0, 100, 100);
  no_units[14] = no_units[15] = 0;
  frame_of(no_units, "bad metafile header (no units per inch)");
}

TEST(WmfFrame, PlainFilesTakeTheWindowBeforeTheFirstDrawing) {
  WmfWriter w;
  w.map_mode(8);
  w.window_org(-50, 10);
  w.window_ext(320, 240);
  w.rectangle(0, 0, 10, 10);
  w.window_ext(999, 999);  // after drawing began: not the picture's window
  WmfFrame f = frame_of(w.finish());
  EXPECT_FALSE(f.placeable);
  EXPECT_EQ(f.width, 320);
  EXPECT_EQ(f.height, 240);
  EXPECT_EQ(f.left, -50);
  EXPECT_EQ(f.top, 10);
  EXPECT_EQ(f.right, 270);
  EXPECT_EQ(f.bottom, 250);

  // Fixed metric modes are sized at 96 dpi: 2540 hundredths of a millimetre
  // is an inch, and a negative extent (y upwards) still measures.
  WmfWriter metric;
  metric.map_mode(3);
  metric.window_ext(2540, -1270);
  f = frame_of(metric.finish());
  EXPECT_EQ(f.width, 96);
  EXPECT_EQ(f.height, 48);

  WmfWriter none;
  none.rectangle(0, 0, 10, 10);
  none.window_ext(100, 100);
  frame_of(none.finish(), "metafile gives no size");
}

TEST(WmfFrame, DamagedHeadersAndRecordsAreSafe) {
  std::string good = WmfWriter().finish(1440, 0, 0, 1440, 1440);
  frame_of(good.substr(0, 30), "truncated metafile");
  frame_of(good.substr(0, 3), "truncated metafile");
  std::string version = good;
  version[22 + 4] = 0x02;
  frame_of(version, "bad metafile header");
  // Records of size 0 and of a size past the end stop the scan.
  WmfWriter w;
  w.window_ext(10, 10);
  std::string plain = w.finish();
  std::string zero = plain.substr(0, 18) + std::string("\0\0\0\0\x0C\x02", 6) + plain.substr(18);
  frame_of(zero, "metafile gives no size");
  std::string huge = plain;
  huge[18 + 3] = '\x7F';
  frame_of(huge, "metafile gives no size");
}

// Red on the right half of the frame, blue on the left; the frame's corners
// must be the picture's corners.
void expect_halves(const std::string& file, int w, int h) {
  PictureResult r = decode_picture(library_decoders(), file);
  ASSERT_TRUE(r.ok) << r.reason;
  ASSERT_EQ(r.picture.width(), w);
  ASSERT_EQ(r.picture.height(), h);
  const Rgb blue{0, 0, 255}, red{255, 0, 0};
  EXPECT_TRUE(pixel_near(r.picture, 1, 1, blue, 0));
  EXPECT_TRUE(pixel_near(r.picture, 1, h - 2, blue, 0));
  EXPECT_TRUE(pixel_near(r.picture, w / 2 - 3, h / 2, blue, 0));
  EXPECT_TRUE(pixel_near(r.picture, w / 2 + 3, h / 2, red, 0));
  EXPECT_TRUE(pixel_near(r.picture, w - 2, 1, red, 0));
  EXPECT_TRUE(pixel_near(r.picture, w - 2, h - 2, red, 0));
}

TEST(WmfRendering, TheFrameFillsThePictureUnderEveryMapping) {
  {  // placeable, its box away from the origin
    WmfWriter w;
    w.window_org(-500, -500);
    w.window_ext(1000, 1000);
    w.begin_shapes();
    w.brush(pixel_rgb(0, 0, 255)), w.rectangle(-500, -500, 500, 500);
    w.brush(pixel_rgb(255, 0, 0)), w.rectangle(0, -500, 500, 500);
    expect_halves(w.finish(1000, -500, -500, 500, 500), 96, 96);
  }
  {  // hundredths of a millimetre, the window moved
    WmfWriter w;
    w.map_mode(3);
    w.window_org(1000, 2000);
    w.window_ext(2540, 2540);
    w.begin_shapes();
    w.brush(pixel_rgb(0, 0, 255)), w.rectangle(1000, 2000, 3540, 4540);
    w.brush(pixel_rgb(255, 0, 0)), w.rectangle(2270, 2000, 3540, 4540);
    expect_halves(w.finish(), 96, 96);
  }
  {  // anisotropic with its own viewport
    WmfWriter w;
    w.map_mode(8);
    w.window_ext(200, 100);
    w.record(0x020E, {300, 600});  // SetViewportExt
    w.begin_shapes();
    w.brush(pixel_rgb(0, 0, 255)), w.rectangle(0, 0, 200, 100);
    w.brush(pixel_rgb(255, 0, 0)), w.rectangle(100, 0, 200, 100);
    expect_halves(w.finish(), 200, 100);
  }
}

// Without libwmf's fonts a good metafile would read as corrupt: the
// saver names what is missing instead. With them installed (as the
// project's scripts do) nothing is missing.
TEST(WmfRendering, MissingFontsAreNamed) {
  EXPECT_EQ(metafile_fonts_problem(), "");
  EXPECT_EQ(metafile_fonts_problem("/nonexistent"),
            "metafile fonts not installed: NimbusRoman-Regular.t1 and 12 more in /nonexistent "
            "(Debian package fonts-urw-base35)");
}

TEST(WmfRendering, EllipsesAreFilled) {
  WmfWriter w;
  w.map_mode(8);
  w.window_ext(100, 100);
  w.begin_shapes();
  w.brush(pixel_rgb(0, 255, 0)), w.ellipse(10, 10, 90, 90);
  PictureResult r = decode_picture(library_decoders(), w.finish());
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_TRUE(pixel_near(r.picture, 50, 50, {0, 255, 0}, 0));
  EXPECT_TRUE(pixel_near(r.picture, 50, 12, {0, 255, 0}, 0));
  // Outside the ellipse the page stays white, as metafiles are drawn for paper.
  EXPECT_TRUE(pixel_near(r.picture, 12, 12, {255, 255, 255}, 0));
}

}  // namespace
}  // namespace vs
