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

void BackgroundLoad::start(Job job, std::function<void()> on_end) {
  stop();
  done_ = false;
  thread_ =
      std::jthread([this, job = std::move(job), on_end = std::move(on_end)](std::stop_token token) {
        PictureResult r;
        try {
          r = job(token);
        } catch (const std::exception& e) {
          // Failures never escape a step: a load that throws is a failed load.
          r = PictureResult::failure(e.what());
        }
        {
          std::lock_guard lock(mutex_);
          result_ = std::move(r);
          done_ = true;
          ended_.notify_all();
        }
        if (on_end) on_end();
      });
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
