// What the confined decoder process costs a picture before its decoding:
// the time to start the decoder, confine it, decode a 1 x 1 picture and take
// its answer, next to an empty program started the same way (/bin/true,
// the floor of starting any process here); the same through the saver's
// way, which hands the picture to a decoder started ahead of it
// (ready_decoder.h); and the confinement's own part (loading what the
// decoders would load lazily, then confining), timed in a child of this
// process. Best of N on the wall clock.
//
// Then the decoder is looked at while it decodes a slow metafile: its
// status and limits as /proc shows them.
//
//   bench_decoder_start_bench [repetitions]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../tools/decoder_children.h"
#include "../tools/picture_writers.h"
#include "bench_timing.h"
#include "platform/posix/child_process.h"
#include "platform/posix/decoder_confinement.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/posix_platform.h"

namespace {

std::string no_refusal(std::string_view) {
  return {};
}

// Preparing and confining, in a child of this process; its time in ms as
// the child measured it, or a negative number when it failed.
double confinement_ms() {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    const double t0 = vs::bench::wall_seconds();
    vs::prepare_decoders_for_confinement();
    const bool confined = vs::confine_decoder(no_refusal).empty();
    const double ms = confined ? (vs::bench::wall_seconds() - t0) * 1e3 : -1;
    (void)!write(1, &ms, sizeof ms);
    _exit(0);
  }
  close(out[1]);
  double ms = -1;
  if (read(out[0], &ms, sizeof ms) != sizeof ms) ms = -1;
  close(out[0]);
  waitpid(pid, nullptr, 0);
  return ms;
}

using vs::samples::read_text_file;

// A decoder this process started that has confined itself, or 0 (a
// decoder started ahead of its picture may wait beside it, unconfined).
pid_t confined_decoder_child() {
  for (pid_t pid : vs::samples::decoder_children()) {
    const std::string status = read_text_file("/proc/" + std::to_string(pid) + "/status");
    if (status.find("\nSeccomp:\t2") != std::string::npos) return pid;
  }
  return 0;
}

void print_lines(const std::string& text, std::initializer_list<const char*> starts) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    for (const char* start : starts) {
      if (line.rfind(start, 0) == 0) std::printf("    %s\n", line.c_str());
    }
  }
}

// Starts a load of a metafile that keeps libwmf busy for seconds, shows
// the decoder's /proc status and limits once it has confined itself, and
// stops the load.
void show_a_decoder_at_work(const std::string& folder) {
  const std::string path = folder + "/slow.wmf";
  std::ofstream(path, std::ios::binary) << vs::samples::slow_metafile();
  std::stop_source stop;
  std::atomic<bool> ended{false};
  std::thread load([&] {
    vs::load_picture_file(path, {}, stop.get_token());
    ended = true;
  });
  std::string status, limits;
  pid_t seen = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ended && std::chrono::steady_clock::now() < give_up && limits.empty()) {
    if (const pid_t pid = confined_decoder_child()) {
      const std::string proc = "/proc/" + std::to_string(pid);
      status = read_text_file(proc + "/status");
      if (status.find("\nSeccomp:\t2") != std::string::npos) {
        limits = read_text_file(proc + "/limits");
        seen = pid;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop.request_stop();
  load.join();
  std::remove(path.c_str());
  if (limits.empty()) {
    std::printf("  the decoder was never seen confined\n");
    return;
  }
  std::printf("  the decoder (process %d) while it decodes a slow metafile:\n", seen);
  print_lines(status, {"NoNewPrivs", "Seccomp"});
  print_lines(limits, {"Limit", "Max cpu time", "Max file size", "Max core file size",
                       "Max open files", "Max address space"});
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  char folder[] = "/tmp/varnoscape-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  // A 1 x 1 bitmap: its decoding is nothing next to the start.
  vs::samples::BmpSpec bmp;
  bmp.width = bmp.height = 1;
  bmp.data = {0x10, 0x20, 0x30, 0};
  const std::string picture = std::string(folder) + "/dot.bmp";
  std::ofstream(picture, std::ios::binary) << vs::samples::write_bmp(bmp);

  bool ok = true;
  vs::ChildSpec empty;
  empty.argv = {"/bin/true"};
  const vs::PictureView view{1920, 1080, vs::FitMode::FullScreen};
  vs::PosixSystem saver({});
  const std::vector<double> t =
      vs::bench::best_of(reps,
                         {[&] { ok &= vs::run_child(empty).exited_with(0); },
                          [&] { ok &= vs::load_picture_file(picture, view).ok; },
                          [&] { ok &= saver.load_picture(picture, view).ok; }},
                         vs::bench::wall_seconds);
  double confining = 1e30;
  for (int i = 0; i < reps; ++i) {
    const double ms = confinement_ms();
    ok &= ms >= 0;
    if (ms >= 0) confining = std::min(confining, ms);
  }
  std::printf("decoder process for one picture, best of %d (wall clock)\n", reps);
  std::printf("  %-58s %7.2f ms  (floor)\n", "an empty program (/bin/true) started and ended",
              t[0] * 1e3);
  std::printf("  %-58s %7.2f ms\n", "the decoder started, confined, a 1 x 1 picture decoded",
              t[1] * 1e3);
  std::printf("  %-58s %7.2f ms  (target 5 ms)\n",
              "the same handed to a decoder started ahead (the saver's)", t[2] * 1e3);
  std::printf("  %-58s %7.2f ms\n", "  of which loading lazy parts and confining (in a child)",
              confining);
  show_a_decoder_at_work(folder);
  if (!ok) std::printf("  WRONG: a decode or the confinement failed\n");
  std::remove(picture.c_str());
  rmdir(folder);
  return ok ? 0 : 1;
}
