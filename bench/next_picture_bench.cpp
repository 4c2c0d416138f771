// The time from the end of one drawing to the start of the next, which
// should be the one-second pause however large the next picture is: the
// real SaverScreen on the offscreen backend, but on the real clock (its
// waits are real waits that a load's end cuts short), with the real loads
// (the confined decoder process, started ahead of its picture) of three
// photo-like pictures of one kind on a 1920 x 1080 screen, full screen.
//
//   bench_next_picture_bench FOLDER jpeg|heic [pauses] [rows per second]
//
// draws at the given pace: 60 rows a second by default, as the saver does
// (a drawing then lasts 18 s), 0 as fast as possible (the drawing then
// hides the least of a load: only the pause is left for it). It
// makes FOLDER's pictures when they are not there yet (a 6000 x 4000 JPEG,
// a 4000 x 3000 HEIC), prints one line per pause and a summary line
//   gaps <kind>: median <ms> worst <ms>
// which bench/next_picture_timing.sh sets beside the same of another build.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "photo_pictures.h"
#include "platform/background_load.h"
#include "platform/offscreen/offscreen_platform.h"
#include "saver/pacer.h"
#include "saver/saver_screen.h"
#include "settings/play_order.h"

namespace {

constexpr int kPictures = 3;
// Longer than any stretch between two presents of one drawing, shorter
// than the pause.
constexpr int64_t kPauseSeenUs = 500000;

// The offscreen backend on the real clock. Each present is timed; once
// enough pauses have been seen, the next wait answers with a key.
class RealClockPlatform : public vs::OffscreenPlatform {
 public:
  explicit RealClockPlatform(size_t pauses) : pauses_(pauses) {}

  std::vector<int64_t> gaps_us;  // from a drawing's last present to the next's first
  std::atomic<int> failed_loads{0};

  struct EndedNow {};
  [[noreturn]] void end_program_now(int) override { throw EndedNow{}; }

  int64_t now_us() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }
  void sleep_ms(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::unique_ptr<vs::BackgroundLoad> start_picture_load(const std::string& path,
                                                         const vs::PictureView& view) override {
    return Platform::start_picture_load(path, view);  // a thread whose end wakes the wait
  }
  std::optional<vs::Event> next_event(int timeout_ms) override {
    if (gaps_us.size() >= pauses_) {
      vs::Event key;
      key.kind = vs::Event::Kind::KeyDown;
      key.key = vs::Key::Space;
      key.window = window_of(WindowKind::Saver);
      return key;
    }
    std::unique_lock lock(mutex_);
    auto woken = [this] { return woken_; };
    if (timeout_ms < 0) {
      woken_up_.wait(lock, woken);
    } else {
      woken_up_.wait_for(lock, std::chrono::milliseconds(timeout_ms), woken);
    }
    woken_ = false;
    return std::nullopt;
  }
  void wake() override {
    std::lock_guard lock(mutex_);
    woken_ = true;
    woken_up_.notify_all();
  }
  bool events_may_come() override { return true; }
  vs::PictureResult picture_for(const std::string& path, const vs::PictureView& view,
                                std::stop_token stop) override {
    vs::PictureResult r = OffscreenPlatform::picture_for(path, view, stop);
    if (!r.ok && !stop.stop_requested()) {
      ++failed_loads;
      std::fprintf(stderr, "%s: %s\n", path.c_str(), r.reason.c_str());
    }
    return r;
  }
  void present(vs::WindowId, const vs::Surface&, const vs::Rect&) override {
    const int64_t now = now_us();
    if (last_present_us_ >= 0 && now - last_present_us_ >= kPauseSeenUs) {
      gaps_us.push_back(now - last_present_us_);
      std::printf("  pause %zu: %.1f ms\n", gaps_us.size(), (now - last_present_us_) / 1e3);
      std::fflush(stdout);
    }
    last_present_us_ = now;
  }

 private:
  const size_t pauses_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable woken_up_;
  bool woken_ = false;
  int64_t last_present_us_ = -1;
};

class InOrder : public vs::RandomSource {
 public:
  void reseed_from_clock() override {}
  double next_unit() override { return 0; }
};

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// The kind's pictures in the folder, made once.
std::vector<std::string> pictures(const std::string& folder, const std::string& kind) {
  std::vector<std::string> paths;
  for (int i = 1; i <= kPictures; ++i) {
    paths.push_back(folder + "/" + kind + "-" + std::to_string(i) + "." + kind);
  }
  if (std::all_of(paths.begin(), paths.end(), exists)) return paths;
  std::string bytes;
  if (kind == "jpeg") {
    const std::string first = paths[0];
    if (!vs::bench::write_photo_jpeg(first, 6000, 4000)) return {};
    std::ifstream in(first, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  } else {
    bytes = vs::bench::heif_of(vs::bench::photo_rgb(4000, 3000), 4000, 3000, heif_compression_HEVC);
  }
  if (bytes.empty()) return {};
  for (const std::string& path : paths) std::ofstream(path, std::ios::binary) << bytes;
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (std::string(argv[2]) != "jpeg" && std::string(argv[2]) != "heic")) {
    std::fprintf(stderr, "usage: %s FOLDER jpeg|heic [pauses] [rows per second]\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[2];
  const size_t pauses = argc > 3 ? static_cast<size_t>(std::max(1, std::atoi(argv[3]))) : 4;
  const int pace = argc > 4 ? std::max(0, std::atoi(argv[4])) : vs::Pacer::kDefaultRowsPerSecond;
  const std::vector<std::string> paths = pictures(argv[1], kind);
  if (paths.empty()) {
    std::fprintf(stderr, "cannot make the %s pictures in %s\n", kind.c_str(), argv[1]);
    return 1;
  }

  RealClockPlatform p(pauses);
  p.set_arguments({"/s"});
  p.set_env("VARNOSCAPE_PACE", std::to_string(pace));
  p.set_screen(1920, 1080);
  vs::Settings settings;
  settings.picture_size = 1;
  vs::Catalogue catalogue;
  catalogue.count = kPictures;
  for (const std::string& path : paths) catalogue.files.push_back(path);
  InOrder rng;
  vs::PlayOrder order;
  vs::make_play_order(order, catalogue.count, settings.picture_order, rng);
  std::printf("%s, %d pictures, 1920x1080 full screen, %d rows a second (0: unpaced):\n",
              kind.c_str(), kPictures, pace);
  try {
    vs::SaverScreen saver(p, settings, catalogue, order, rng, p.show_cursor(false));
    saver.run();
  } catch (const RealClockPlatform::EndedNow&) {
    // A load that did not stop at once; the saver ended around it.
  }
  if (p.gaps_us.size() < pauses || p.failed_loads > 0) {
    std::fprintf(stderr, "%zu pauses seen, %d loads failed\n", p.gaps_us.size(),
                 p.failed_loads.load());
    return 1;
  }
  std::vector<int64_t> sorted = p.gaps_us;
  std::sort(sorted.begin(), sorted.end());
  std::printf("gaps %s: median %.1f worst %.1f\n", kind.c_str(), sorted[sorted.size() / 2] / 1e3,
              sorted.back() / 1e3);
  return 0;
}
