#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/background_load.h"
#include "platform/offscreen/offscreen_platform.h"

namespace vs {
namespace {

constexpr int64_t kMs = 1000;

Event key_down() {
  Event e;
  e.kind = Event::Kind::KeyDown;
  return e;
}

// Jobs step earliest due first, in the order they were added among equals;
// an event that comes while the loop waits is taken before the jobs due
// then; a job added by a step waits for the next turn;
// a job cancelled by an earlier step of the same turn takes no step; quit
// from inside a step ends the loop before the rest of that turn.
TEST(EventLoop, DueJobsStepInOrderAndAStepRulesTheRest) {
  OffscreenPlatform p;
  EventLoop loop(p);
  std::vector<std::string> steps;
  auto once = [&](std::string name) {
    return [&steps, name](int64_t) -> std::optional<int64_t> {
      steps.push_back(name);
      return std::nullopt;
    };
  };
  loop.add(30 * kMs, once("c"));
  loop.add(10 * kMs, once("a1"));
  loop.add(20 * kMs, once("b"));
  loop.add(10 * kMs, once("a2"));
  EventLoop::JobId doomed = 0;
  loop.add(40 * kMs, [&](int64_t) -> std::optional<int64_t> {
    steps.push_back("canceller");
    loop.cancel(doomed);
    // Added now, due now: it steps on the next turn.
    loop.add(p.now_us(), once("added"));
    return std::nullopt;
  });
  doomed = loop.add(40 * kMs, once("cancelled"));
  p.script(40 * kMs, key_down());
  loop.add(50 * kMs, [&](int64_t) -> std::optional<int64_t> {
    steps.push_back("quit");
    loop.quit(3);
    return 60 * kMs;
  });
  loop.add(50 * kMs, once("after quit"));

  const int status = loop.run([&](const Event&) { steps.push_back("event"); });
  EXPECT_EQ(status, 3);
  EXPECT_EQ(steps, (std::vector<std::string>{"a1", "a2", "b", "c", "event", "canceller", "added",
                                             "quit"}));
}

// A completion wakes the wait at once: a load that ends takes no time of
// the clock, and the job due an hour later has not stepped when the loop
// takes the load's result. A watch ends when it has taken its result.
TEST(EventLoop, ACompletionIsTakenAtOnce) {
  struct SlowPlatform : OffscreenPlatform {
    PictureResult picture_for(const std::string&, const PictureView&, std::stop_token) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return PictureResult::failure("slow");
    }
  } p;
  EventLoop loop(p);
  bool hour_passed = false;
  loop.add(3600 * 1000 * kMs, [&](int64_t) -> std::optional<int64_t> {
    hour_passed = true;
    return std::nullopt;
  });
  std::unique_ptr<BackgroundLoad> load = p.start_picture_load("any", {});
  int looks = 0;
  std::optional<int64_t> taken_at;
  loop.watch([&] {
    ++looks;
    if (!load->finished()) return false;
    taken_at = p.now_us();
    EXPECT_EQ(load->take().reason, "slow");
    loop.quit();
    return true;
  });
  loop.run([](const Event&) {});
  EXPECT_EQ(taken_at, 0);
  EXPECT_FALSE(hour_passed);  // the job due in an hour is still waiting
  EXPECT_GE(p.wakes(), 1);
  EXPECT_LE(looks, 3);  // looked at when woken, not on a timer
}

// A load's wake can come after the loop took its result (the load's thread
// signals its end, the loop wakes for something else and takes it, then the
// wake comes): with nothing else to wait for, that empty wake of an endless
// wait is not taken for "no event can ever come", which would end a dialog
// at a click on a picture.
TEST(EventLoop, ALateWakeDoesNotEndTheLoop) {
  OffscreenPlatform p;
  EventLoop loop(p);
  std::unique_ptr<BackgroundLoad> load = p.start_picture_load("any", {});
  loop.watch([&] {
    if (!load->finished()) return false;
    load->take();
    p.wake();
    return true;
  });
  p.script(10 * kMs, key_down());
  bool event_seen = false;
  loop.run([&](const Event&) {
    event_seen = true;
    loop.quit();
  });
  EXPECT_TRUE(event_seen);
}

// A nested loop (a modal box run from a step of its owner's loop) keeps
// the owner's other jobs stepping, never re-enters the step it runs inside,
// and takes the events itself; the owner's loop goes on after it.
TEST(EventLoop, ANestedLoopKeepsItsOwnersJobsGoing) {
  OffscreenPlatform p;
  EventLoop owner(p);
  int ticks_during_box = 0, ticks = 0, box_runs = 0, owner_events = 0, box_events = 0;
  bool in_box = false;
  owner.add(0, [&](int64_t now) -> std::optional<int64_t> {
    ++ticks;
    if (in_box) ++ticks_during_box;
    return now + 10 * kMs;
  });
  owner.add(5 * kMs, [&](int64_t) -> std::optional<int64_t> {
    ++box_runs;
    EventLoop box(p);
    box.nest_in(&owner);
    box.add(p.now_us() + 100 * kMs, [&](int64_t) -> std::optional<int64_t> {
      box.quit();
      return std::nullopt;
    });
    in_box = true;
    box.run([&](const Event&) { ++box_events; });
    in_box = false;
    return p.now_us() + 1000 * kMs;  // not due again before the end
  });
  p.script(50 * kMs, key_down());
  p.script(200 * kMs, key_down());
  owner.add(300 * kMs, [&](int64_t) -> std::optional<int64_t> {
    owner.quit();
    return std::nullopt;
  });
  owner.run([&](const Event&) { ++owner_events; });
  EXPECT_EQ(box_runs, 1);
  EXPECT_GE(ticks_during_box, 9);
  EXPECT_GE(ticks, 29);
  EXPECT_EQ(box_events, 1);
  EXPECT_EQ(owner_events, 1);
}

}  // namespace
}  // namespace vs
