// What both editions decide about an embedded ICC profile before and after
// their system's colour engine (lcms2, WIC) sees it: whether its header
// describes pixels a decoder hands over, and whether converting by it would
// change the picture at all. Profiles of sRGB from other makers give sRGB's
// colours back within a rounding; those pictures stay exactly as decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/surface.h"

namespace vs {

// Real profiles are a few kilobytes (a printer's with large tables a few
// hundred); more is not a profile a picture needs.
inline constexpr size_t kMaxColourProfileBytes = size_t{4} << 20;

struct ColourProfileHeader {
  std::string problem;  // "" when the profile may be applied
  bool grey = false;    // a grey profile (else RGB)
};

// The header's size, class (a camera's, a display's, a printer's or a
// colour space's) and colour space (RGB or grey): problem says which is
// wrong ("colour profile is for CMYK pictures, not RGB").
ColourProfileHeader read_colour_profile_header(std::string_view icc_profile);

// The colours a conversion is first tried on: a grid through the whole
// cube, or every grey for a grey profile.
std::vector<uint32_t> colour_check_grid(bool grey);

// Whether every colour came back within a rounding.
bool colours_came_back(const std::vector<uint32_t>& sent, const std::vector<uint32_t>& got);

// Whether every pixel is a grey (a grey profile fits only such a picture).
bool all_grey(const Surface& pixels);

}  // namespace vs
