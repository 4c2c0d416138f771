// The one loop of a mode that owns windows (the saver, the preview, a
// dialog). Work that takes longer than a frame is a job: the loop asks it for
// a bounded step when it is due, and the job answers when it wants to run
// next. Each turn runs the jobs that are due, then waits for the next event
// or the next due time, whichever comes first. Nothing else reads events,
// and only the loop's owner ends it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/platform.h"

namespace vs {

class EventLoop {
 public:
  using JobId = uint64_t;
  // A bounded step of work at the given time; when to run next, or nothing
  // once the job has finished.
  using Step = std::function<std::optional<int64_t>(int64_t now_us)>;

  explicit EventLoop(Platform& p) : p_(p) {}

  // A job whose first step is due at due_us (now, or later).
  JobId add(int64_t due_us, Step step);
  // A completion to look at (a load, another program): its step runs on
  // every turn, and at the latest when the time it gives is due, so that a
  // completion that wakes the loop is taken at once.
  JobId watch(Step step);
  // Forgets a job; it takes no further step (also from inside its own step).
  void cancel(JobId id);
  bool has(JobId id) const { return jobs_.count(id) != 0; }

  // Runs before every wait, to present what changed: returns when it wants
  // the loop to wake again (a frame not yet shown), or nothing.
  std::function<std::optional<int64_t>(int64_t now_us)> before_wait;

  // Turns until quit() (also one called before) or until no event can ever
  // come (no job left and the system says none will); returns quit's status
  // (0 otherwise).
  int run(const std::function<void(const Event&)>& on_event);
  void quit(int status = 0);
  bool quitting() const { return quit_; }

 private:
  struct Job {
    int64_t due_us;
    Step step;
    bool every_turn = false;
  };
  Platform& p_;
  std::map<JobId, Job> jobs_;
  JobId next_id_ = 1;
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace vs
