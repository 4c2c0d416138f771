// HEIF and AVIF through the choice of decoder, as the saver reads them: each
// file is made here by heif-enc or avifenc and read as libheif itself reads
// it (its primary picture, laid over black, deep samples rounded to 8 bits);
// a turn by irot; colours named by nclx codes or an ICC profile, converted
// to sRGB; and damaged files, refused by our own box walk.
#include <libheif/heif.h>

#include <functional>
#include <string>
#include <vector>

#include "kind_tools.h"
#include "picture_checks.h"
#include "pictures/byte_order.h"
#include "pictures/exif.h"
#include "pictures/heif_structure.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/nclx_profile.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

using testing::kept_mismatch;
using testing::largest_difference;
using testing::photo;
using testing::run_tool;

constexpr int kWidth = 64, kHeight = 48;
const PictureView kSmallScreen{23, 17, FitMode::FullScreen};

PictureResult decode(const std::string& file, const PictureView& view = {}) {
  return decode_picture(library_decoders(), file, view);
}

struct Reading {
  Surface pixels;
  int bits = 0;
};

// libheif's own reading of the primary picture: 8-bit or 16-bit samples of
// the picture's depth, laid over black and rounded to 8 bits.
Reading libheif_reading(const std::string& file) {
  Reading out;
  heif_context* context = heif_context_alloc();
  heif_image_handle* handle = nullptr;
  heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr);
  heif_context_get_primary_image_handle(context, &handle);
  heif_image* image = nullptr;
  if (handle != nullptr) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    out.bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    const bool deep = out.bits > 8;
    heif_decode_image(
        handle, &image, heif_colorspace_RGB,
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB),
        nullptr);
    int stride = 0;
    const uint8_t* plane =
        image ? heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride) : nullptr;
    const int w = image ? heif_image_get_width(image, heif_channel_interleaved) : 0;
    const int h = image ? heif_image_get_height(image, heif_channel_interleaved) : 0;
    const int channels = alpha ? 4 : 3, bytes = deep ? 2 : 1;
    const uint64_t max = deep ? (1u << out.bits) - 1 : 255;
    out.pixels = Surface(w, h);
    for (int y = 0; plane != nullptr && y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = plane + static_cast<size_t>(y) * stride + x * channels * bytes;
        uint64_t c[4] = {0, 0, 0, max};
        for (int k = 0; k < channels; ++k) c[k] = deep ? p[2 * k] | p[2 * k + 1] << 8 : p[k];
        auto shown = [&](uint64_t v) {
          return static_cast<uint32_t>((v * c[3] * 255 + max * max / 2) / (max * max));
        };
        out.pixels.row(y)[x] = pixel_rgb(shown(c[0]), shown(c[1]), shown(c[2]));
      }
    }
  }
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return out;
}

class HeifFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<uint8_t> alpha = testing::alpha_ramp(kWidth, kHeight);
    ASSERT_TRUE(testing::write_png(folder_ / "photo.png", source_));
    ASSERT_TRUE(testing::write_png(folder_ / "clear.png", source_, &alpha));
    ASSERT_TRUE(
        testing::write_png(folder_ / "p3.png", source_, nullptr, testing::display_p3_profile()));
  }
  // The file a tool makes of the photo (photo.png; clear.png holds it with
  // transparency, p3.png names its colours Display P3 by an ICC profile).
  // The tool's arguments come before the input, the output goes last.
  std::string made(const std::string& tool, std::vector<std::string> args,
                   const std::string& input = "photo.png") {
    const std::string out =
        folder_ / ("made" + std::to_string(count_++) + (tool == "avifenc" ? ".avif" : ".heic"));
    args.insert(args.begin(), tool);
    args.push_back(folder_ / input);
    if (tool == "heif-enc") args.push_back("-o");
    args.push_back(out);
    EXPECT_TRUE(run_tool(args));
    return testing::read_bytes(out);
  }
  std::string profile_file(const std::string& icc) {
    std::ofstream(folder_ / "profile.icc", std::ios::binary) << icc;
    return folder_ / "profile.icc";
  }

  testing::TempFolder folder_;
  const Surface source_ = photo(kWidth, kHeight);
  int count_ = 0;
};

TEST_F(HeifFiles, ReadAsLibheifReadsThem) {
  const struct {
    const char* name;
    std::string file;
    int bits;
  } cases[] = {
      {"HEIC", made("heif-enc", {"-q", "90"}), 8},
      {"HEIC with alpha", made("heif-enc", {"-q", "90"}, "clear.png"), 8},
      {"AVIF", made("avifenc", {"-s", "10"}), 8},
      {"10-bit AVIF", made("avifenc", {"-s", "10", "-d", "10"}), 10},
      {"AVIF with alpha", made("avifenc", {"-s", "10"}, "clear.png"), 8},
      {"AVIF turned by irot", made("avifenc", {"-s", "10", "--irot", "1"}), 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Reading reading = libheif_reading(c.file);
    ASSERT_EQ(reading.bits, c.bits);
    ASSERT_FALSE(reading.pixels.empty());
    const PictureResult whole = decode(c.file);
    ASSERT_TRUE(whole.ok) << whole.reason;
    EXPECT_EQ(largest_difference(whole.picture, reading.pixels), 0);
    EXPECT_TRUE(testing::fourth_bytes_clear(whole.picture));
    const PictureResult part = decode(c.file, kSmallScreen);
    ASSERT_TRUE(part.ok) << part.reason;
    EXPECT_FALSE(part.kept.whole());
    EXPECT_EQ(kept_mismatch(part, reading.pixels), "");
    const PictureResult in_child = decode_bytes_in_child(c.file, kSmallScreen);
    ASSERT_TRUE(in_child.ok) << in_child.reason;
    EXPECT_EQ(kept_mismatch(in_child, reading.pixels), "");
  }
  // Lossless, so the turn is seen on the very pixels: irot 1 is a quarter
  // anticlockwise.
  const PictureResult turned = decode(made("avifenc", {"-s", "10", "-l", "--irot", "1"}));
  ASSERT_TRUE(turned.ok) << turned.reason;
  EXPECT_EQ(largest_difference(turned.picture, orient_picture(source_, 8)), 0);
}

TEST_F(HeifFiles, NamedColoursBecomeSrgb) {
  const std::string swapped = testing::red_green_swapped_profile();
  const std::string p3 = testing::display_p3_profile();
  const std::string bt2020 =
      testing::matrix_profile({{0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}});
  // heif-enc writes no nclx box of its own; it carries a PNG's profile.
  const std::string p3_heic = made("heif-enc", {"-q", "90"}, "p3.png");
  const struct {
    const char* name;
    std::string file;
    Surface expected;
    int tolerance;
  } cases[] = {
      // Lossless AVIF (RGB kept as it is), so that only the colours change.
      {"sRGB by its codes", made("avifenc", {"-s", "10", "-l", "--cicp", "1/13/0"}), source_, 0},
      {"Display P3 by its codes", made("avifenc", {"-s", "10", "-l", "--cicp", "12/13/0"}),
       testing::in_srgb(source_, p3), 2},
      // The BT.709 camera curve is shown as sRGB's, as for BT.709 primaries.
      {"BT.2020 by its codes", made("avifenc", {"-s", "10", "-l", "--cicp", "9/1/0"}),
       testing::in_srgb(source_, bt2020), 2},
      {"an ICC profile",
       made("avifenc", {"-s", "10", "-l", "--cicp", "1/13/0", "--icc", profile_file(swapped)}),
       testing::in_srgb(source_, swapped), 1},
      {"HEIC with a Display P3 profile", p3_heic,
       testing::in_srgb(libheif_reading(p3_heic).pixels, p3), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PictureResult r = decode(c.file);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_LE(largest_difference(r.picture, c.expected), c.tolerance);
    // The conversion is not lost within the tolerance.
    if (c.tolerance > 0) {
      EXPECT_GT(largest_difference(c.expected, source_), 10);
    }
  }
}

// The high dynamic range curves put their reference white (PQ's 203 cd/m²,
// HLG's 75% signal) at 0.9 of sRGB's white, and black at black.
TEST(NclxProfiles, CodesBecomeProfiles) {
  for (int transfer : {1, 2, 6, 13, 14, 15}) {
    EXPECT_EQ(nclx_colour_profile(1, transfer), "") << transfer;
    EXPECT_EQ(nclx_colour_profile(2, transfer), "") << transfer;
  }
  const struct {
    int transfer;
    uint32_t reference_white;
  } curves[] = {{16, 148}, {18, 191}};
  for (const auto& c : curves) {
    const std::string icc = nclx_colour_profile(1, c.transfer);
    ASSERT_FALSE(icc.empty());
    Surface grey(2, 1);
    grey.row(0)[0] = pixel_rgb(c.reference_white, c.reference_white, c.reference_white);
    const Surface shown = testing::in_srgb(grey, icc);
    // 243 is sRGB's code for 0.9 of white's light.
    EXPECT_TRUE(testing::pixel_near(shown, 0, 0, {243, 243, 243}, 3)) << c.transfer;
    EXPECT_EQ(shown.at(1, 0), 0u) << c.transfer;
  }
}

size_t box_at(const std::string& file, const char* type) {
  const size_t at = file.find(type);
  return at == std::string::npos ? 0 : at - 4;
}

void put_be32(std::string& file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

TEST_F(HeifFiles, DamagedFilesAreRefusedWithAReason) {
  const std::string heic = made("heif-enc", {"-q", "50"}), avif = made("avifenc", {"-s", "10"});
  auto edited = [](std::string file, const std::function<void(std::string&)>& edit) {
    edit(file);
    return file;
  };
  auto sized = [&](uint32_t w, uint32_t h) {
    return edited(heic, [&](std::string& f) {
      put_be32(f, box_at(f, "ispe") + 12, w);
      put_be32(f, box_at(f, "ispe") + 16, h);
    });
  };
  const struct {
    const char* name;
    std::string file;
    std::string reason;
  } cases[] = {
      {"HEIC cut short", heic.substr(0, heic.size() * 2 / 3), "truncated HEIF data"},
      {"AVIF cut short", avif.substr(0, avif.size() - 10), "truncated AVIF data"},
      {"too large", sized(70000, 70000), "picture too large (70000 x 70000)"},
      {"wider than any coded picture", sized(100000, 48), "picture too large (100000 x 48)"},
      {"of no size", sized(0, 48), "picture has no size (0 x 48)"},
      {"no primary item", edited(heic, [](std::string& f) { f[box_at(f, "pitm") + 7] = 'X'; }),
       "HEIF file holds no picture"},
      {"a box past its container",
       edited(heic,
              [](std::string& f) {
                const size_t ipco = box_at(f, "ipco");
                put_be32(f, ipco, be32(bytes_of(f) + ipco) + 4000);
              }),
       "corrupt HEIF data (box larger than what holds it)"},
      {"too many items", edited(heic, [](std::string& f) { f[box_at(f, "iinf") + 12] = '\xFF'; }),
       "too many HEIF items"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(c.file).reason, c.reason) << c.name;
  }
  // Damage inside the coded picture is the codec's to find: a reason or a
  // picture, never a crash.
  std::string garbled = heic;
  const size_t mdat = box_at(garbled, "mdat");
  for (size_t i = mdat + 40; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(i * 31);
  const PictureResult r = decode(garbled);
  EXPECT_TRUE(r.ok || r.reason.starts_with("corrupt HEIF data (")) << r.reason;
}

}  // namespace
}  // namespace vs
