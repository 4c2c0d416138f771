// WebP through the choice of decoder, as the saver reads it: each file is
// made here (by libwebp's encoder or its tools) and read as libwebp's own
// WebPDecodeRGBA reads it, laid over black; an animation's first frame, a
// colour profile and an EXIF orientation in the file's chunks; and damaged
// files, refused by our own chunk walk before libwebp sees them.
#include <webp/decode.h>
#include <webp/encode.h>

#include <functional>
#include <string>
#include <vector>

#include "../../tools/picture_writers.h"
#include "kind_tools.h"
#include "picture_checks.h"
#include "pictures/exif.h"
#include "pictures/sample_rounding.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

using testing::alpha_ramp;
using testing::interleaved;
using testing::kept_mismatch;
using testing::largest_difference;
using testing::photo;

constexpr int kWidth = 61, kHeight = 47;  // odd, as lossy chroma must handle
const PictureView kSmallScreen{23, 17, FitMode::FullScreen};

PictureResult decode(const std::string& file, const PictureView& view = {}) {
  return decode_picture(library_decoders(), file, view);
}

// libwebp's own reading of a still file, laid over black.
Surface libwebp_reading(const std::string& file) {
  int width = 0, height = 0;
  uint8_t* rgba =
      WebPDecodeRGBA(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &width, &height);
  Surface s(width, height);
  for (int i = 0; rgba != nullptr && i < width * height; ++i) {
    const uint8_t* p = rgba + 4 * i;
    s.data()[i] =
        pixel_rgb(over_black_8(p[0], p[3]), over_black_8(p[1], p[3]), over_black_8(p[2], p[3]));
  }
  WebPFree(rgba);
  return s;
}

std::string encoded(uint8_t* output, size_t size) {
  std::string file(reinterpret_cast<const char*>(output), size);
  WebPFree(output);
  return file;
}

std::string lossless(bool alpha) {
  const Surface s = photo(kWidth, kHeight);
  const std::vector<uint8_t> a = alpha_ramp(kWidth, kHeight);
  const std::vector<uint8_t> bytes = interleaved(s, alpha ? &a : nullptr);
  uint8_t* out = nullptr;
  const size_t n = alpha ? WebPEncodeLosslessRGBA(bytes.data(), kWidth, kHeight, 4 * kWidth, &out)
                         : WebPEncodeLosslessRGB(bytes.data(), kWidth, kHeight, 3 * kWidth, &out);
  return encoded(out, n);
}

std::string lossy(bool alpha) {
  const Surface s = photo(kWidth, kHeight);
  const std::vector<uint8_t> a = alpha_ramp(kWidth, kHeight);
  const std::vector<uint8_t> bytes = interleaved(s, alpha ? &a : nullptr);
  uint8_t* out = nullptr;
  const size_t n = alpha ? WebPEncodeRGBA(bytes.data(), kWidth, kHeight, 4 * kWidth, 80, &out)
                         : WebPEncodeRGB(bytes.data(), kWidth, kHeight, 3 * kWidth, 80, &out);
  return encoded(out, n);
}

void put_le(std::string& file, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
}

std::string chunk(const std::string& tag, const std::string& payload) {
  std::string c = tag + std::string(4, '\0') + payload;
  put_le(c, 4, static_cast<uint32_t>(payload.size()), 4);
  if (payload.size() % 2 == 1) c += '\0';
  return c;
}

// A simple file's picture in an extended file, with a colour profile before
// it and EXIF data after it, as the format orders them.
std::string extended(const std::string& simple, const std::string& icc, const std::string& exif) {
  const std::string bitstream = simple.substr(12);
  std::string vp8x(10, '\0');
  vp8x[0] = static_cast<char>((icc.empty() ? 0 : 0x20) | (exif.empty() ? 0 : 0x08));
  put_le(vp8x, 4, kWidth - 1, 3);
  put_le(vp8x, 7, kHeight - 1, 3);
  std::string body = "WEBP" + chunk("VP8X", vp8x);
  if (!icc.empty()) body += chunk("ICCP", icc);
  body += bitstream;
  if (!exif.empty()) body += chunk("EXIF", exif);
  std::string file = "RIFF" + std::string(4, '\0') + body;
  put_le(file, 4, static_cast<uint32_t>(body.size()), 4);
  return file;
}

TEST(WebpPictures, ReadAsLibwebpReadsThem) {
  testing::TempFolder folder;
  ASSERT_TRUE(testing::write_png(folder / "photo.png", photo(kWidth, kHeight)));
  ASSERT_TRUE(testing::run_tool(
      {"cwebp", "-quiet", "-q", "70", folder / "photo.png", "-o", folder / "c.webp"}));
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"lossless", lossless(false)},
      {"lossy", lossy(false)},
      {"lossless with alpha", lossless(true)},
      {"lossy with alpha", lossy(true)},
      {"made by cwebp", testing::read_bytes(folder / "c.webp")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Surface reading = libwebp_reading(c.file);
    ASSERT_EQ(reading.width(), kWidth);
    const PictureResult whole = decode(c.file);
    ASSERT_TRUE(whole.ok) << whole.reason;
    EXPECT_EQ(largest_difference(whole.picture, reading), 0);
    EXPECT_TRUE(testing::fourth_bytes_clear(whole.picture));
    const PictureResult part = decode(c.file, kSmallScreen);
    ASSERT_TRUE(part.ok) << part.reason;
    EXPECT_FALSE(part.kept.whole());
    EXPECT_EQ(kept_mismatch(part, reading), "");
    const PictureResult in_child = decode_bytes_in_child(c.file, kSmallScreen);
    ASSERT_TRUE(in_child.ok) << in_child.reason;
    EXPECT_EQ(kept_mismatch(in_child, reading), "");
  }
}

TEST(WebpPictures, AnAnimationShowsItsFirstFrame) {
  testing::TempFolder folder;
  const Surface first = photo(kWidth, kHeight, 1), second = photo(kWidth, kHeight, 2);
  ASSERT_TRUE(testing::write_png(folder / "1.png", first));
  ASSERT_TRUE(testing::write_png(folder / "2.png", second));
  ASSERT_TRUE(testing::run_tool({"img2webp", "-lossless", "-d", "100", folder / "1.png",
                                 folder / "2.png", "-o", folder / "a.webp"}));
  const std::string file = testing::read_bytes(folder / "a.webp");
  ASSERT_NE(file.find("ANMF"), std::string::npos);
  ASSERT_NE(largest_difference(first, second), 0);
  const PictureResult r = decode(file);
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(largest_difference(r.picture, first), 0);
  const PictureResult part = decode(file, kSmallScreen);
  ASSERT_TRUE(part.ok) << part.reason;
  EXPECT_EQ(kept_mismatch(part, first), "");
  EXPECT_EQ(decode(file.substr(0, file.size() - 20)).reason, "truncated WebP data");
}

TEST(WebpPictures, ChunksBringAColourProfileAndAnOrientation) {
  const std::string simple = lossless(false);
  const Surface reading = libwebp_reading(simple);
  // Red and green swapped by the profile: the colours shown are the
  // pixels' with those two channels exchanged.
  const std::string swapped = testing::red_green_swapped_profile();
  const PictureResult r = decode(extended(simple, swapped, ""));
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_LE(largest_difference(r.picture, testing::in_srgb(reading, swapped)), 1);
  Surface exchanged = reading;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const uint32_t p = reading.data()[i];
    exchanged.data()[i] = pixel_rgb(p >> 8 & 0xFF, p >> 16 & 0xFF, p & 0xFF);
  }
  EXPECT_LE(largest_difference(r.picture, exchanged), 2);

  // EXIF as writers put it: a TIFF header alone, or after the "Exif" mark.
  const std::string with_mark = samples::exif_payload(6);
  for (const std::string& exif : {with_mark, with_mark.substr(6)}) {
    const std::string file = extended(simple, "", exif);
    const PictureResult turned = decode(file);
    ASSERT_TRUE(turned.ok) << turned.reason;
    EXPECT_EQ(largest_difference(turned.picture, orient_picture(reading, 6)), 0);
    const PictureResult part = decode(file, kSmallScreen);
    ASSERT_TRUE(part.ok) << part.reason;
    EXPECT_EQ(kept_mismatch(part, orient_picture(reading, 6)), "");
  }
}

TEST(WebpPictures, DamagedFilesAreRefusedWithAReason) {
  const std::string still = lossless(false), lossy_still = lossy(false), canvas = lossy(true);
  ASSERT_EQ(still.substr(12, 4), "VP8L");
  ASSERT_EQ(lossy_still.substr(12, 4), "VP8 ");
  ASSERT_EQ(canvas.substr(12, 4), "VP8X");
  auto edited = [](std::string file, const std::function<void(std::string&)>& edit) {
    edit(file);
    return file;
  };
  const struct {
    const char* name;
    std::string file;
    std::string reason;
  } cases[] = {
      {"cut short", still.substr(0, still.size() / 2), "truncated WebP data"},
      {"RIFF size too small", edited(still, [](std::string& f) { put_le(f, 4, 4, 4); }),
       "corrupt WebP data (RIFF size too small)"},
      {"lossless signature", edited(still, [](std::string& f) { f[20] = 0x2E; }),
       "corrupt WebP data (bad VP8L signature)"},
      {"lossless version", edited(still, [](std::string& f) { f[24] |= 0x20; }),
       "corrupt WebP data (unknown VP8L version)"},
      {"lossless data damaged",
       edited(still, [](std::string& f) { f.replace(25, 40, std::string(40, '\xFF')); }),
       "corrupt WebP data (bitstream error)"},
      {"not a key frame", edited(lossy_still, [](std::string& f) { f[20] |= 1; }),
       "corrupt WebP data (VP8 frame is not a key frame)"},
      {"lossy signature", edited(lossy_still, [](std::string& f) { f[23] = 0; }),
       "corrupt WebP data (bad VP8 signature)"},
      {"canvas too large",
       edited(canvas,
              [](std::string& f) {
                put_le(f, 24, 19999, 3);
                put_le(f, 27, 19999, 3);
              }),
       "picture too large (20000 x 20000)"},
      {"canvas not the picture's size",
       edited(canvas, [](std::string& f) { put_le(f, 24, kWidth, 3); }),
       "corrupt WebP data (picture size differs from the canvas)"},
      {"no picture", edited(canvas.substr(0, 30), [](std::string& f) { put_le(f, 4, 22, 4); }),
       "WebP file holds no picture"},
      {"chunk past the RIFF",
       edited(still + "tail", [](std::string& f) { put_le(f, 16, f.size(), 4); }),
       "corrupt WebP data (chunk larger than what holds it)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(c.file).reason, c.reason) << c.name;
  }
}

}  // namespace
}  // namespace vs
