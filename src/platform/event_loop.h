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
  // A completion to take (a load, another program): taken() runs on every
  // turn and answers true once it has taken the result, which ends the
  // watch. Whatever completes calls the platform's wake(), which ends the
  // loop's wait: no timer looks at a completion.
  JobId watch(std::function<bool()> taken);
  // Forgets a job; it takes no further step (also from inside its own step).
  void cancel(JobId id);
  bool has(JobId id) const { return jobs_.count(id) != 0; }

  // Runs before every wait, to present what changed: returns when it wants
  // the loop to wake again (a frame not yet shown), or nothing.
  std::function<std::optional<int64_t>(int64_t now_us)> before_wait;

  // Turns until quit() (also one called before) or until no event can ever
  // come (no job or watch left and the system says none will); returns
  // quit's status (0 otherwise).
  int run(const std::function<void(const Event&)>& on_event);
  void quit(int status = 0);
  bool quitting() const { return quit_; }

  // Makes this loop run inside outer's (a modal box's loop, run from a step
  // or an event of its owner's): while it runs, outer's jobs step and its
  // before_wait paints too, so the owner's work goes on under the box.
  void nest_in(EventLoop* outer) { outer_ = outer; }

 private:
  struct Job {
    int64_t due_us;
    Step step;
    // A watch: it runs on every turn and brings no due time of its own.
    bool every_turn = false;
    // Taking its step now (a nested loop may turn meanwhile).
    bool running = false;
  };
  void step_due_jobs(int64_t now);
  // When this loop wants to be woken next: its earliest due job or frame.
  std::optional<int64_t> next_due(int64_t now);

  Platform& p_;
  EventLoop* outer_ = nullptr;
  std::map<JobId, Job> jobs_;
  JobId next_id_ = 1;
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace vs
