#include "platform/posix/nclx_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace vs {

namespace {

// H.273's chromaticities: red, green, blue and white, x and y each.
struct Chromaticities {
  double rx, ry, gx, gy, bx, by, wx, wy;
};

constexpr double kD65x = 0.3127, kD65y = 0.3290;
constexpr Chromaticities kBt709{0.640, 0.330, 0.300, 0.600, 0.150, 0.060, kD65x, kD65y};

// None for sRGB's own primaries and for codes we do not know.
std::optional<Chromaticities> chromaticities(int code) {
  switch (code) {
    case 4:  // BT.470 System M, illuminant C
      return Chromaticities{0.67, 0.33, 0.21, 0.71, 0.14, 0.08, 0.310, 0.316};
    case 5:  // BT.470 System B, G
      return Chromaticities{0.64, 0.33, 0.29, 0.60, 0.15, 0.06, kD65x, kD65y};
    case 6:  // BT.601 (SMPTE 170M), and SMPTE 240M
    case 7:
      return Chromaticities{0.630, 0.340, 0.310, 0.595, 0.155, 0.070, kD65x, kD65y};
    case 8:  // generic film, illuminant C
      return Chromaticities{0.681, 0.319, 0.243, 0.692, 0.145, 0.049, 0.310, 0.316};
    case 9:  // BT.2020 and BT.2100
      return Chromaticities{0.708, 0.292, 0.170, 0.797, 0.131, 0.046, kD65x, kD65y};
    case 11:  // DCI-P3, the cinema's white
      return Chromaticities{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351};
    case 12:  // Display P3
      return Chromaticities{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, kD65x, kD65y};
    case 22:  // EBU Tech. 3213-E
      return Chromaticities{0.630, 0.340, 0.295, 0.605, 0.155, 0.077, kD65x, kD65y};
    default:
      return std::nullopt;
  }
}

enum class Curve { Srgb, Gamma, Pq, Hlg };

Curve curve_of(int transfer, double& gamma) {
  switch (transfer) {
    case 4:
      gamma = 2.2;
      return Curve::Gamma;
    case 5:
      gamma = 2.8;
      return Curve::Gamma;
    case 8:
      gamma = 1.0;
      return Curve::Gamma;
    case 17:
      gamma = 2.6;
      return Curve::Gamma;
    case 16:
      return Curve::Pq;
    case 18:
      return Curve::Hlg;
    default:
      return Curve::Srgb;
  }
}

// Light relative to the reference white (which is 1) brought within the
// display's white: unchanged up to the knee, then rolled off towards 1.
double tone_mapped(double light) {
  constexpr double kKnee = 0.8;
  if (light <= kKnee) return light;
  const double over = (light - kKnee) / (1 - kKnee);
  return kKnee + (1 - kKnee) * over / (1 + over);
}

// SMPTE ST 2084's signal to light, in units of 203 cd/m² (BT.2408's
// reference white).
double pq_light(double signal) {
  constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
  constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
  const double p = std::pow(signal, 1 / m2);
  return std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1) * 10000 / 203;
}

// HLG's signal to scene light, in units of its reference white (a 75%
// signal).
double hlg_light(double signal) {
  constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
  auto light = [](double e) { return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12; };
  return light(signal) / light(0.75);
}

cmsToneCurve* build_curve(Curve curve, double gamma) {
  switch (curve) {
    case Curve::Srgb: {
      const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return cmsBuildParametricToneCurve(nullptr, 4, srgb);
    }
    case Curve::Gamma:
      return cmsBuildGamma(nullptr, gamma);
    case Curve::Pq:
    case Curve::Hlg:
      break;
  }
  constexpr int kEntries = 4096;
  std::vector<cmsUInt16Number> table(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    const double signal = static_cast<double>(i) / (kEntries - 1);
    const double light = tone_mapped(curve == Curve::Pq ? pq_light(signal) : hlg_light(signal));
    table[static_cast<size_t>(i)] =
        static_cast<cmsUInt16Number>(std::lround(std::clamp(light, 0.0, 1.0) * 65535));
  }
  return cmsBuildTabulatedToneCurve16(nullptr, kEntries, table.data());
}

struct CurveRelease {
  void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
struct ProfileRelease {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};

}  // namespace

std::string nclx_colour_profile(int colour_primaries, int transfer_characteristics) {
  const std::optional<Chromaticities> coded = chromaticities(colour_primaries);
  double gamma = 1;
  const Curve curve = curve_of(transfer_characteristics, gamma);
  if (!coded && curve == Curve::Srgb) return {};
  const Chromaticities c = coded.value_or(kBt709);
  const std::unique_ptr<cmsToneCurve, CurveRelease> tone(build_curve(curve, gamma));
  if (!tone) return {};
  const cmsCIExyY white{c.wx, c.wy, 1.0};
  const cmsCIExyYTRIPLE primaries{{c.rx, c.ry, 1.0}, {c.gx, c.gy, 1.0}, {c.bx, c.by, 1.0}};
  cmsToneCurve* curves[3] = {tone.get(), tone.get(), tone.get()};
  const std::unique_ptr<void, ProfileRelease> profile(
      cmsCreateRGBProfile(&white, &primaries, curves));
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
  std::string bytes(size, '\0');
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  bytes.resize(size);
  return bytes;
}

}  // namespace vs
