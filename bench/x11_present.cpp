// Presenting a 1920 x 1080 frame on a private Xvfb, through MIT-SHM and
// through plain XPutImage, against a bare copy of the frame's bytes (the
// least any present has to do). Each present is followed by a round trip,
// so the time includes the server's drawing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/x11_platform.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// An Xvfb of the frame's size for the whole run; its display name, or empty.
std::string server() {
  static std::string display = [] {
    int fds[2];
    if (pipe(fds) != 0) return std::string();
    if (fork() == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with the benchmark
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    return number.empty() ? std::string() : ":" + number;
  }();
  return display;
}

vs::Surface frame() {
  vs::Surface s(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x)
      s.set_pixel(x, y, vs::pixel_rgb(x & 255, y & 255, (x ^ y) & 255));
  }
  return s;
}

void present(benchmark::State& state, bool shm) {
  vs::X11Platform::Options o;
  o.display = server();
  o.use_shm = shm;
  vs::X11Platform p({}, o);
  if (!p.connected() || !p.create_saver_window("bench")) {
    state.SkipWithError("no X server (is Xvfb installed?)");
    return;
  }
  p.show_window(p.window_id());
  if (p.presenting_through_shm() != shm) {
    state.SkipWithError("shared memory not as asked");
    return;
  }
  vs::Surface s = frame();
  int rows = static_cast<int>(state.range(0));
  int top = 0;
  for (auto _ : state) {
    p.present(p.window_id(), s, vs::Rect{0, top, s.width(), rows});
    p.window_exists("a round trip");
    top = (top + rows) % (kHeight - rows + 1);
  }
  state.SetBytesProcessed(state.iterations() * rows * kWidth * 4);
}

void BM_PresentShm(benchmark::State& state) {
  present(state, true);
}
void BM_PresentPlain(benchmark::State& state) {
  present(state, false);
}

void BM_CopyFrameBaseline(benchmark::State& state) {
  vs::Surface s = frame();
  std::vector<uint32_t> out(static_cast<size_t>(kWidth) * kHeight);
  size_t bytes = static_cast<size_t>(state.range(0)) * kWidth * 4;
  for (auto _ : state) {
    std::memcpy(out.data(), s.data(), bytes);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(BM_CopyFrameBaseline)->Arg(kHeight)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresentShm)->Arg(kHeight)->Arg(60)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresentPlain)->Arg(kHeight)->Arg(60)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
