// HEIF and AVIF pictures may name their colours by code (an `nclx` colour
// box: primaries, transfer and matrix, as ITU-T H.273 numbers them) rather
// than by an ICC profile. The colour conversion to sRGB takes ICC profiles,
// so such codes are turned into the equivalent one here, by lcms2.
#pragma once

#include <string>

namespace vs {

// The ICC profile (a matrix and three tone curves) of pixels coded with
// these primaries and transfer; "" for sRGB's own, which the pixels keep
// unchanged:
// - primaries: BT.709 (1, sRGB's), unspecified (2) and codes we do not know
//   are sRGB's; the others by H.273's chromaticities and white point.
// - transfer: sRGB's (13), and the BT.709 family of camera curves (1, 6, 7,
//   11, 12, 14, 15), which pictures coded with it are made to be seen with
//   on a display of sRGB's curve, unspecified (2) and codes we do not know
//   are sRGB's curve; gamma 2.2 (4), 2.8 (5) and 2.6 (17) and linear (8)
//   are those curves. PQ (16) and HLG (18), for high dynamic range, are
//   tone-mapped simply: their reference white (203 cd/m², HLG's 75% signal)
//   falls at 0.9 of sRGB's white, brighter colours roll off towards white.
std::string nclx_colour_profile(int colour_primaries, int transfer_characteristics);

}  // namespace vs
