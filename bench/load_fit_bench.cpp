// Loading and fitting a 6000 x 4000 JPEG into a 1920 x 1080 screen (full
// screen) the way the saver does it: a decoder process of its own reads the
// file and sends back only the pixels the fit reads, then the fit draws them
// at the screen's size. The decode happens in another process, so times are
// on the wall clock, best of N, next to a baseline measured in the same run:
// libjpeg-turbo's bare decode of the same file in this process (a plain
// jpeg_read_scanlines loop into a buffer).
//
// The bench also checks that it measured what the program does: the pixels
// kept are those the fit reads, and their fit equals the fit of the whole
// picture decoded here. It fails (status 1) when they do not.
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
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "core/picture_fit.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"

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

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool same_pixels(const vs::Surface& a, const vs::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (!std::equal(a.row(y), a.row(y) + a.width(), b.row(y))) return false;
  }
  return true;
}

// What the saver would show, from a load's result.
vs::Surface fitted(const vs::FitPlan& plan, const vs::PictureResult& r) {
  vs::Surface out;
  if (r.ok) vs::apply_fit(plan, r.picture, r.kept, out);
  return out;
}

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

  const vs::PictureView view{1920, 1080, vs::FitMode::FullScreen};
  const vs::FitPlan plan = vs::plan_fit(kPicWidth, kPicHeight, 1920, 1080, view.mode);
  vs::PictureResult in_process, in_child;
  vs::Surface screen;
  uint64_t checksum = 0;
  const std::vector<double> t =
      vs::bench::best_of(reps,
                         {[&] { checksum += bare_decode(path); },
                          [&] { in_process = vs::decode_jpeg(read_all(path), view); },
                          [&] { in_child = vs::load_picture_file(path, view); },
                          [&] {
                            vs::PictureResult r = vs::load_picture_file(path, view);
                            screen = fitted(plan, r);
                          }},
                         vs::bench::wall_seconds);
  const double t_bare = t[0], t_decode = t[1], t_child = t[2], t_fit = t[3];

  // What was measured is what the program does.
  std::vector<std::string> wrong;
  const vs::PixelSubset want = vs::needed_pixels(view, kPicWidth, kPicHeight);
  for (const auto& [what, r] :
       {std::pair<const char*, const vs::PictureResult&>{"in this process", in_process},
        {"in the decoder process", in_child}}) {
    const std::string w = what;
    if (!r.ok) {
      wrong.push_back("decode " + w + " failed: " + r.reason);
      continue;
    }
    if (r.width() != kPicWidth || r.height() != kPicHeight) wrong.push_back("picture size " + w);
    if (want.whole() || r.kept.cols != want.cols || r.kept.rows != want.rows) {
      wrong.push_back("kept pixels " + w + " are not those the fit reads");
    }
    if (r.picture.width() != static_cast<int>(r.kept.cols.size()) ||
        r.picture.height() != static_cast<int>(r.kept.rows.size())) {
      wrong.push_back("pixels held " + w + " do not match the kept lists");
    }
  }
  const vs::Surface from_whole = fitted(plan, vs::decode_jpeg(read_all(path)));
  if (screen.width() != plan.width || screen.height() != plan.height || screen.empty()) {
    wrong.push_back("the fitted picture is not the plan's size");
  } else if (!same_pixels(screen, from_whole)) {
    wrong.push_back("the fit of the kept pixels differs from the fit of the whole picture");
  }
  checksum += screen.empty() ? 0 : screen.at(plan.width / 2, plan.height / 2);

  long file_kb = 0;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(file, 0, SEEK_END) == 0) file_kb = std::ftell(file) / 1024;
    std::fclose(file);
  }
  const double kept_mb = 4.0 * in_child.picture.width() * in_child.picture.height() / 1e6;
  const double whole_mb = 4.0 * kPicWidth * kPicHeight / 1e6;
  std::printf("load and fit, %dx%d JPEG (%ld KB) into 1920x1080, best of %d (wall clock)\n",
              kPicWidth, kPicHeight, file_kb, reps);
  std::printf("  %-50s %8.1f ms  (baseline)\n", "bare decode here (jpeg_read_scanlines, RGB)",
              t_bare * 1e3);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "our decoder here, kept pixels only",
              t_decode * 1e3, t_decode / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode\n", "load_picture_file (decoder process)",
              t_child * 1e3, t_child / t_bare);
  std::printf("  %-50s %8.1f ms  %5.2fx bare decode (target 1.3x)\n",
              "load in the decoder process + fit to the screen", t_fit * 1e3, t_fit / t_bare);
  std::printf("  kept %dx%d pixels of %dx%d (%.1f MB of %.1f MB); fitted %dx%d\n",
              in_child.picture.width(), in_child.picture.height(), kPicWidth, kPicHeight, kept_mb,
              whole_mb, screen.width(), screen.height());
  for (const std::string& w : wrong) std::printf("  WRONG: %s\n", w.c_str());
  std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(checksum));

  unlink(path.c_str());
  rmdir(folder);
  return wrong.empty() ? 0 : 1;
}
