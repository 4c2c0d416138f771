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

#include "pictures/colour_check.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

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

// Whether the transform gives the colours of a check grid back as they were.
bool gives_colours_back(cmsHTRANSFORM transform, bool grey) {
  const std::vector<uint32_t> colours = colour_check_grid(grey);
  std::vector<uint32_t> converted(colours.size(), 0);
  cmsDoTransform(transform, colours.data(), converted.data(),
                 static_cast<cmsUInt32Number>(colours.size()));
  return colours_came_back(colours, converted);
}

}  // namespace

std::string convert_profile_to_srgb(std::string_view icc_profile, Surface& pixels) {
  const ColourProfileHeader header = read_colour_profile_header(icc_profile);
  if (!header.problem.empty()) return header.problem;
  const bool grey = header.grey;
  FirstError first_error;
  Context context(cmsCreateContext(nullptr, &first_error));
  if (!context) return "out of memory for the colour profile";
  cmsSetLogErrorHandlerTHR(context.get(), keep_first_error);
  Profile profile(cmsOpenProfileFromMemTHR(context.get(), icc_profile.data(),
                                           static_cast<cmsUInt32Number>(icc_profile.size())));
  if (!profile) return with_detail("colour profile could not be read", first_error.text);
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
