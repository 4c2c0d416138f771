// Throughput of the relief walk on a 1920 x 1080 picture, dots and lines,
// with an event hook that does nothing, next to a plain pass that reads every
// source pixel and writes one destination pixel (the memory-bound limit).
//
//   bench_relief_bench [repetitions]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "bench_timing.h"
#include "core/surface.h"
#include "saver/relief.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A photo-like scene: hues across, lightness down, a few discs and some
// grain, so neighbouring heights differ as they do in real pictures.
vs::Surface make_scene() {
  vs::Surface s(kWidth, kHeight);
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double hue = 6.0 * x / kWidth, light = 1.0 - static_cast<double>(y) / kHeight;
      double r = std::clamp(std::fabs(hue - 3.0) - 1.0, 0.0, 1.0);
      double g = std::clamp(2.0 - std::fabs(hue - 2.0), 0.0, 1.0);
      double b = std::clamp(2.0 - std::fabs(hue - 4.0), 0.0, 1.0);
      for (int d = 0; d < 5; ++d) {
        double cx = 300 + 330 * d, cy = 250 + 120 * d, rad = 90 + 30 * d;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < rad * rad) r = g = b = 0.2 * d + 0.1;
      }
      seed = seed * 1664525u + 1013904223u;
      int grain = static_cast<int>(seed >> 28) - 8;
      auto channel = [&](double v) {
        return static_cast<uint32_t>(std::clamp(static_cast<int>(v * light * 255) + grain, 0, 255));
      };
      s.row(y)[x] = vs::pixel_rgb(channel(r), channel(g), channel(b));
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const double mpix = static_cast<double>(kWidth) * kHeight / 1e6;

  const vs::Surface picture = make_scene();
  vs::Surface display(kWidth, kHeight);
  vs::Surface out(kWidth, kHeight);
  uint64_t checksum = 0;
  auto relief = [&](int16_t way) {
    return [&picture, &display, &checksum, way] {
      vs::ReliefDrawing drawing(picture, display, way);
      drawing.draw_rows(drawing.rows());
      checksum += display.at(kWidth / 2, kHeight / 2);
    };
  };
  const std::vector<double> t = vs::bench::best_of(
      reps, {[&] {
               const uint32_t* src = picture.data();
               uint32_t* dst = out.data();
               for (size_t i = 0, n = static_cast<size_t>(kWidth) * kHeight; i < n; ++i) {
                 dst[i] = src[i];
               }
               checksum += out.at(kWidth / 2, kHeight / 2);
             },
             [&] {
               for (int y = 0; y < kHeight; ++y) {
                 const uint32_t* src = picture.row(y);
                 for (int x = 0; x < kWidth; ++x) out.set_pixel(x, y, src[x]);
               }
               checksum += out.at(kWidth / 3, kHeight / 3);
             },
             relief(2),  // copies and clears, draws nothing
             relief(0), relief(1)});
  const double t_base = t[0], t_set = t[1], t_walk = t[2], t_dots = t[3], t_lines = t[4];

  std::printf("relief walk, %dx%d picture on a %dx%d screen, best of %d runs (thread CPU time)\n",
              kWidth, kHeight, kWidth, kHeight, reps);
  auto line = [&](const char* what, double t, const char* note) {
    std::printf("  %-44s %7.2f ms %7.1f MP/s %6.2fx baseline %6.2fx per-pixel%s\n", what, t * 1e3,
                mpix / t, t / t_base, t / t_set, note);
  };
  line("baseline: read 1, write 1 pixel (memory-bound)", t_base, "");
  line("per-pixel pass through Surface::set_pixel", t_set, "");
  line("a drawing that draws nothing (copy, clear)", t_walk, "");
  line("relief drawing, dots", t_dots, "  (target 4x baseline)");
  line("relief drawing, lines", t_lines, "  (target 15x baseline)");
  std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
