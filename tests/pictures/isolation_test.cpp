// The child process that runs untrusted decoders: whatever the decoder does,
// the caller gets an answer within the time limit and no zombie is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/posix/isolated_decode.h"

namespace vs {
namespace {

IsolationLimits quick_limits() {
  IsolationLimits l;
  l.wall_ms = 700;
  l.cpu_seconds = 5;
  l.memory_bytes = uint64_t{256} << 20;
  return l;
}

int64_t elapsed_ms(const timespec& since) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - since.tv_sec) * 1000 + (now.tv_nsec - since.tv_nsec) / 1000000;
}

IsolatedResult run_timed(const std::function<PictureResult()>& decode, int64_t& took_ms,
                         IsolationLimits limits = quick_limits()) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  IsolatedResult r = run_isolated(decode, limits);
  took_ms = elapsed_ms(start);
  // Every child has been reaped.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  return r;
}

TEST(IsolatedDecode, PicturesAndReasonsComeBackWhole) {
  int64_t took = 0;
  IsolatedResult ok = run_timed(
      [] {
        Surface s(300, 200);
        for (int y = 0; y < 200; ++y) {
          for (int x = 0; x < 300; ++x) s.row(y)[x] = pixel_rgb(x % 256, y, (x + y) % 256);
        }
        return PictureResult::success(std::move(s));
      },
      took);
  ASSERT_EQ(ok.outcome, IsolatedOutcome::Finished);
  ASSERT_TRUE(ok.picture.ok);
  ASSERT_EQ(ok.picture.picture.width(), 300);
  ASSERT_EQ(ok.picture.picture.height(), 200);
  for (int y = 0; y < 200; y += 13) {
    for (int x = 0; x < 300; x += 7) {
      ASSERT_EQ(ok.picture.picture.at(x, y), pixel_rgb(x % 256, y, (x + y) % 256));
    }
  }

  IsolatedResult no = run_timed([] { return PictureResult::failure("corrupt metafile"); }, took);
  EXPECT_EQ(no.outcome, IsolatedOutcome::Finished);
  EXPECT_FALSE(no.picture.ok);
  EXPECT_EQ(no.picture.reason, "corrupt metafile");
}

TEST(IsolatedDecode, AHangingDecoderIsKilledAtTheTimeLimit) {
  int64_t took = 0;
  IsolatedResult r = run_timed(
      [] {
        volatile unsigned long spins = 0;
        for (;;) spins = spins + 1;
        return PictureResult::failure("never");
      },
      took);
  EXPECT_EQ(r.outcome, IsolatedOutcome::TimedOut);
  EXPECT_FALSE(r.picture.ok);
  EXPECT_GE(took, 600);
  EXPECT_LT(took, 3000);

  // Asleep, using no CPU: the wall clock still ends it.
  r = run_timed(
      [] {
        sleep(30);
        return PictureResult::failure("never");
      },
      took);
  EXPECT_EQ(r.outcome, IsolatedOutcome::TimedOut);
  EXPECT_LT(took, 3000);
}

TEST(IsolatedDecode, ACrashingDecoderIsACrash) {
  int64_t took = 0;
  IsolatedResult segv = run_timed(
      [] {
        raise(SIGSEGV);
        return PictureResult::failure("survived");
      },
      took);
  EXPECT_EQ(segv.outcome, IsolatedOutcome::Crashed);
  EXPECT_LT(took, 3000);
  IsolatedResult abort_now = run_timed([]() -> PictureResult { std::abort(); }, took);
  EXPECT_EQ(abort_now.outcome, IsolatedOutcome::Crashed);
  IsolatedResult silent = run_timed([]() -> PictureResult { _exit(3); }, took);
  EXPECT_EQ(silent.outcome, IsolatedOutcome::Crashed);
}

TEST(IsolatedDecode, MemoryBeyondTheLimitIsRefused) {
  int64_t took = 0;
  // 4 GB in 64 MB steps, each touched: the 256 MB limit stops it early.
  IsolatedResult r = run_timed(
      [] {
        std::vector<std::vector<char>> blocks;
        for (int i = 0; i < 64; ++i) blocks.emplace_back(size_t{64} << 20, 'x');
        return PictureResult::failure("allocated everything");
      },
      took);
  EXPECT_NE(r.picture.reason, "allocated everything");
  EXPECT_FALSE(r.picture.ok);
  EXPECT_LT(took, 3000);
  if (r.outcome == IsolatedOutcome::Finished) {
    EXPECT_EQ(r.picture.reason, "out of memory");
  }
}

TEST(IsolatedDecode, TheParentChecksTheChildsSizeBeforeAllocating) {
  int64_t took = 0;
  IsolationLimits limits = quick_limits();
  limits.max_pixels = 100;
  IsolatedResult r =
      run_timed([] { return PictureResult::success(Surface(20, 10)); }, took, limits);
  EXPECT_EQ(r.outcome, IsolatedOutcome::Crashed);
  EXPECT_FALSE(r.picture.ok);
}

}  // namespace
}  // namespace vs
