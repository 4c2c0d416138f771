// Samples as a person sees them on the saver's black: 16-bit samples
// rounded to 8 bits, never cut, and transparent parts laid over black, with
// one rounding from the samples' own depth. Every decoder that meets such
// samples itself uses these, so the kinds agree.
#pragma once

#include <cstdint>

namespace vs {

// (v * 255 + 32767) / 65535: the nearest 8-bit value.
constexpr uint32_t round_16_to_8(uint32_t v16) {
  return (v16 * 255 + 32767) / 65535;
}

// An 8-bit sample of a colour not yet multiplied by its alpha, over black.
constexpr uint32_t over_black_8(uint32_t colour, uint32_t alpha) {
  return (colour * alpha + 127) / 255;
}

// A 16-bit sample and 16-bit alpha, over black and rounded to 8 bits.
constexpr uint32_t over_black_16(uint64_t colour, uint64_t alpha) {
  constexpr uint64_t kScale = uint64_t{65535} * 65535;
  return static_cast<uint32_t>((colour * alpha * 255 + kScale / 2) / kScale);
}

}  // namespace vs
