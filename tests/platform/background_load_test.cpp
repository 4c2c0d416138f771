#include "platform/background_load.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace vs {
namespace {

// A load that looks at its stop token ends when asked; one that cannot be
// interrupted is not waited for beyond the given time, and is still joined
// cleanly afterwards.
TEST(BackgroundLoad, StopWaitsOnlyAsLongAsAsked) {
  BackgroundLoad load;
  load.start([](std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return PictureResult::failure("stopped");
  });
  EXPECT_FALSE(load.wait_for(10));
  EXPECT_TRUE(load.stop_within(1000));

  // The second load ends only when released, whatever it is asked.
  std::atomic<bool> release{false};
  load.start([&release](std::stop_token) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return PictureResult::failure("done");
  });
  EXPECT_FALSE(load.stop_within(20));
  EXPECT_FALSE(load.finished());
  release = true;
  ASSERT_TRUE(load.wait_for(5000));
  EXPECT_EQ(load.take().reason, "done");
}

TEST(BackgroundLoad, AThrowingLoadIsAFailedLoad) {
  BackgroundLoad load;
  load.start([](std::stop_token) -> PictureResult { throw std::runtime_error("broken"); });
  ASSERT_TRUE(load.wait_for(5000));
  PictureResult r = load.take();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.reason, "broken");
}

}  // namespace
}  // namespace vs
