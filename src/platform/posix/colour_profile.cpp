// Colour profiles applied by lcms2: a picture's colours from the ICC profile
// its file embeds to sRGB, the colours the saver's screen is taken to show.
// Perceptual intent: what a photo's maker meant it to look like, which for
// the matrix profiles of cameras and phones (Display P3, Adobe RGB) is the
// same as relative colorimetric anyway.
#include <lcms2.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

// Real profiles are a few kilobytes (a printer's with large tables a few
// hundred); more is not a profile a picture needs.
constexpr size_t kMaxProfileBytes = size_t{4} << 20;
// Profiles of sRGB from other makers give sRGB's colours back within a
// rounding; those pictures stay exactly as decoded.
constexpr int kSameColourTolerance = 1;
constexpr int kGridStep = 15;  // 0, 15, ... 255: 18 levels a channel

// Our pixels: blue, green, red and a byte kept 0, as lcms2 names it; and a
// grey picture's pixels read by their blue byte alone.
constexpr cmsUInt32Number kPixelFormat = TYPE_BGRA_8;
constexpr cmsUInt32Number kGreyPixelFormat =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

struct ContextDeleter {
  void operator()(cmsContext c) const { cmsDeleteContext(c); }
};
struct ProfileDeleter {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Context = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;
using Profile = std::unique_ptr<void, ProfileDeleter>;
using Transform = std::unique_ptr<void, TransformDeleter>;

// lcms2 would print its errors; the first is kept for the reason instead,
// without allocating inside lcms2's call.
struct FirstError {
  char text[256] = {};
};

void keep_first_error(cmsContext context, cmsUInt32Number, const char* text) {
  auto* first = static_cast<FirstError*>(cmsGetContextUserData(context));
  if (first != nullptr && first->text[0] == '\0' && text != nullptr) {
    std::snprintf(first->text, sizeof first->text, "%s", text);
  }
}

std::string with_detail(const std::string& reason, const std::string& detail) {
  return detail.empty() ? reason : reason + " (" + detail + ")";
}

std::string signature_name(cmsUInt32Number signature) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((signature >> shift) & 0xFF);
    if (c != ' ' && c >= 0x20 && c < 0x7F) name += c;
  }
  return name.empty() ? "unknown" : name;
}

bool all_grey(const Surface& pixels) {
  for (int y = 0; y < pixels.height(); ++y) {
    const uint32_t* row = pixels.row(y);
    for (int x = 0; x < pixels.width(); ++x) {
      const uint32_t p = row[x];
      if (((p >> 16) & 0xFF) != (p & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF)) return false;
    }
  }
  return true;
}

bool near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > kSameColourTolerance || d < -kSameColourTolerance) return false;
  }
  return true;
}

// Whether the transform gives every colour of a grid through the cube (every
// grey, for a grey profile) back as it was.
bool gives_colours_back(cmsHTRANSFORM transform, bool grey) {
  std::vector<uint32_t> colours;
  for (int r = 0; r <= 255; r += kGridStep) {
    if (grey) {
      for (int v = r; v < std::min(r + kGridStep, 256); ++v) {
        colours.push_back(pixel_rgb(v, v, v));
      }
      continue;
    }
    for (int g = 0; g <= 255; g += kGridStep) {
      for (int b = 0; b <= 255; b += kGridStep) colours.push_back(pixel_rgb(r, g, b));
    }
  }
  std::vector<uint32_t> converted(colours.size(), 0);
  cmsDoTransform(transform, colours.data(), converted.data(),
                 static_cast<cmsUInt32Number>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) {
    if (!near(colours[i], converted[i])) return false;
  }
  return true;
}

}  // namespace

std::string convert_profile_to_srgb(std::string_view icc_profile, Surface& pixels) {
  if (icc_profile.size() > kMaxProfileBytes) {
    return "colour profile too large (" + std::to_string(icc_profile.size()) + " bytes)";
  }
  FirstError first_error;
  Context context(cmsCreateContext(nullptr, &first_error));
  if (!context) return "out of memory for the colour profile";
  cmsSetLogErrorHandlerTHR(context.get(), keep_first_error);
  Profile profile(cmsOpenProfileFromMemTHR(context.get(), icc_profile.data(),
                                           static_cast<cmsUInt32Number>(icc_profile.size())));
  if (!profile) return with_detail("colour profile could not be read", first_error.text);
  const cmsProfileClassSignature device = cmsGetDeviceClass(profile.get());
  if (device != cmsSigInputClass && device != cmsSigDisplayClass && device != cmsSigOutputClass &&
      device != cmsSigColorSpaceClass) {
    return "colour profile is not a picture's (" + signature_name(device) + ")";
  }
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
  const bool grey = space == cmsSigGrayData;
  if (space != cmsSigRgbData && !grey) {
    return "colour profile is for " + signature_name(space) + " pictures, not RGB";
  }
  // A grey picture's pixels came out of its decoder as RGB greys.
  if (grey && !all_grey(pixels)) return "grey colour profile on a colour picture";
  Profile srgb(cmsCreate_sRGBProfileTHR(context.get()));
  if (!srgb) return "out of memory for the colour profile";
  Transform transform(cmsCreateTransformTHR(context.get(), profile.get(),
                                            grey ? kGreyPixelFormat : kPixelFormat, srgb.get(),
                                            kPixelFormat, INTENT_PERCEPTUAL, 0));
  if (!transform) return with_detail("colour profile could not be applied", first_error.text);
  if (gives_colours_back(transform.get(), grey)) return {};
  std::vector<uint32_t> line(static_cast<size_t>(pixels.width()));
  for (int y = 0; y < pixels.height(); ++y) {
    uint32_t* row = pixels.row(y);
    std::copy(row, row + pixels.width(), line.begin());
    cmsDoTransform(transform.get(), line.data(), row, static_cast<cmsUInt32Number>(pixels.width()));
    // lcms2 leaves the fourth byte alone; ours stays 0 whatever it was.
    for (int x = 0; x < pixels.width(); ++x) row[x] &= 0xFFFFFF;
  }
  return {};
}

}  // namespace vs
