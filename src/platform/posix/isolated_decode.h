// Runs a decoder we do not trust with the saver's own memory in a child
// process: it gets a CPU and memory limit there, and a wall-clock limit from
// here. Whatever it does (crash, loop, exhaust memory) the caller gets a
// picture or a failure, in bounded time.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/picture.h"

namespace vs {

struct IsolationLimits {
  int wall_ms = 5000;  // the child is killed after this long
  int cpu_seconds = 5;
  // Address space the child may add to what it inherits; 0 = no limit.
  uint64_t memory_bytes = uint64_t{1} << 30;
  // The largest picture the parent accepts from the child.
  int64_t max_pixels = kMaxPicturePixels;
};

enum class IsolatedOutcome {
  Finished,   // the child answered: see the picture result
  Crashed,    // it died before answering
  TimedOut,   // killed at the wall-clock limit
  NotStarted  // no child process could be made
};

struct IsolatedResult {
  IsolatedOutcome outcome = IsolatedOutcome::NotStarted;
  PictureResult picture;  // when Finished: the decoder's own answer
};

// Calls decode() in a forked child and brings its result back through a
// pipe. decode() runs with the child's limits in place; it must not rely on
// other threads of this process (only the calling thread is forked).
IsolatedResult run_isolated(const std::function<PictureResult()>& decode,
                            const IsolationLimits& limits);

}  // namespace vs
