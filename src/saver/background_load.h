// A picture load on a thread of its own, so that the saver answers input
// while a large or hostile picture is decoded. The thread is stopped and
// joined before the object goes, which ends a decoder still at work.
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

  // Starts a load; one at a time.
  void start(Job job);
  // Waits up to ms milliseconds for the load to end; true once it has.
  bool wait_for(int ms);
  // The load's result, once wait_for has said it ended.
  PictureResult take();
  // Asks the load to stop and waits for its thread.
  void stop();
  // Asks the load to stop and waits up to ms milliseconds for it; true once
  // its thread is joined. A decoder that cannot be interrupted (the system's
  // own, on Windows) may take far longer: the caller may then end the
  // program rather than wait.
  bool stop_within(int ms);

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  PictureResult result_;
  std::jthread thread_;
};

}  // namespace vs
