// Timing shared by the benchmarks.
#pragma once

#include <time.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace vs::bench {

// This thread's processor time: the machine may be shared, and time spent
// waiting for a core says nothing about the code.
inline double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Time on the wall clock: what a user waits for when work crosses into
// another process, whose processor time this thread's clock never sees.
inline double wall_seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The best time of each task over `reps` rounds by the given clock, the
// tasks taking turns within a round so that a change in the machine's load
// hits all alike.
inline std::vector<double> best_of(int reps, const std::vector<std::function<void()>>& tasks,
                                   double (*clock)() = cpu_seconds) {
  std::vector<double> best(tasks.size(), 1e30);
  for (int i = 0; i < reps; ++i) {
    for (size_t t = 0; t < tasks.size(); ++t) {
      const double t0 = clock();
      tasks[t]();
      best[t] = std::min(best[t], clock() - t0);
    }
  }
  return best;
}

}  // namespace vs::bench
