// What the Windows edition's picture decoder process costs: starting a
// child (which the saver does ahead of the picture), a picture handed to
// the child started ahead (a 16 x 16 BMP, whose decoding takes nothing),
// and a 6000 x 4000 JPEG made by WIC's encoder read and fitted into a
// 1920 x 1080 screen through the child against the same reading in the
// saver's own process (the file read whole, decode_picture with the view,
// the fit). Wall clock, best and median of N, taking turns within each
// round; after each task the bench waits half a second, as the saver waits
// at least a second between pictures, so that the next child is ready.
// It checks that both ways give the same screen, and fails (status 1) when
// they do not.
//
//   picture-decoder-bench [repetitions]    (under Wine: scripts/wine-run.sh)
#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../../tests/support/temp_folder.h"
#include "../../tests/win32/picture_files.h"
#include "../../tools/bmp_writer.h"
#include "core/picture_fit.h"
#include "platform/offscreen/offscreen_platform.h"
#include "platform/win32/picture_decoder_start.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/windows_decoders.h"

namespace {

double now_ms() {
  LARGE_INTEGER frequency{}, now{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Times {
  double best = 0;
  double median = 0;
};

// Each task's times over `reps` rounds, the tasks taking turns.
std::vector<Times> timed(int reps, const std::vector<std::function<void()>>& tasks) {
  std::vector<std::vector<double>> samples(tasks.size());
  for (int i = 0; i < reps; ++i) {
    for (size_t t = 0; t < tasks.size(); ++t) {
      const double t0 = now_ms();
      tasks[t]();
      samples[t].push_back(now_ms() - t0);
      Sleep(500);
    }
  }
  std::vector<Times> times;
  for (auto& s : samples) {
    std::sort(s.begin(), s.end());
    times.push_back({s.front(), s[s.size() / 2]});
  }
  return times;
}

std::string write_file(const vs::testing::TempFolder& folder, const std::string& name,
                       const std::string& bytes) {
  const std::string path = folder / name;
  std::ofstream out(vs::testing::TempFolder::from_utf8(path), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

vs::PictureResult in_process(const std::string& path, const vs::PictureView& view) {
  const vs::WholeFile file =
      vs::read_whole_file(path, static_cast<size_t>(vs::kMaxPictureFileBytes));
  return vs::decode_picture(vs::windows_decoders(), file.bytes, view);
}

vs::Surface fitted(const vs::FitPlan& plan, const vs::PictureResult& r) {
  vs::Surface out;
  if (r.ok) vs::apply_fit(plan, r.picture, r.kept, out);
  return out;
}

bool same_pixels(const vs::Surface& a, const vs::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.width() == 0) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (!std::equal(a.row(y), a.row(y) + a.width(), b.row(y))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  vs::testing::TempFolder folder("vs-bench");
  vs::OffscreenPlatform platform;

  vs::samples::BmpSpec tiny;
  tiny.width = tiny.height = 16;
  tiny.data = vs::samples::encode_rows(16, 16, 24, false, vs::testing::pattern);
  const std::string small = write_file(folder, "small.bmp", vs::samples::write_bmp(tiny));
  const vs::PictureView small_view{1920, 1080, vs::FitMode::FullScreen};
  const std::wstring saver = vs::win32::widen(platform.program_folder() + "\\Varnoscape.scr");
  const std::vector<Times> start =
      timed(reps * 2, {[&] { in_process(small, small_view); },
                       [&] { platform.load_picture(small, small_view); },
                       [&] { vs::start_decoder_child(saver, uint64_t{1280} << 20); }});
  std::printf("a 16x16 BMP, %d rounds (wall clock, ms)      best   median\n", reps * 2);
  std::printf("  %-40s %7.1f %7.1f\n", "in the saver's process", start[0].best, start[0].median);
  std::printf("  %-40s %7.1f %7.1f\n", "through the child started ahead", start[1].best,
              start[1].median);
  std::printf("  %-40s %7.1f %7.1f\n", "  what the child adds per picture",
              start[1].best - start[0].best, start[1].median - start[0].median);
  std::printf("  %-40s %7.1f %7.1f\n", "starting a child (done ahead)", start[2].best,
              start[2].median);

  const std::string jpeg_bytes = vs::testing::encode(GUID_ContainerFormatJpeg, 6000, 4000);
  if (jpeg_bytes.empty()) {
    std::fprintf(stderr, "picture-decoder-bench: WIC could not encode the JPEG\n");
    return 1;
  }
  const std::string jpeg = write_file(folder, "photo.jpg", jpeg_bytes);
  const vs::PictureView view{1920, 1080, vs::FitMode::FullScreen};
  const vs::FitPlan plan = vs::plan_fit(6000, 4000, 1920, 1080, view.mode);
  vs::Surface here, there;
  const std::vector<Times> large =
      timed(reps, {[&] { here = fitted(plan, in_process(jpeg, view)); },
                   [&] { there = fitted(plan, platform.load_picture(jpeg, view)); }});
  std::printf("6000x4000 JPEG (%zu KB) read and fitted into 1920x1080, %d rounds\n",
              jpeg_bytes.size() >> 10, reps);
  std::printf("  %-40s %7.1f %7.1f\n", "in the saver's process", large[0].best, large[0].median);
  std::printf("  %-40s %7.1f %7.1f  (%.2fx best, %.2fx median)\n", "through the decoder process",
              large[1].best, large[1].median, large[1].best / large[0].best,
              large[1].median / large[0].median);
  if (!same_pixels(here, there)) {
    std::fprintf(stderr, "picture-decoder-bench: the two ways gave different screens\n");
    return 1;
  }
  return 0;
}
