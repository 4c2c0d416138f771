// A descriptor that becomes readable when another thread says so, for a
// wait that polls the display's descriptor: the loop sleeps until input, a
// due time or a completion, and never looks at a completion on a timer.
#pragma once

namespace vs {

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // To poll for reading beside the display's descriptor; -1 when none could
  // be made (the wait then only ends on input or time).
  int fd() const { return fd_; }
  // From any thread; async-signal-safe.
  void raise() const;
  // Takes back what raise() said, after the wait has ended; true when it
  // had been raised.
  bool clear() const;

 private:
  int fd_ = -1;
};

}  // namespace vs
