// Embedded colour profiles taken to sRGB: a profile that swaps red and
// green (made by lcms2 here) turns a PNG's, a TIFF's and a JPEG's pure red
// green, whoever decoded it; an sRGB profile leaves every pixel exactly as
// it was; profiles that cannot apply leave the pixels alone and say why.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <fstream>
#include <string>
#include <vector>

#include "../../tools/picture_writers.h"
#include "picture_checks.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "png_tiff_writers.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

std::string saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
  std::string bytes(size, '\0');
  EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
  cmsCloseProfile(profile);
  return bytes;
}

cmsToneCurve* srgb_curve() {
  // sRGB's own transfer: IEC 61966-2.1's parameters.
  const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

// sRGB's primaries and white, with red and green changed over: the file's
// red is sRGB's green and its green sRGB's red.
std::string red_green_swapped_profile() {
  cmsCIExyY white{0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries{{0.30, 0.60, 1.0}, {0.64, 0.33, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* curve = srgb_curve();
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return saved(profile);
}

std::string srgb_profile() {
  return saved(cmsCreate_sRGBProfile());
}

// sRGB as other makers write it: primaries a ten-thousandth off, which
// lcms2 takes through its matrices and gives back within one level, here
// and there (saturated greens), not exactly.
std::string nearly_srgb_profile() {
  cmsToneCurve* curve = srgb_curve();
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsCIExyY white{0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries{{0.6401, 0.33, 1.0}, {0.30, 0.6001, 1.0}, {0.15, 0.06, 1.0}};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return saved(profile);
}

// Greys stored as linear light.
std::string linear_grey_profile() {
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), linear);
  cmsFreeToneCurve(linear);
  return saved(profile);
}

// A CMYK output profile's header alone: enough to be read and refused.
std::string cmyk_profile() {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetDeviceClass(profile, cmsSigOutputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  return saved(profile);
}

// Every colour of a coarse cube, and the primaries.
Surface colour_cube() {
  Surface s(8, 8);
  for (int i = 0; i < 64; ++i) {
    const uint32_t r = (i & 3) * 85, g = ((i >> 2) & 3) * 85, b = ((i >> 4) & 3) * 85;
    s.row(i / 8)[i % 8] = pixel_rgb(r, g, b);
  }
  return s;
}

TEST(ColourProfile, ConversionToSrgbTable) {
  const Surface cube = colour_cube();
  Surface greens(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) greens.row(y)[x] = pixel_rgb(x, 255, y);
  }
  Surface grey_ramp(16, 1);
  for (int x = 0; x < 16; ++x) grey_ramp.row(0)[x] = pixel_rgb(x * 17, x * 17, x * 17);
  struct Row {
    const char* name;
    std::string profile;
    Surface pixels;
    std::string reason;  // a reason ending in "(" is matched up to there
    bool changed;
  };
  const std::vector<Row> rows = {
      {"red and green swapped", red_green_swapped_profile(), cube, "", true},
      {"sRGB", srgb_profile(), cube, "", false},
      {"sRGB within a rounding", nearly_srgb_profile(), greens, "", false},
      {"linear grey on greys", linear_grey_profile(), grey_ramp, "", true},
      {"grey on colours", linear_grey_profile(), cube, "grey colour profile on a colour picture",
       false},
      {"CMYK", cmyk_profile(), cube, "colour profile is for CMYK pictures, not RGB", false},
      {"not a profile", std::string(200, 'x'), cube, "colour profile could not be read", false},
      {"too large", std::string(5 << 20, 'x'), cube, "colour profile too large (5242880 bytes)",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Surface pixels = row.pixels;
    const std::string why = convert_profile_to_srgb(row.profile, pixels);
    EXPECT_EQ(why.substr(0, row.reason.size()), row.reason) << why;
    EXPECT_EQ(why.empty(), row.reason.empty()) << why;
    EXPECT_TRUE(testing::fourth_bytes_clear(pixels));
    bool same = true;
    for (int y = 0; y < pixels.height(); ++y) {
      for (int x = 0; x < pixels.width(); ++x)
        same = same && pixels.at(x, y) == row.pixels.at(x, y);
    }
    EXPECT_EQ(!same, row.changed);
  }
  // Linear mid grey is sRGB's 188.
  Surface grey(1, 1, pixel_rgb(128, 128, 128));
  EXPECT_EQ(convert_profile_to_srgb(linear_grey_profile(), grey), "");
  EXPECT_TRUE(testing::pixel_near(grey, 0, 0, {188, 188, 188}, 1));
}

// A JPEG with the profile in an APP2 segment right after its start.
std::string jpeg_with_profile(const Surface& picture, const std::string& profile) {
  const std::string jpeg =
      samples::write_jpeg(picture, {samples::JpegSpec::Colour::Rgb, false, 100, 0});
  std::string segment("\xFF\xE2", 2);
  const size_t length = 2 + 14 + profile.size();
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 0xFF);
  segment += std::string("ICC_PROFILE\0\x01\x01", 14) + profile;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string png_with_profile(const Surface& picture, const std::string& profile) {
  testing::PngSpec spec;
  spec.width = picture.width(), spec.height = picture.height();
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const samples::Rgb c = testing::rgb_of(picture.at(x, y));
      spec.samples.insert(
          spec.samples.end(),
          {static_cast<uint16_t>(c.r), static_cast<uint16_t>(c.g), static_cast<uint16_t>(c.b)});
    }
  }
  spec.icc = profile;
  return testing::write_png(spec);
}

std::string tiff_with_profile(const Surface& picture, const std::string& profile) {
  testing::TiffSpec spec;
  spec.width = picture.width(), spec.height = picture.height();
  spec.compression = COMPRESSION_LZW;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const samples::Rgb c = testing::rgb_of(picture.at(x, y));
      spec.samples.insert(
          spec.samples.end(),
          {static_cast<uint16_t>(c.r), static_cast<uint16_t>(c.g), static_cast<uint16_t>(c.b)});
    }
  }
  spec.icc = profile;
  return testing::write_tiff(spec);
}

// A version 5 bitmap whose header names the profile: embedded after the
// pixels, or linked (the profile's bytes are then a file name).
std::string bmp_with_profile(const Surface& picture, const std::string& profile,
                             bool linked = false) {
  samples::BmpSpec spec;
  spec.width = picture.width(), spec.height = picture.height(), spec.header_size = 124;
  spec.data = samples::encode_rows(spec.width, spec.height, 24, false, [&](int x, int y) {
    return static_cast<uint32_t>(picture.at(x, y));
  });
  std::string bmp = samples::write_bmp(spec);
  if (profile.empty()) return bmp;
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  constexpr size_t kHeader = 14;
  put32(kHeader + 56, linked ? 0x4C494E4Bu : 0x4D424544u);  // "LINK" or "MBED"
  put32(kHeader + 112, static_cast<uint32_t>(bmp.size() - kHeader));
  put32(kHeader + 116, static_cast<uint32_t>(profile.size()));
  put32(2, static_cast<uint32_t>(bmp.size() + profile.size()));
  return bmp + profile;
}

TEST(ColourProfile, EmbeddedProfilesAreAppliedForEveryKind) {
  // Halves of pure red and pure green: lossy JPEG keeps them pure enough
  // away from their edge.
  Surface picture(32, 16);
  picture.fill_rect(0, 0, 16, 16, pixel_rgb(255, 0, 0));
  picture.fill_rect(16, 0, 16, 16, pixel_rgb(0, 255, 0));
  const std::string swap = red_green_swapped_profile(), srgb = srgb_profile();
  struct Row {
    const char* name;
    DecodeFunction decode;
    std::string plain, swapped, tagged_srgb;
    int tolerance;
  };
  const std::vector<Row> rows = {
      {"PNG", decode_png, png_with_profile(picture, ""), png_with_profile(picture, swap),
       png_with_profile(picture, srgb), 2},
      {"TIFF", decode_tiff, tiff_with_profile(picture, ""), tiff_with_profile(picture, swap),
       tiff_with_profile(picture, srgb), 2},
      {"JPEG", decode_jpeg,
       samples::write_jpeg(picture, {samples::JpegSpec::Colour::Rgb, false, 100, 0}),
       jpeg_with_profile(picture, swap), jpeg_with_profile(picture, srgb), 6},
      {"BMP", decode_bmp, bmp_with_profile(picture, ""), bmp_with_profile(picture, swap),
       bmp_with_profile(picture, srgb), 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const PictureResult plain = decode_picture(library_decoders(), row.plain);
    ASSERT_TRUE(plain.ok) << plain.reason;
    EXPECT_TRUE(testing::pixel_near(plain.picture, 4, 8, {255, 0, 0}, row.tolerance));
    // The decoders hand the profile over; the choice of decoder applies it.
    EXPECT_EQ(row.decode(row.swapped, {}).colour_profile, swap);
    for (const PictureResult& swapped :
         {decode_picture(library_decoders(), row.swapped), decode_bytes_in_child(row.swapped)}) {
      ASSERT_TRUE(swapped.ok) << swapped.reason;
      EXPECT_TRUE(swapped.colour_profile.empty());
      EXPECT_TRUE(testing::pixel_near(swapped.picture, 4, 8, {0, 255, 0}, row.tolerance));
      EXPECT_TRUE(testing::pixel_near(swapped.picture, 27, 8, {255, 0, 0}, row.tolerance));
      EXPECT_TRUE(testing::fourth_bytes_clear(swapped.picture));
    }
    const PictureResult tagged = decode_picture(library_decoders(), row.tagged_srgb);
    ASSERT_TRUE(tagged.ok) << tagged.reason;
    ASSERT_EQ(tagged.picture.width(), plain.picture.width());
    for (int y = 0; y < plain.picture.height(); ++y) {
      for (int x = 0; x < plain.picture.width(); ++x) {
        ASSERT_EQ(tagged.picture.at(x, y), plain.picture.at(x, y)) << x << "," << y;
      }
    }
  }
  // A bitmap that links its profile by a file name leaves its colours be and
  // never opens the file, even one that holds a profile.
  testing::TempFolder dir;
  const std::string linked_file = dir / "swap.icc";
  std::ofstream(linked_file, std::ios::binary) << swap;
  const PictureResult linked =
      decode_picture(library_decoders(), bmp_with_profile(picture, linked_file + '\0', true));
  ASSERT_TRUE(linked.ok) << linked.reason;
  EXPECT_EQ(linked.picture.at(4, 8), pixel_rgb(255, 0, 0));
}

}  // namespace
}  // namespace vs
