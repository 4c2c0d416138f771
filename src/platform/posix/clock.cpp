#include <time.h>

#include <cerrno>

#include "platform/posix/posix_platform.h"

namespace vs {

int64_t PosixSystem::now_us() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void PosixSystem::sleep_ms(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  // Sleep the whole time even when a signal interrupts.
  while (nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

uint64_t PosixSystem::clock_seed() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace vs
