#include "platform/posix/wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vs {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeSignal::raise() const {
  const uint64_t one = 1;
  // A full counter (never reached) or EAGAIN still leaves it readable.
  if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

bool WakeSignal::clear() const {
  uint64_t count = 0;
  return fd_ >= 0 && ::read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

}  // namespace vs
