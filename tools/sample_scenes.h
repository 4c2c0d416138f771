// What the sample pictures show, as functions of the pixel position: the
// generator draws them, and the tests check the decoded pictures against
// the same functions.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/surface.h"

namespace vs::samples {

struct Rgb {
  int r, g, b;
};

inline uint32_t to_pixel(Rgb c) {
  return pixel_rgb(static_cast<uint32_t>(c.r), static_cast<uint32_t>(c.g),
                   static_cast<uint32_t>(c.b));
}

inline Rgb mix(Rgb a, Rgb b, double t) {
  auto lerp = [t](int u, int v) { return static_cast<int>(std::lround(u + (v - u) * t)); };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

inline bool in_circle(double x, double y, double cx, double cy, double r) {
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// A landscape: sky fading to a warm horizon, a sun, dark hills, and a green
// ground getting lighter towards the viewer. Flat shapes on smooth
// gradients: a good relief, and easy to check after lossy coding.
struct Landscape {
  int width, height;
  static constexpr Rgb kSkyTop{30, 60, 160}, kHorizon{250, 180, 120};
  static constexpr Rgb kGroundFar{40, 120, 40}, kGroundNear{110, 210, 80};
  static constexpr Rgb kSun{255, 230, 80}, kHill{20, 80, 40};

  double horizon() const { return height * 0.6; }
  double sun_x() const { return width * 0.72; }
  double sun_y() const { return height * 0.28; }
  double sun_r() const { return height * 0.1; }

  Rgb at(int x, int y) const {
    const double px = x + 0.5, py = y + 0.5;
    if (in_circle(px, py, sun_x(), sun_y(), sun_r())) return kSun;
    if (in_circle(px, py, width * 0.22, horizon(), height * 0.16) ||
        in_circle(px, py, width * 0.45, horizon(), height * 0.09)) {
      return kHill;
    }
    if (py < horizon()) return mix(kSkyTop, kHorizon, py / horizon());
    return mix(kGroundFar, kGroundNear, (py - horizon()) / (height - horizon()));
  }
};

// Concentric rings in a ramp of 256 colours around an off-centre point:
// the palettised scene (BMP 1 to 8 bits, GIF).
struct Rings {
  int width, height;
  int colours = 256;

  // Palette entry i of the ramp: dark blue through magenta and orange to pale
  // yellow.
  static Rgb ramp(int i, int count) {
    const double t = count > 1 ? static_cast<double>(i) / (count - 1) : 0;
    if (t < 0.5) return mix(Rgb{10, 20, 90}, Rgb{200, 40, 150}, t * 2);
    return mix(Rgb{200, 40, 150}, Rgb{255, 240, 170}, (t - 0.5) * 2);
  }
  std::vector<uint32_t> palette() const {
    std::vector<uint32_t> p;
    for (int i = 0; i < colours; ++i) p.push_back(to_pixel(ramp(i, colours)));
    return p;
  }
  int index(int x, int y) const {
    const double dx = x - width * 0.4, dy = y - height * 0.45;
    const double d = std::sqrt(dx * dx + dy * dy);
    // A band every 12 pixels, walking up and down the ramp.
    const int band = static_cast<int>(d / 12) % 16;
    if (colours == 2) return band % 2;
    const int level = band < 8 ? band : 15 - band;
    return (level * (colours - 1)) / 7;
  }
  uint32_t pixel(int x, int y) const { return palette()[static_cast<size_t>(index(x, y))]; }
};

// Stripes across a slow diagonal gradient, for run-length coding: long runs
// of one colour, with a few shapes breaking them.
struct Stripes {
  int width, height;
  static constexpr int kColours = 16;

  static Rgb ramp(int i) { return mix(Rgb{0, 40, 80}, Rgb{240, 250, 200}, i / 15.0); }
  std::vector<uint32_t> palette() const {
    std::vector<uint32_t> p;
    for (int i = 0; i < kColours; ++i) p.push_back(to_pixel(ramp(i)));
    return p;
  }
  int index(int x, int y) const {
    if (in_circle(x + 0.5, y + 0.5, width * 0.7, height * 0.35, height * 0.2)) return 15;
    if (x > width / 8 && x < width / 3 && y > height / 2 && y < height * 7 / 8) return 2;
    return (y / 8 + x / (width / 4)) % 12 + 1;
  }
};

// The landscape as it should be seen, and the pixel stored at (x, y) when a
// camera saved it on its side with EXIF orientation 6 (to be turned a
// quarter clockwise for viewing): stored is the upright view turned a
// quarter anticlockwise.
struct SidewaysPhoto {
  int upright_width, upright_height;
  Landscape upright() const { return {upright_width, upright_height}; }
  int stored_width() const { return upright_height; }
  int stored_height() const { return upright_width; }
  Rgb stored_at(int x, int y) const { return upright().at(upright_width - 1 - y, x); }
};

// The metafile scene, drawn on a grid of 64 x 48 units: sky, ground, a sun,
// a mountain, a lake and a house, each a flat brush colour.
struct MetafileScene {
  static constexpr int kGridW = 64, kGridH = 48;
  static constexpr Rgb kSky{120, 170, 230}, kGround{60, 140, 50}, kSun{255, 210, 40};
  static constexpr Rgb kMountain{120, 90, 70}, kLake{40, 90, 200}, kHouse{200, 40, 40};

  struct Check {
    int gx, gy;  // a grid point well inside one shape
    Rgb colour;
  };
  static std::vector<Check> checks() {
    return {{2, 2, kSky},   {60, 20, kSky},      {2, 46, kGround}, {62, 46, kGround},
            {50, 10, kSun}, {20, 24, kMountain}, {18, 40, kLake},  {44, 31, kHouse}};
  }
};

}  // namespace vs::samples
