// Helpers of the WebP, HEIF and AVIF tests: photo-like pictures made here,
// PNG files of them for the libraries' own encoding tools, those tools run
// without a shell, and colour profiles made by lcms2.
#pragma once

#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/surface.h"
#include "platform/posix/child_process.h"

namespace vs::testing {

// Gradients, a disc and fine grain: what makes a lossy coder work.
inline Surface photo(int width, int height, uint32_t seed = 7) {
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      const int dx = x - width / 3, dy = y - height / 2;
      const bool disc = dx * dx + dy * dy < width * height / 12;
      auto level = [grain](int v) { return static_cast<uint32_t>(std::clamp(v + grain, 0, 255)); };
      s.row(y)[x] = pixel_rgb(level(disc ? 220 : 255 * x / width), level(255 * y / height),
                              level(disc ? 40 : 200 - 150 * x / width));
    }
  }
  return s;
}

// Every level of transparency somewhere, fully clear and fully opaque parts.
inline std::vector<uint8_t> alpha_ramp(int width, int height) {
  std::vector<uint8_t> alpha(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      alpha[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>(std::clamp((x * 300 / width + y * 7) % 300 - 20, 0, 255));
    }
  }
  return alpha;
}

// R, G, B (and A when alpha is given) bytes of a picture.
inline std::vector<uint8_t> interleaved(const Surface& s, const std::vector<uint8_t>* alpha) {
  std::vector<uint8_t> out;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const uint32_t p = s.at(x, y);
      out.insert(out.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                             static_cast<uint8_t>(p)});
      if (alpha) out.push_back((*alpha)[static_cast<size_t>(y) * s.width() + x]);
    }
  }
  return out;
}

// An 8-bit RGB or RGBA PNG, with an ICC profile when one is given: what
// the encoding tools take.
inline bool write_png(const std::string& path, const Surface& s,
                      const std::vector<uint8_t>* alpha = nullptr, const std::string& icc = {}) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(s.width()), static_cast<png_uint_32>(s.height()),
               8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!icc.empty()) {
    png_set_iCCP(png, info, "profile", PNG_COMPRESSION_TYPE_BASE,
                 reinterpret_cast<png_const_bytep>(icc.data()),
                 static_cast<png_uint_32>(icc.size()));
  }
  png_write_info(png, info);
  const std::vector<uint8_t> bytes = interleaved(s, alpha);
  const size_t stride = bytes.size() / static_cast<size_t>(s.height());
  for (int y = 0; y < s.height(); ++y) png_write_row(png, bytes.data() + stride * y);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// Runs one of the libraries' tools; a missing one fails the test, naming
// the Debian package that brings it.
inline ::testing::AssertionResult run_tool(const std::vector<std::string>& argv) {
  static const std::map<std::string, std::string> packages = {{"cwebp", "webp"},
                                                              {"img2webp", "webp"},
                                                              {"heif-enc", "libheif-examples"},
                                                              {"avifenc", "libavif-bin"}};
  if (find_program(argv[0]).empty()) {
    const auto package = packages.find(argv[0]);
    return ::testing::AssertionFailure()
           << argv[0] << " is missing: install Debian's "
           << (package != packages.end() ? package->second : "?") << " (bash scripts/deps.sh test)";
  }
  ChildSpec spec;
  spec.argv = argv;
  spec.wall_ms = 120000;
  spec.keep_stderr = true;
  const ChildResult r = run_child(spec);
  if (r.exited_with(0)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << argv[0] << " failed (" << static_cast<int>(r.end) << ", " << r.status << ")";
}

// An RGB matrix profile of sRGB's curve and white with these primaries.
inline std::string matrix_profile(const cmsCIExyYTRIPLE& primaries) {
  const cmsCIExyY d65{0.3127, 0.3290, 1.0};
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(curve);
  return bytes;
}

// A profile whose red is sRGB's green and whose green is sRGB's red: its
// pixels shown in sRGB have those two channels swapped.
inline std::string red_green_swapped_profile() {
  return matrix_profile({{0.30, 0.60, 1.0}, {0.64, 0.33, 1.0}, {0.15, 0.06, 1.0}});
}

inline std::string display_p3_profile() {
  return matrix_profile({{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}});
}

// The colours sRGB shows for pixels in the profile's colours, by lcms2.
inline Surface in_srgb(const Surface& pixels, const std::string& icc) {
  cmsHPROFILE from = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
  Surface out(pixels.width(), pixels.height());
  for (int y = 0; y < pixels.height(); ++y) {
    cmsDoTransform(t, pixels.row(y), out.row(y), static_cast<cmsUInt32Number>(pixels.width()));
    for (int x = 0; x < pixels.width(); ++x) out.row(y)[x] &= 0xFFFFFF;
  }
  cmsDeleteTransform(t);
  cmsCloseProfile(srgb);
  cmsCloseProfile(from);
  return out;
}

// The largest difference of one channel between two pictures of one size,
// or 256 when their sizes differ.
inline int largest_difference(const Surface& a, const Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 256;
  int most = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      for (int shift = 0; shift <= 16; shift += 8) {
        const int d = static_cast<int>((a.at(x, y) >> shift) & 0xFF) -
                      static_cast<int>((b.at(x, y) >> shift) & 0xFF);
        most = std::max(most, std::abs(d));
      }
    }
  }
  return most;
}

// Where a picture kept in part (as a view's fit reads it) differs from the
// whole one: "" when every kept pixel is the whole picture's.
inline std::string kept_mismatch(const PictureResult& part, const Surface& whole) {
  if (part.kept.whole()) return largest_difference(part.picture, whole) == 0 ? "" : "pixels differ";
  if (part.kept.width != whole.width() || part.kept.height != whole.height()) return "size differs";
  for (size_t j = 0; j < part.kept.rows.size(); ++j) {
    for (size_t i = 0; i < part.kept.cols.size(); ++i) {
      if (part.picture.at(static_cast<int>(i), static_cast<int>(j)) !=
          whole.at(part.kept.cols[i], part.kept.rows[j])) {
        return "kept pixel (" + std::to_string(part.kept.cols[i]) + ", " +
               std::to_string(part.kept.rows[j]) + ") differs";
      }
    }
  }
  return {};
}

}  // namespace vs::testing
