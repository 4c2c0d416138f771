#include "platform/event_loop.h"

#include <algorithm>
#include <vector>

namespace vs {

EventLoop::JobId EventLoop::add(int64_t due_us, Step step) {
  const JobId id = next_id_++;
  jobs_.emplace(id, Job{due_us, std::move(step)});
  return id;
}

EventLoop::JobId EventLoop::watch(Step step) {
  const JobId id = next_id_++;
  jobs_.emplace(id, Job{p_.now_us(), std::move(step), true});
  return id;
}

void EventLoop::cancel(JobId id) {
  jobs_.erase(id);
}

void EventLoop::quit(int status) {
  quit_ = true;
  status_ = status;
}

int EventLoop::run(const std::function<void(const Event&)>& on_event) {
  std::vector<JobId> due;
  while (!quit_) {
    // Every job due now takes one step; jobs added meanwhile wait for the
    // next turn, so input is looked at between any two steps.
    int64_t now = p_.now_us();
    due.clear();
    for (const auto& [id, job] : jobs_) {
      if (job.due_us <= now || job.every_turn) due.push_back(id);
    }
    for (JobId id : due) {
      if (quit_) break;
      auto it = jobs_.find(id);
      if (it == jobs_.end()) continue;
      // Held here while it runs: the step may cancel its own job.
      Step step = std::move(it->second.step);
      std::optional<int64_t> next = step(now);
      it = jobs_.find(id);
      if (it == jobs_.end()) continue;
      if (next) {
        it->second.step = std::move(step);
        it->second.due_us = *next;
      } else {
        jobs_.erase(it);
      }
    }
    if (quit_) break;

    now = p_.now_us();
    std::optional<int64_t> wake;
    for (const auto& [id, job] : jobs_) wake = std::min(wake.value_or(job.due_us), job.due_us);
    if (before_wait) {
      if (std::optional<int64_t> frame = before_wait(now))
        wake = std::min(wake.value_or(*frame), *frame);
    }
    int timeout_ms = -1;
    if (wake) timeout_ms = *wake <= now ? 0 : static_cast<int>((*wake - now + 999) / 1000);
    if (std::optional<Event> e = p_.next_event(timeout_ms)) {
      on_event(*e);
    } else if (timeout_ms < 0) {
      break;  // nothing to do and nothing will ever come
    }
  }
  return status_;
}

}  // namespace vs
