// PNG and TIFF pictures against the libraries' own simple readers of the
// same files, for every colour type, bit depth and layout the saver meets:
// the whole picture, a view's part of it, and the same through the
// confined decoder process; 16-bit samples rounded, not cut; orientation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tools/picture_writers.h"
#include "core/picture_fit.h"
#include "picture_checks.h"
#include "pictures/exif.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "png_tiff_writers.h"

namespace vs {
namespace {

using testing::png_spec;
using testing::PngSpec;
using testing::tiff_spec;
using testing::TiffSpec;

struct Case {
  std::string name;
  std::string file;
  Surface reference;
  int tolerance = 0;  // the reference's own rounding of 16-bit samples
};

PngSpec palette_png(int bits, bool transparent) {
  PngSpec s = png_spec(PNG_COLOR_TYPE_PALETTE, bits);
  for (int i = 0; i < (1 << bits); ++i) {
    s.palette.push_back({static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11),
                         static_cast<png_byte>(i * 5)});
    if (transparent) s.palette_alpha.push_back(static_cast<png_byte>(i * 97 % 256));
  }
  return s;
}

PngSpec keyed_png(int colour_type, int bits) {
  PngSpec s = png_spec(colour_type, bits);
  s.has_key = true;
  s.key.gray = s.key.red = s.samples[0];
  s.key.green = s.samples[colour_type == PNG_COLOR_TYPE_RGB ? 1 : 0];
  s.key.blue = s.samples[colour_type == PNG_COLOR_TYPE_RGB ? 2 : 0];
  return s;
}

Case png_case(const std::string& name, const PngSpec& spec, int tolerance = 0) {
  std::string file = testing::write_png(spec);
  Surface reference = testing::png_reference(file);
  return {"PNG " + name, std::move(file), std::move(reference), tolerance};
}

TiffSpec with_alpha(TiffSpec s, int kind) {
  s.extra = kind;
  s.samples = testing::test_samples(s.width, s.height, s.samples_per_pixel, s.bits,
                                    s.samples_per_pixel - 1);
  if (kind == EXTRASAMPLE_ASSOCALPHA) {
    // Colours already multiplied by their alpha, as such files hold them.
    const uint32_t max = (1u << s.bits) - 1;
    for (size_t i = 0; i < s.samples.size(); i += s.samples_per_pixel) {
      const uint32_t a = s.samples[i + s.samples_per_pixel - 1];
      for (int c = 0; c + 1 < s.samples_per_pixel; ++c) {
        s.samples[i + c] = static_cast<uint16_t>(s.samples[i + c] * a / max);
      }
    }
  }
  return s;
}

Case tiff_case(const std::string& name, const TiffSpec& spec, int tolerance = 0,
               bool grey_under_alpha = false) {
  std::string file = testing::write_tiff(spec);
  Surface reference = testing::tiff_reference(file, grey_under_alpha);
  return {"TIFF " + name, std::move(file), std::move(reference), tolerance};
}

std::vector<Case> cases() {
  std::vector<Case> all;
  all.push_back(png_case("RGB 8", png_spec(PNG_COLOR_TYPE_RGB, 8)));
  all.push_back(png_case("RGBA 8", png_spec(PNG_COLOR_TYPE_RGB_ALPHA, 8)));
  all.push_back(png_case("grey 1", png_spec(PNG_COLOR_TYPE_GRAY, 1)));
  all.push_back(png_case("grey 2", png_spec(PNG_COLOR_TYPE_GRAY, 2)));
  all.push_back(png_case("grey 4", png_spec(PNG_COLOR_TYPE_GRAY, 4)));
  all.push_back(png_case("grey 8", png_spec(PNG_COLOR_TYPE_GRAY, 8)));
  all.push_back(png_case("grey + alpha 8", png_spec(PNG_COLOR_TYPE_GRAY_ALPHA, 8)));
  all.push_back(png_case("palette 1", palette_png(1, false)));
  all.push_back(png_case("palette 4", palette_png(4, false)));
  all.push_back(png_case("palette 8 with transparency", palette_png(8, true)));
  all.push_back(png_case("palette 2 with transparency", palette_png(2, true)));
  all.push_back(png_case("grey 4 with a clear grey", keyed_png(PNG_COLOR_TYPE_GRAY, 4)));
  all.push_back(png_case("RGB 8 with a clear colour", keyed_png(PNG_COLOR_TYPE_RGB, 8)));
  all.push_back(png_case("interlaced RGBA 8", png_spec(PNG_COLOR_TYPE_RGB_ALPHA, 8, true)));
  all.push_back(png_case("interlaced palette 4", [] {
    PngSpec s = palette_png(4, true);
    s.interlaced = true;
    return s;
  }()));
  // libpng's simple reader takes 16-bit samples through linear light; its
  // 8-bit result may differ by one from the rounded sample.
  all.push_back(png_case("RGB 16", png_spec(PNG_COLOR_TYPE_RGB, 16), 1));
  all.push_back(png_case("RGBA 16", png_spec(PNG_COLOR_TYPE_RGB_ALPHA, 16), 1));
  all.push_back(png_case("grey 16", png_spec(PNG_COLOR_TYPE_GRAY, 16), 1));
  all.push_back(png_case("grey + alpha 16", png_spec(PNG_COLOR_TYPE_GRAY_ALPHA, 16), 1));
  all.push_back(png_case("RGB 16 with a clear colour", keyed_png(PNG_COLOR_TYPE_RGB, 16), 1));
  all.push_back(png_case("interlaced grey 16", png_spec(PNG_COLOR_TYPE_GRAY, 16, true), 1));

  all.push_back(tiff_case("RGB 8", tiff_spec(PHOTOMETRIC_RGB, 3, 8)));
  all.push_back(tiff_case("RGB 8 LZW", tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW)));
  all.push_back(tiff_case("RGB 8 LZW with a predictor", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
    s.predictor = PREDICTOR_HORIZONTAL;
    return s;
  }()));
  all.push_back(
      tiff_case("RGB 8 Deflate", tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_ADOBE_DEFLATE)));
  all.push_back(
      tiff_case("RGB 8 PackBits", tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_PACKBITS)));
  all.push_back(tiff_case("RGB 8 in planes", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
    s.separate_planes = true;
    return s;
  }()));
  all.push_back(tiff_case("RGB 8 in tiles", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
    s.tile = 16;
    s.width = 37, s.height = 21;
    s.samples = testing::test_samples(s.width, s.height, 3, 8);
    return s;
  }()));
  all.push_back(tiff_case("RGBA 8 unassociated",
                          with_alpha(tiff_spec(PHOTOMETRIC_RGB, 4, 8), EXTRASAMPLE_UNASSALPHA)));
  all.push_back(tiff_case("RGBA 8 associated",
                          with_alpha(tiff_spec(PHOTOMETRIC_RGB, 4, 8), EXTRASAMPLE_ASSOCALPHA)));
  all.push_back(tiff_case("grey 8", tiff_spec(PHOTOMETRIC_MINISBLACK, 1, 8)));
  all.push_back(tiff_case("grey 4, 0 white", tiff_spec(PHOTOMETRIC_MINISWHITE, 1, 4)));
  all.push_back(
      tiff_case("bilevel fax", tiff_spec(PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX4)));
  all.push_back(tiff_case(
      "grey + alpha 8", with_alpha(tiff_spec(PHOTOMETRIC_MINISBLACK, 2, 8), EXTRASAMPLE_UNASSALPHA),
      0, true));
  all.push_back(tiff_case("palette 4", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_PALETTE, 1, 4, COMPRESSION_LZW);
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 16; ++i)
        s.colour_map.push_back(static_cast<uint16_t>(i * 4111 * (c + 1) % 65536));
    }
    return s;
  }()));
  // libtiff's reader rounds 16-bit colour as we do, but under alpha rounds
  // twice and cuts 16-bit grey to its high byte.
  all.push_back(tiff_case("RGB 16 LZW", tiff_spec(PHOTOMETRIC_RGB, 3, 16, COMPRESSION_LZW)));
  all.push_back(tiff_case("RGB 16 in tiles", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_RGB, 3, 16, COMPRESSION_ADOBE_DEFLATE);
    s.tile = 16;
    s.width = 21, s.height = 9;
    s.samples = testing::test_samples(s.width, s.height, 3, 16);
    return s;
  }()));
  all.push_back(tiff_case(
      "grey 16 in tiles",
      [] {
        // Whole tiles across: libtiff's reader misplaces the pixels of
        // 16-bit grey tiles that the picture's edge cuts.
        TiffSpec s = tiff_spec(PHOTOMETRIC_MINISBLACK, 1, 16, COMPRESSION_LZW);
        s.tile = 16;
        s.width = 32, s.height = 20;
        s.samples = testing::test_samples(s.width, s.height, 1, 16);
        return s;
      }(),
      1));
  all.push_back(tiff_case("CMYK 8", tiff_spec(PHOTOMETRIC_SEPARATED, 4, 8, COMPRESSION_LZW)));
  all.push_back(tiff_case("RGBA 16 unassociated",
                          with_alpha(tiff_spec(PHOTOMETRIC_RGB, 4, 16), EXTRASAMPLE_UNASSALPHA),
                          1));
  all.push_back(tiff_case("grey 16", tiff_spec(PHOTOMETRIC_MINISBLACK, 1, 16), 1));
  all.push_back(tiff_case("two pages: the first", [] {
    TiffSpec s = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
    s.second_page = testing::test_samples(s.width, s.height, 3, 8, 1);
    return s;
  }()));
  return all;
}

// The reference pixels a part kept for a view stands for.
::testing::AssertionResult same_pixels(const PictureResult& r, const Surface& want, int tolerance) {
  if (!r.ok) return ::testing::AssertionFailure() << r.reason;
  if (r.width() != want.width() || r.height() != want.height()) {
    return ::testing::AssertionFailure() << "size " << r.width() << " x " << r.height();
  }
  if (!testing::fourth_bytes_clear(r.picture)) {
    return ::testing::AssertionFailure() << "a fourth byte is set";
  }
  const int cols = r.kept.whole() ? want.width() : static_cast<int>(r.kept.cols.size());
  const int rows = r.kept.whole() ? want.height() : static_cast<int>(r.kept.rows.size());
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < cols; ++i) {
      const int x = r.kept.whole() ? i : r.kept.cols[static_cast<size_t>(i)];
      const int y = r.kept.whole() ? j : r.kept.rows[static_cast<size_t>(j)];
      auto near = testing::pixel_near(r.picture, i, j, testing::rgb_of(want.at(x, y)), tolerance);
      if (!near) return near << " (picture pixel " << x << ", " << y << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(PngTiffDecoders, PicturesAreTheLibrariesOwnReading) {
  // Small enough that the fit reads some rows and columns and not others.
  const PictureView view{5, 4, FitMode::FullScreen};
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.reference.empty());
    EXPECT_TRUE(same_pixels(decode_picture(library_decoders(), c.file), c.reference, c.tolerance));
    const PictureResult part = decode_picture(library_decoders(), c.file, view);
    EXPECT_FALSE(part.kept.whole());
    EXPECT_TRUE(same_pixels(part, c.reference, c.tolerance));
    EXPECT_TRUE(same_pixels(decode_bytes_in_child(c.file, view), c.reference, c.tolerance));
  }
}

TEST(PngTiffDecoders, SixteenBitSamplesAreRoundedNotCut) {
  // 0x00FF is nearest 1 and 0xFF00 nearest 254, though their high bytes
  // are 0 and 255; 0x8000 of 0xFFFF alpha over black is 127.5 and some.
  const std::vector<uint16_t> grey = {0x00FF, 0xFF00, 0x8000, 0xFFFF};
  const std::vector<uint32_t> want = {1, 254, 128, 255};
  PngSpec png_grey = png_spec(PNG_COLOR_TYPE_GRAY, 16);
  png_grey.width = 4, png_grey.height = 1, png_grey.samples = grey;
  PngSpec png_rgb = png_spec(PNG_COLOR_TYPE_RGB, 16);
  png_rgb.width = 4, png_rgb.height = 1;
  TiffSpec tiff_grey = tiff_spec(PHOTOMETRIC_MINISBLACK, 1, 16, COMPRESSION_LZW);
  tiff_grey.width = 4, tiff_grey.height = 1, tiff_grey.samples = grey;
  TiffSpec tiff_rgb = tiff_spec(PHOTOMETRIC_RGB, 3, 16);
  tiff_rgb.width = 4, tiff_rgb.height = 1;
  // Inks of the grey values and no black: white less each rounded ink.
  TiffSpec tiff_cmyk = tiff_spec(PHOTOMETRIC_SEPARATED, 4, 16);
  tiff_cmyk.width = 4, tiff_cmyk.height = 1;
  png_rgb.samples.clear(), tiff_rgb.samples.clear(), tiff_cmyk.samples.clear();
  for (uint16_t v : grey) {
    for (int c = 0; c < 3; ++c) {
      png_rgb.samples.push_back(v), tiff_rgb.samples.push_back(v), tiff_cmyk.samples.push_back(v);
    }
    tiff_cmyk.samples.push_back(0);
  }
  // White at half alpha: 0xFFFF * 0x8000 / 0xFFFF = 127.50... of 255.
  PngSpec png_alpha = png_spec(PNG_COLOR_TYPE_GRAY_ALPHA, 16);
  png_alpha.width = 1, png_alpha.height = 1, png_alpha.samples = {0xFFFF, 0x8000};
  TiffSpec tiff_alpha = with_alpha(tiff_spec(PHOTOMETRIC_RGB, 4, 16), EXTRASAMPLE_UNASSALPHA);
  tiff_alpha.width = 1, tiff_alpha.height = 1,
  tiff_alpha.samples = {0xFFFF, 0xFFFF, 0xFFFF, 0x8000};
  struct Row {
    const char* name;
    std::string file;
    std::vector<uint32_t> grey;
  };
  for (const Row& row : {Row{"PNG grey", testing::write_png(png_grey), want},
                         Row{"PNG RGB", testing::write_png(png_rgb), want},
                         Row{"TIFF grey", testing::write_tiff(tiff_grey), want},
                         Row{"TIFF RGB", testing::write_tiff(tiff_rgb), want},
                         Row{"TIFF CMYK", testing::write_tiff(tiff_cmyk), {254, 1, 127, 0}},
                         Row{"PNG under alpha", testing::write_png(png_alpha), {128}},
                         Row{"TIFF under alpha", testing::write_tiff(tiff_alpha), {128}}}) {
    SCOPED_TRACE(row.name);
    const PictureResult r = decode_picture(library_decoders(), row.file);
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_EQ(r.picture.width(), static_cast<int>(row.grey.size()));
    for (size_t x = 0; x < row.grey.size(); ++x) {
      EXPECT_EQ(r.picture.at(static_cast<int>(x), 0),
                pixel_rgb(row.grey[x], row.grey[x], row.grey[x]))
          << "sample " << x;
    }
  }
}

TEST(PngTiffDecoders, PicturesAreTurnedUprightByTheirOrientation) {
  PngSpec png_file = png_spec(PNG_COLOR_TYPE_RGB, 8);
  const std::string png_stored = testing::write_png(png_file);
  std::string exif = samples::exif_payload(6).substr(6);  // from the TIFF header on
  png_file.exif = exif;
  const std::string png_turned = testing::write_png(png_file);
  TiffSpec tiff_file = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
  const std::string tiff_stored = testing::write_tiff(tiff_file);
  tiff_file.orientation = ORIENTATION_RIGHTTOP;  // 6, as EXIF counts too
  const std::string tiff_turned = testing::write_tiff(tiff_file);
  tiff_file.orientation = ORIENTATION_BOTRIGHT;  // 3
  const std::string tiff_half_round = testing::write_tiff(tiff_file);
  struct Row {
    const char* name;
    std::string stored, turned;
    int orientation;
  };
  for (const Row& row :
       {Row{"PNG eXIf 6", png_stored, png_turned, 6}, Row{"TIFF 6", tiff_stored, tiff_turned, 6},
        Row{"TIFF 3", tiff_stored, tiff_half_round, 3}}) {
    SCOPED_TRACE(row.name);
    const PictureResult stored = decode_picture(library_decoders(), row.stored);
    ASSERT_TRUE(stored.ok) << stored.reason;
    const Surface want = orient_picture(stored.picture, row.orientation);
    EXPECT_TRUE(same_pixels(decode_picture(library_decoders(), row.turned), want, 0));
    EXPECT_TRUE(same_pixels(
        decode_picture(library_decoders(), row.turned, {6, 5, FitMode::FullScreen}), want, 0));
  }
}

}  // namespace
}  // namespace vs
