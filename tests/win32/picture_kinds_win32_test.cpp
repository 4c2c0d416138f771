// The Windows edition's later picture kinds: PNG and TIFF as WIC decodes
// them, compared with the samples the files were made from (transparency
// over black, 16-bit samples rounded, palettes, interlacing, LZW, a turned
// and a many-page TIFF); the reasons for the kinds whose decoder the system
// lacks (Wine has none for WebP, HEIF and AVIF); embedded colour profiles.
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "picture_files.h"
#include "pictures/decoders.h"
#include "platform/win32/windows_decoders.h"

namespace vs {
namespace {

using Microsoft::WRL::ComPtr;
using testing::PngSpec;
using testing::TiffPage;

// What a person sees of a sample over black, by its alpha, both of
// `full` levels: the nearest of 256.
uint32_t seen(double sample, double alpha, double full) {
  return static_cast<uint32_t>(std::lround(sample * alpha * 255 / (full * full)));
}

// Samples all over their range, low bytes included, so that cutting a
// 16-bit sample to 8 instead of rounding it shows.
unsigned sample8(int x, int y, int c) {
  return static_cast<unsigned>(x * 37 + y * 91 + c * 53 + (x * y) % 7 * 11) % 256;
}
unsigned sample16(int x, int y, int c) {
  return static_cast<unsigned>(x * 4099 + y * 7919 + c * 15013 + x * y * 131) % 65536;
}
unsigned alpha8(int x, int y) {
  return static_cast<unsigned>(x * 29 + y * 13) % 256;
}
unsigned alpha16(int x, int y) {
  return static_cast<unsigned>(x * 7001 + y * 3011) % 65536;
}

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct KindCase {
  const char* name;
  std::string file;
  int width;  // as shown
  int height;
  std::function<uint32_t(int, int)> expected;
};

using Samples = std::function<std::vector<unsigned>(int, int)>;
using Expected = std::function<uint32_t(int, int)>;

Samples rgb_samples(int depth) {
  return [depth](int x, int y) {
    if (depth == 8)
      return std::vector<unsigned>{sample8(x, y, 0), sample8(x, y, 1), sample8(x, y, 2)};
    return std::vector<unsigned>{sample16(x, y, 0), sample16(x, y, 1), sample16(x, y, 2)};
  };
}

Samples rgba_samples(int depth) {
  return [depth](int x, int y) {
    std::vector<unsigned> s = rgb_samples(depth)(x, y);
    s.push_back(depth == 8 ? alpha8(x, y) : alpha16(x, y));
    return s;
  };
}

// The pixels rgb_samples or rgba_samples make, as seen over black.
Expected seen_pixels(int depth, bool with_alpha) {
  return [=](int x, int y) {
    const double full = depth == 8 ? 255 : 65535;
    const std::vector<unsigned> s = (with_alpha ? rgba_samples(depth) : rgb_samples(depth))(x, y);
    const double alpha = with_alpha ? s[3] : full;
    return pixel_rgb(seen(s[0], alpha, full), seen(s[1], alpha, full), seen(s[2], alpha, full));
  };
}

Samples grey_samples(int depth, bool with_alpha) {
  return [=](int x, int y) {
    std::vector<unsigned> s{depth == 8 ? sample8(x, y, 1) : sample16(x, y, 1)};
    if (with_alpha) s.push_back(depth == 8 ? alpha8(x, y) : alpha16(x, y));
    return s;
  };
}

Expected seen_greys(int depth, bool with_alpha) {
  return [=](int x, int y) {
    const double full = depth == 8 ? 255 : 65535;
    const std::vector<unsigned> s = grey_samples(depth, with_alpha)(x, y);
    const uint32_t v = seen(s[0], with_alpha ? s[1] : full, full);
    return pixel_rgb(v, v, v);
  };
}

std::vector<KindCase> png_cases() {
  using testing::make_png;
  // Sixteen colours, some of them partly or wholly transparent.
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t alpha = i % 4 == 0 ? 0 : i % 4 == 1 ? 90 : i % 4 == 2 ? 200 : 255;
    palette.push_back(alpha << 24 | (i * 53 % 256) << 16 | (i * 97 % 256) << 8 | (i * 151 % 256));
  }
  auto index = [](int x, int y) { return static_cast<unsigned>(x + 3 * y) % 16; };
  auto palette_seen = [=](int x, int y) {
    const uint32_t c = palette[index(x, y)], a = c >> 24;
    return pixel_rgb(seen((c >> 16) & 0xFF, a, 255), seen((c >> 8) & 0xFF, a, 255),
                     seen(c & 0xFF, a, 255));
  };
  return {
      {"PNG RGBA, 8 bits", make_png(23, 17, 8, 6, rgba_samples(8)), 23, 17, seen_pixels(8, true)},
      {"PNG RGBA, 16 bits", make_png(23, 17, 16, 6, rgba_samples(16)), 23, 17,
       seen_pixels(16, true)},
      {"PNG RGB, 16 bits", make_png(19, 13, 16, 2, rgb_samples(16)), 19, 13,
       seen_pixels(16, false)},
      {"PNG grey, 16 bits", make_png(21, 9, 16, 0, grey_samples(16, false)), 21, 9,
       seen_greys(16, false)},
      {"PNG grey and alpha, 8 bits", make_png(17, 11, 8, 4, grey_samples(8, true)), 17, 11,
       seen_greys(8, true)},
      {"PNG palette of 4 bits, with transparency",
       make_png(
           15, 10, 4, 3, [=](int x, int y) { return std::vector<unsigned>{index(x, y)}; }, false,
           palette),
       15, 10, palette_seen},
      {"PNG interlaced RGB, 8 bits", make_png(13, 11, 8, 2, rgb_samples(8), true), 13, 11,
       seen_pixels(8, false)},
      {"PNG interlaced RGBA, 16 bits", make_png(9, 7, 16, 6, rgba_samples(16), true), 9, 7,
       seen_pixels(16, true)},
  };
}

std::vector<KindCase> tiff_cases() {
  using testing::tiff_page;
  using testing::write_tiff;
  const Expected rgb8 = seen_pixels(8, false);
  auto white = [](int, int) { return std::vector<unsigned>{255, 255, 255}; };
  return {
      {"LZW TIFF RGB, 8 bits", write_tiff({tiff_page(31, 19, rgb_samples(8))}), 31, 19, rgb8},
      {"LZW TIFF RGBA, 8 bits", write_tiff({tiff_page(29, 17, rgba_samples(8), 8, 4)}), 29, 17,
       seen_pixels(8, true)},
      // Enough samples for the LZW codes to grow to 12 bits and start over.
      // (In the machine's byte order: Wine 8 hands a big-endian file's 16-bit
      // samples over unswapped, where Windows swaps them.)
      {"LZW TIFF RGB, 16 bits", write_tiff({tiff_page(48, 40, rgb_samples(16), 16)}), 48, 40,
       seen_pixels(16, false)},
      {"LZW TIFF RGB, 8 bits, big-endian", write_tiff({tiff_page(33, 21, rgb_samples(8))}, true),
       33, 21, rgb8},
      {"LZW TIFF grey, 8 bits", write_tiff({tiff_page(12, 8, grey_samples(8, false), 8, 1)}), 12, 8,
       seen_greys(8, false)},
      // Orientation 6: the stored rows are the picture's columns, right to
      // left.
      {"LZW TIFF turned a quarter clockwise",
       write_tiff({tiff_page(7, 5, rgb_samples(8), 8, 3, 6)}), 5, 7,
       [=](int x, int y) { return rgb8(y, 5 - 1 - x); }},
      {"LZW TIFF of two pages",
       write_tiff({tiff_page(8, 6, rgb_samples(8)), tiff_page(10, 9, white)}), 8, 6, rgb8},
  };
}

// Files whose every sample is known come out as a person sees them: over
// black, 16-bit samples rounded to the nearest 8-bit value (not cut), the
// palette's transparency, all of an interlaced picture's passes, LZW strips
// in either byte order, a TIFF turned by its orientation, and a TIFF's
// first page only.
TEST(Win32PictureKinds, PngAndTiffComeOutAsTheyWereMade) {
  std::vector<KindCase> cases = png_cases();
  for (KindCase& c : tiff_cases()) cases.push_back(std::move(c));
  for (const KindCase& c : cases) {
    const PictureKind kind = detect_picture_kind(c.file);
    ASSERT_TRUE(kind == PictureKind::Png || kind == PictureKind::Tiff) << c.name;
    const PictureResult r = decode_picture(windows_decoders(), c.file);
    ASSERT_TRUE(r.ok) << c.name << ": " << r.reason;
    ASSERT_EQ(r.picture.width(), c.width) << c.name;
    ASSERT_EQ(r.picture.height(), c.height) << c.name;
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        if (r.picture.at(x, y) != c.expected(x, y) && ++wrong <= 3) {
          ADD_FAILURE() << c.name << " at " << x << "," << y << ": " << std::hex
                        << r.picture.at(x, y) << " instead of " << c.expected(x, y);
        }
      }
    }
    EXPECT_EQ(wrong, 0) << c.name;
  }
}

// A kind whose decoder the system lacks is refused with a reason naming what
// to install, whatever the file holds: the decoder is looked for before
// the file is read. Wine has none of these three; a Windows that has one
// must still refuse these files, which hold no picture.
TEST(Win32PictureKinds, MissingDecodersNameTheExtension) {
  std::string vp8l("\x2f\x00\x00\x00\x00", 5);
  std::string webp("RIFF", 4);
  testing::put_be32(webp, 0);
  webp += "WEBPVP8L" + std::string("\x05\0\0\0", 4) + vp8l + '\0';
  webp[4] = static_cast<char>(webp.size() - 8);
  const std::string heic(
      "\0\0\0\x18"
      "ftypheic\0\0\0\0mif1heic",
      24);
  const std::string avif(
      "\0\0\0\x1c"
      "ftypavif\0\0\0\0avifmif1miaf",
      28);
  const struct {
    std::string file;
    PictureKind kind;
    const GUID* container;
    const char* reason;
  } cases[] = {
      {webp, PictureKind::Webp, &GUID_ContainerFormatWebp,
       "no decoder for WebP pictures on this system (install \"Webp Image Extensions\" from the "
       "Microsoft Store)"},
      {webp.substr(0, 12), PictureKind::Webp, &GUID_ContainerFormatWebp,
       "no decoder for WebP pictures on this system (install \"Webp Image Extensions\" from the "
       "Microsoft Store)"},
      {heic, PictureKind::Heif, &GUID_ContainerFormatHeif,
       "no decoder for HEIF pictures on this system (install \"HEIF Image Extensions\" and "
       "\"HEVC Video Extensions\" from the Microsoft Store)"},
      {avif, PictureKind::Avif, &GUID_ContainerFormatHeif,
       "no decoder for AVIF pictures on this system (install \"AV1 Video Extension\" from the "
       "Microsoft Store)"},
  };
  testing::ComThread com;
  ComPtr<IWICImagingFactory> factory;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&factory))));
  for (const auto& c : cases) {
    ASSERT_EQ(detect_picture_kind(c.file), c.kind) << c.reason;
    ComPtr<IWICBitmapDecoder> decoder;
    const bool system_has_one = SUCCEEDED(factory->CreateDecoder(*c.container, nullptr, &decoder));
    if (running_under_wine()) {
      EXPECT_FALSE(system_has_one) << "Wine now decodes: " << c.reason;
    }
    const PictureResult r = decode_picture(windows_decoders(), c.file);
    EXPECT_FALSE(r.ok) << c.reason;
    EXPECT_TRUE(r.picture.empty()) << c.reason;
    if (system_has_one) {
      EXPECT_FALSE(r.reason.empty()) << c.reason;
    } else {
      EXPECT_EQ(r.reason, c.reason);
    }
  }
}

// A JPEG file with an ICC profile in an APP2 segment after its start marker.
std::string with_icc_segment(const std::string& jpeg, const std::string& profile) {
  std::string payload = std::string("ICC_PROFILE\0\x01\x01", 14) + profile;
  std::string segment("\xFF\xE2", 2);
  testing::put_be16(segment, static_cast<unsigned>(payload.size() + 2));
  return jpeg.substr(0, 2) + segment + payload + jpeg.substr(2);
}

std::string system_srgb_profile() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  const std::filesystem::path path =
      std::wstring(folder, n) + L"\\spool\\drivers\\color\\sRGB Color Space Profile.icm";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The profile a PNG (iCCP), a TIFF (its ICC tag) or a JPEG (APP2) embeds is
// handed over with the pixels, and decode_picture converts by it: the
// system's own sRGB profile leaves every pixel as it was; a profile that
// swaps red and green swaps them. Wine's colour transform ignores profiles
// (it only copies the pixels), so under Wine the swap cannot be shown: the
// pixels must then come out exactly as decoded; nor does Wine's JPEG
// decoder report a JPEG's profile.
TEST(Win32PictureKinds, EmbeddedColourProfilesGoToSrgb) {
  const std::string swap = testing::swapping_profile();
  auto colours = [](int x, int y) {
    return std::vector<unsigned>{(40u + 50u * static_cast<unsigned>(x)) % 256,
                                 20u + 30u * static_cast<unsigned>(y), 90};
  };
  const std::string png =
      testing::make_png(5, 4, 8, 2, colours, false, {}, testing::iccp_chunk(swap));
  const std::string tiff = testing::write_tiff({testing::tiff_page(5, 4, colours, 8, 3, 0, swap)});
  const std::string jpeg =
      with_icc_segment(testing::encode(GUID_ContainerFormatJpeg, 32, 16), swap);
  const std::string plain = testing::make_png(5, 4, 8, 2, colours);
  const struct {
    const char* name;
    PictureResult result;
    std::string profile;
  } handed[] = {
      {"PNG", decode_png(png), swap},
      {"TIFF", decode_tiff(tiff), swap},
      // Wine's JPEG decoder reports no colour contexts.
      {"JPEG", decode_jpeg(jpeg), running_under_wine() ? "" : swap},
      {"PNG without a profile", decode_png(plain), ""},
  };
  for (const auto& h : handed) {
    ASSERT_TRUE(h.result.ok) << h.name << ": " << h.result.reason;
    // (Compared as a whole; a profile's bytes make an unreadable message.)
    EXPECT_TRUE(h.result.colour_profile == h.profile)
        << h.name << ": " << h.result.colour_profile.size() << " bytes of profile, not "
        << h.profile.size();
  }

  const PictureResult as_decoded = decode_png(png);
  const std::string srgb = system_srgb_profile();
  ASSERT_FALSE(srgb.empty()) << "no sRGB profile in the system's colour folder";
  Surface pixels = as_decoded.picture;
  EXPECT_EQ(convert_profile_to_srgb(srgb, pixels), "");
  EXPECT_TRUE(std::equal(pixels.data(), pixels.data() + 5 * 4, as_decoded.picture.data()))
      << "the system's sRGB profile changed colours";

  for (const std::string& file : {png, tiff}) {
    const PictureResult shown = decode_picture(windows_decoders(), file);
    ASSERT_TRUE(shown.ok) << shown.reason;
    EXPECT_TRUE(shown.colour_profile.empty());
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        const uint32_t before = as_decoded.picture.at(x, y), after = shown.picture.at(x, y);
        if (running_under_wine()) {
          EXPECT_EQ(after, before) << x << "," << y;
          continue;
        }
        const uint32_t swapped =
            pixel_rgb((before >> 8) & 0xFF, (before >> 16) & 0xFF, before & 0xFF);
        for (int shift : {0, 8, 16}) {
          EXPECT_NEAR(static_cast<int>((after >> shift) & 0xFF),
                      static_cast<int>((swapped >> shift) & 0xFF), 3)
              << x << "," << y << ": " << std::hex << after << " instead of " << swapped;
        }
      }
    }
  }
  if (running_under_wine()) {
    std::printf(
        "note: Wine's colour transform copies pixels unchanged; the swap is shown on Windows "
        "only\n");
  }
}

}  // namespace
}  // namespace vs
