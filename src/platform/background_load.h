// A picture load on a thread of its own, so that the saver and the dialog
// answer input while a large or hostile picture is decoded. The thread is
// stopped and joined before the object goes, which ends a decoder still at
// work.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "core/picture.h"

namespace vs {

class BackgroundLoad {
 public:
  using Job = std::function<PictureResult(std::stop_token)>;

  BackgroundLoad() = default;
  ~BackgroundLoad() { stop(); }
  BackgroundLoad(const BackgroundLoad&) = delete;
  BackgroundLoad& operator=(const BackgroundLoad&) = delete;

  // Starts a load; one at a time. on_end runs on the load's thread once its
  // result can be taken.
  void start(Job job, std::function<void()> on_end = {});
  // Work on the loaded picture that belongs off the caller's thread as well
  // (the saver fits it to the screen there): it runs on the load's thread
  // once the load has ended, before the result can be taken and before
  // on_end; not after a stop. A load that has already ended runs it on the
  // caller's thread, at once. One per load, given after start.
  void then(std::function<void(const PictureResult&)> step);
  // Waits up to ms milliseconds for the load to end; true once it has.
  bool wait_for(int ms);
  // True once a started load has ended (its result waits to be taken).
  bool finished() { return thread_.joinable() && wait_for(0); }
  // The load's result, once wait_for has said it ended.
  PictureResult take();
  // Asks the load to stop and waits for its thread.
  void stop();
  // Asks the load to stop, without waiting.
  void request_stop() { thread_.request_stop(); }
  // Asks the load to stop and waits up to ms milliseconds for it; true once
  // its thread is joined. A decoder that cannot be interrupted (the system's
  // own, on Windows) may take far longer: the caller may then end the
  // program rather than wait.
  bool stop_within(int ms);

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool loaded_ = false;  // the job has ended; `then` comes too late for its thread
  bool done_ = false;
  std::function<void(const PictureResult&)> then_;
  PictureResult result_;
  std::jthread thread_;
};

}  // namespace vs
