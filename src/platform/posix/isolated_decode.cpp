#include "platform/posix/isolated_decode.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace vs {

namespace {

constexpr uint32_t kReplyMagic = 0x58505356;  // "VSPX"
constexpr uint32_t kMaxReason = 1024;

// What the child sends first; the pixels or the reason follow it.
struct Reply {
  uint32_t magic = kReplyMagic;
  uint32_t ok = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t reason_bytes = 0;
};

int64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool write_all(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t put = ::write(fd, p, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

// The address space this process already uses: the child's memory limit
// comes on top of it, since a fork inherits all of it.
uint64_t address_space_in_use() {
  FILE* f = std::fopen("/proc/self/statm", "re");
  if (f == nullptr) return 0;
  unsigned long long pages = 0;
  int read = std::fscanf(f, "%llu", &pages);
  std::fclose(f);
  long page = sysconf(_SC_PAGESIZE);
  return read == 1 && page > 0 ? pages * static_cast<uint64_t>(page) : 0;
}

[[noreturn]] void child_main(int fd, const std::function<PictureResult()>& decode,
                             const IsolationLimits& limits, uint64_t in_use) {
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);  // a crash here is expected, not worth a core file
  if (limits.cpu_seconds > 0) {
    rlim_t cpu = static_cast<rlim_t>(limits.cpu_seconds);
    rlimit r{cpu, cpu + 1};
    setrlimit(RLIMIT_CPU, &r);
  }
  if (limits.memory_bytes > 0 && in_use > 0) {
    rlimit r{in_use + limits.memory_bytes, in_use + limits.memory_bytes};
    setrlimit(RLIMIT_AS, &r);
  }
  PictureResult result;
  try {
    result = decode();
  } catch (const std::bad_alloc&) {
    result = PictureResult::failure("out of memory");
  } catch (...) {
    result = PictureResult::failure("decoder failed");
  }
  Reply reply;
  reply.ok = result.ok ? 1 : 0;
  if (result.ok) {
    reply.width = result.picture.width();
    reply.height = result.picture.height();
  } else {
    if (result.reason.size() > kMaxReason) result.reason.resize(kMaxReason);
    reply.reason_bytes = static_cast<uint32_t>(result.reason.size());
  }
  if (write_all(fd, &reply, sizeof reply)) {
    if (result.ok) {
      write_all(fd, result.picture.data(),
                static_cast<size_t>(reply.width) * static_cast<size_t>(reply.height) * 4);
    } else {
      write_all(fd, result.reason.data(), result.reason.size());
    }
  }
  _exit(0);
}

// Reads exactly n bytes unless the data ends, fails, or the deadline passes.
enum class ReadEnd { Complete, Ended, TimedOut };
ReadEnd read_exact(int fd, void* data, size_t n, int64_t deadline) {
  char* p = static_cast<char*>(data);
  while (n > 0) {
    int64_t wait = deadline - now_ms();
    if (wait <= 0) return ReadEnd::TimedOut;
    pollfd pfd{fd, POLLIN, 0};
    int ready = ::poll(&pfd, 1, static_cast<int>(wait));
    if (ready < 0 && errno != EINTR) return ReadEnd::Ended;
    if (ready <= 0) continue;
    ssize_t got = ::read(fd, p, n);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return ReadEnd::Ended;
    }
    if (got == 0) return ReadEnd::Ended;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return ReadEnd::Complete;
}

void wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Lets the child end by itself until the deadline, then ends it.
void reap_by(pid_t pid, int64_t deadline) {
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return;
    if (now_ms() >= deadline) break;
    ::poll(nullptr, 0, 2);
  }
  ::kill(pid, SIGKILL);
  wait_for(pid);
}

void kill_and_reap(pid_t pid) {
  ::kill(pid, SIGKILL);
  wait_for(pid);
}

IsolatedResult outcome(IsolatedOutcome o) {
  return {o, {}};
}

}  // namespace

IsolatedResult run_isolated(const std::function<PictureResult()>& decode,
                            const IsolationLimits& limits) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return outcome(IsolatedOutcome::NotStarted);
  const uint64_t in_use = limits.memory_bytes > 0 ? address_space_in_use() : 0;
  const int64_t deadline = now_ms() + limits.wall_ms;
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return outcome(IsolatedOutcome::NotStarted);
  }
  if (pid == 0) {
    ::close(fds[0]);
    child_main(fds[1], decode, limits, in_use);
  }
  ::close(fds[1]);
  const int fd = fds[0];

  auto give_up = [&](ReadEnd end) {
    ::close(fd);
    if (end == ReadEnd::TimedOut) {
      kill_and_reap(pid);
      return outcome(IsolatedOutcome::TimedOut);
    }
    reap_by(pid, deadline);
    return outcome(IsolatedOutcome::Crashed);
  };

  Reply reply;
  if (ReadEnd end = read_exact(fd, &reply, sizeof reply, deadline); end != ReadEnd::Complete) {
    return give_up(end);
  }
  if (reply.magic != kReplyMagic) return give_up(ReadEnd::Ended);
  IsolatedResult result{IsolatedOutcome::Finished, {}};
  if (reply.ok == 0) {
    std::string reason(std::min(reply.reason_bytes, kMaxReason), '\0');
    if (ReadEnd end = read_exact(fd, reason.data(), reason.size(), deadline);
        end != ReadEnd::Complete) {
      return give_up(end);
    }
    result.picture = PictureResult::failure(reason.empty() ? "decoder failed" : reason);
  } else {
    // The child's word on the size is checked before the parent allocates.
    const int64_t w = reply.width, h = reply.height;
    if (w <= 0 || h <= 0 || w > limits.max_pixels || h > limits.max_pixels ||
        w * h > limits.max_pixels || w * h > kMaxPicturePixels) {
      return give_up(ReadEnd::Ended);
    }
    Surface picture(static_cast<int>(w), static_cast<int>(h));
    if (ReadEnd end = read_exact(fd, picture.data(), static_cast<size_t>(w * h) * 4, deadline);
        end != ReadEnd::Complete) {
      return give_up(end);
    }
    uint32_t* px = picture.data();
    for (int64_t i = 0; i < w * h; ++i) px[i] &= 0xFFFFFF;
    result.picture = PictureResult::success(std::move(picture));
  }
  ::close(fd);
  reap_by(pid, deadline);
  return result;
}

}  // namespace vs
