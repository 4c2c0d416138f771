// Loading and fitting a 6000 x 4000 JPEG into a 1920 x 1080 screen
// (Next_Picture, full screen), next to libjpeg-turbo's bare decode of the
// same file: a plain jpeg_read_scanlines loop into a buffer.
//
//   bench_load_fit_bench [repetitions]
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "platform/offscreen/offscreen_platform.h"
#include "saver/slide_show.h"
#include "settings/play_order.h"

namespace {

constexpr int kPicWidth = 6000;
constexpr int kPicHeight = 4000;

// A photo-like picture: soft gradients, discs and fine grain, which is what
// makes a camera's JPEG large and slow to decode.
bool write_test_jpeg(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = kPicWidth;
  c.image_height = kPicHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(kPicWidth) * 3);
  uint32_t seed = 99;
  for (int y = 0; y < kPicHeight; ++y) {
    for (int x = 0; x < kPicWidth; ++x) {
      double u = static_cast<double>(x) / kPicWidth, v = static_cast<double>(y) / kPicHeight;
      double r = 0.5 + 0.5 * std::sin(6.0 * u + 1.0), g = 0.3 + 0.6 * v, b = 1.0 - 0.7 * u * v;
      for (int d = 0; d < 6; ++d) {
        double cx = 700.0 + 900.0 * d, cy = 800.0 + 450.0 * d, rad = 300.0 + 60.0 * d;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < rad * rad) r *= 0.4, g *= 0.8;
      }
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 27) - 16;
      auto channel = [grain](double c) {
        return static_cast<JSAMPLE>(std::clamp(static_cast<int>(c * 255.0) + grain, 0, 255));
      };
      row[3 * x] = channel(r), row[3 * x + 1] = channel(g), row[3 * x + 2] = channel(b);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(file) == 0;
}

// The bare decode: the library's defaults, RGB rows into one buffer.
uint64_t bare_decode(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_stdio_src(&c, file);
  jpeg_read_header(&c, TRUE);
  jpeg_start_decompress(&c);
  const size_t stride = static_cast<size_t>(c.output_width) * c.output_components;
  std::vector<JSAMPLE> pixels(stride * c.output_height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW rows[1] = {pixels.data() + stride * c.output_scanline};
    jpeg_read_scanlines(&c, rows, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  std::fclose(file);
  return pixels[pixels.size() / 2];
}

class NoRandom : public vs::RandomSource {
 public:
  void reseed_from_clock() override {}
  double next_unit() override { return 0.0; }
};

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char folder[] = "/tmp/varnoscape-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = std::string(folder) + "/big.jpg";
  if (!write_test_jpeg(path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }

  vs::OffscreenPlatform platform;
  vs::Settings settings;
  settings.picture_size = 1;  // full screen
  vs::Catalogue catalogue;
  catalogue.count = 1;
  catalogue.files = {"", path};
  vs::SlideShow f;
  f.play_order = {0, 1};
  f.screen_width = 1920;
  f.screen_height = 1080;
  NoRandom rng;

  uint64_t checksum = 0;
  const std::vector<double> t =
      vs::bench::best_of(reps, {[&] { checksum += bare_decode(path); },
                                [&] {
                                  vs::PictureResult r = platform.load_picture(path);
                                  checksum += r.ok ? r.picture.at(100, 100) : 0;
                                },
                                [&] {
                                  vs::next_picture(
                                      f, settings, catalogue,
                                      [&](const std::string& file, const vs::PictureView& view) {
                                        return platform.load_picture(file, view);
                                      },
                                      rng);
                                  checksum += f.fitted.at(960, 540);
                                }});
  const double t_bare = t[0], t_load = t[1], t_fit = t[2];
  const bool fitted =
      f.loaded.width() == kPicWidth && f.fitted.width() == 1920 && f.fitted.height() == 1080;

  std::printf(
      "load and fit, %dx%d JPEG (%ld KB) into 1920x1080, best of %d (thread CPU time)\n", kPicWidth,
      kPicHeight,
      [&] {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        long size = 0;
        if (file && std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
        if (file) std::fclose(file);
        return size / 1024;
      }(),
      reps);
  std::printf("  %-46s %8.1f ms\n", "bare decode (jpeg_read_scanlines, RGB)", t_bare * 1e3);
  std::printf("  %-46s %8.1f ms  %5.2fx bare decode\n", "load_picture (decode to a Surface)",
              t_load * 1e3, t_load / t_bare);
  std::printf("  %-46s %8.1f ms  %5.2fx bare decode (target 1.3x)\n",
              "Next_Picture, full screen (load + fit)", t_fit * 1e3, t_fit / t_bare);
  std::printf("  (checksum %llu%s)\n", static_cast<unsigned long long>(checksum),
              fitted ? "" : ", PICTURE NOT LOADED");

  unlink(path.c_str());
  rmdir(folder);
  return fitted ? 0 : 1;
}
