#include "platform/event_loop.h"

#include <algorithm>
#include <vector>

namespace vs {

EventLoop::JobId EventLoop::add(int64_t due_us, Step step) {
  const JobId id = next_id_++;
  jobs_.emplace(id, Job{due_us, std::move(step)});
  return id;
}

EventLoop::JobId EventLoop::watch(std::function<bool()> taken) {
  const JobId id = next_id_++;
  Step step = [taken = std::move(taken)](int64_t now) -> std::optional<int64_t> {
    if (taken()) return std::nullopt;
    return now;
  };
  jobs_.emplace(id, Job{0, std::move(step), true});
  return id;
}

void EventLoop::cancel(JobId id) {
  jobs_.erase(id);
}

void EventLoop::quit(int status) {
  quit_ = true;
  status_ = status;
}

void EventLoop::step_due_jobs(int64_t now) {
  // Every job due now takes one step, the earliest due first (in the order
  // they were added among equals); jobs added meanwhile wait for the next
  // turn, so input is looked at between any two steps.
  std::vector<std::pair<int64_t, JobId>> due;
  for (const auto& [id, job] : jobs_) {
    if (job.running) continue;  // a nested loop runs inside its step
    if (job.due_us <= now || job.every_turn) due.emplace_back(job.every_turn ? 0 : job.due_us, id);
  }
  std::sort(due.begin(), due.end());
  for (const auto& [at, id] : due) {
    if (quit_) break;
    auto it = jobs_.find(id);
    if (it == jobs_.end()) continue;  // cancelled by an earlier step
    // Held here while it runs: the step may cancel its own job.
    Step step = std::move(it->second.step);
    it->second.running = true;
    std::optional<int64_t> next = step(now);
    it = jobs_.find(id);
    if (it == jobs_.end()) continue;
    it->second.running = false;
    if (next) {
      it->second.step = std::move(step);
      it->second.due_us = *next;
    } else {
      jobs_.erase(it);
    }
  }
}

std::optional<int64_t> EventLoop::next_due(int64_t now) {
  std::optional<int64_t> wake;
  for (const auto& [id, job] : jobs_) {
    if (!job.every_turn && !job.running) wake = std::min(wake.value_or(job.due_us), job.due_us);
  }
  if (before_wait) {
    if (std::optional<int64_t> frame = before_wait(now))
      wake = std::min(wake.value_or(*frame), *frame);
  }
  return wake;
}

int EventLoop::run(const std::function<void(const Event&)>& on_event) {
  while (!quit_) {
    // A nested loop (a modal box over a dialog) keeps its outer loops'
    // work going: their jobs step and their windows are painted, while
    // the events are this loop's.
    int64_t now = p_.system().now_us();
    for (EventLoop* loop = this; loop && !quit_; loop = loop->outer_) loop->step_due_jobs(now);
    if (quit_) break;

    now = p_.system().now_us();
    std::optional<int64_t> wake;
    bool idle = true;
    for (EventLoop* loop = this; loop; loop = loop->outer_) {
      if (std::optional<int64_t> due = loop->next_due(now))
        wake = std::min(wake.value_or(*due), *due);
      idle = idle && loop->jobs_.empty();
    }
    int timeout_ms = -1;
    if (wake) timeout_ms = *wake <= now ? 0 : static_cast<int>((*wake - now + 999) / 1000);
    if (std::optional<Event> e = p_.window_system().next_event(timeout_ms)) {
      on_event(*e);
    } else if (timeout_ms < 0 && idle && !p_.window_system().events_may_come()) {
      break;  // nothing to do and nothing will ever come
    }
  }
  return status_;
}

}  // namespace vs
