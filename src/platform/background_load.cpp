#include "platform/background_load.h"

#include "platform/platform.h"

#include <chrono>
#include <exception>
#include <utility>

namespace vs {

std::unique_ptr<BackgroundLoad> Platform::start_picture_load(const std::string& path,
                                                             const PictureView& view) {
  auto load = std::make_unique<BackgroundLoad>();
  load->start(
      [this, path, view](std::stop_token stop) { return system().load_picture(path, view, stop); },
      [this] { window_system().wake(); });
  return load;
}

namespace {

// Failures never escape a step: a load, or its next step, that throws is a
// failed load.
void run_guarded(const std::function<void()>& work, PictureResult& result) {
  try {
    work();
  } catch (const std::exception& e) {
    result = PictureResult::failure(e.what());
  }
}

}  // namespace

void BackgroundLoad::start(Job job, std::function<void()> on_end) {
  stop();
  loaded_ = false;
  done_ = false;
  then_ = {};
  thread_ =
      std::jthread([this, job = std::move(job), on_end = std::move(on_end)](std::stop_token token) {
        PictureResult r;
        run_guarded([&] { r = job(token); }, r);
        std::function<void(const PictureResult&)> step;
        {
          std::lock_guard lock(mutex_);
          loaded_ = true;
          step = std::move(then_);
        }
        // A stopped load's result is not wanted.
        if (step && !token.stop_requested()) run_guarded([&] { step(r); }, r);
        {
          std::lock_guard lock(mutex_);
          result_ = std::move(r);
          done_ = true;
          ended_.notify_all();
        }
        if (on_end) on_end();
      });
}

void BackgroundLoad::then(std::function<void(const PictureResult&)> step) {
  std::unique_lock lock(mutex_);
  if (thread_.joinable() && !loaded_) {
    then_ = std::move(step);
    return;
  }
  // Too late for the load's thread (a load that fails at once ends before
  // its caller gets here): its result is a moment away, if not there.
  if (thread_.joinable()) ended_.wait(lock, [this] { return done_; });
  lock.unlock();
  run_guarded([&] { step(result_); }, result_);
}

bool BackgroundLoad::wait_for(int ms) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
}

PictureResult BackgroundLoad::take() {
  // The thread is joined later (the next start, stop, or the end), when it
  // has long gone: joining it now would wait for its last instructions and
  // wake the loop a second time.
  std::unique_lock lock(mutex_);
  if (thread_.joinable()) ended_.wait(lock, [this] { return done_; });
  return std::exchange(result_, PictureResult{});
}

bool BackgroundLoad::stop_within(int ms) {
  if (!thread_.joinable()) return true;
  thread_.request_stop();
  if (!wait_for(ms)) return false;
  thread_.join();
  return true;
}

void BackgroundLoad::stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

}  // namespace vs
