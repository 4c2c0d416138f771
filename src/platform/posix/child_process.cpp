#include "platform/posix/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/posix/wake_signal.h"

extern char** environ;

namespace vs {

namespace {

// Where the kernel cannot say when a child ends (no pidfd), its end is
// looked for this often once its output has closed.
constexpr int kTickMs = 5;

int64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Kills and reaps the child unless it was reaped already: no path out of
// run_child, an exception included, leaves a child or a zombie behind.
class Reaper {
 public:
  explicit Reaper(pid_t pid) : pid_(pid) {}
  ~Reaper() {
    if (pid_ > 0) kill_now();
  }
  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;

  // The child's wait status once it has ended by itself, or nothing.
  bool ended(int& status) {
    if (pid_ <= 0) return true;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
      pid_ = -1;
      return true;
    }
    return false;
  }
  void kill_now() {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

// Everything the child needs, made before fork: after it, a child of a
// process with threads may only make async-signal-safe calls.
struct Launch {
  std::string path;
  std::vector<char*> argv;
  int in = -1;      // for standard input
  int out = -1;     // for standard output
  int err = -1;     // for standard error
  int report = -1;  // exec's failure goes here as an errno
  pid_t parent = 0;
  bool die_with_parent = true;
  rlim_t cpu = 0;
  rlim_t address_space = 0;
  int max_fd = 1024;
};

void write_errno(int fd) {
  int e = errno;
  (void)!::write(fd, &e, sizeof e);
}

// Puts fd on target for the program to be started: dup2 when they differ,
// else only clears close-on-exec (dup2 of a descriptor onto itself does
// not).
void place(int fd, int target) {
  if (fd == target) {
    ::fcntl(fd, F_SETFD, 0);
  } else {
    ::dup2(fd, target);
  }
}

[[noreturn]] void child(const Launch& l) {
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // The saver ignores SIGPIPE; ignored signals would stay ignored across
  // exec.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) ::sigaction(sig, &dfl, nullptr);
  if (l.die_with_parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above.
    if (::getppid() != l.parent) _exit(127);
  }
  // Lift every source above the standard descriptors first, so that placing
  // one cannot overwrite another.
  const int in = ::fcntl(l.in, F_DUPFD, 10), out = ::fcntl(l.out, F_DUPFD, 10),
            err = ::fcntl(l.err, F_DUPFD, 10), report = ::fcntl(l.report, F_DUPFD, 10);
  if (in < 0 || out < 0 || err < 0 || report < 0) {
    write_errno(l.report);
    _exit(127);
  }
  place(in, 0);
  place(out, 1);
  place(err, 2);
  ::dup2(report, 3);
  ::fcntl(3, F_SETFD, FD_CLOEXEC);
  // Nothing else of ours goes along: above all not the X connection.
  if (::syscall(SYS_close_range, 4u, ~0u, 0u) != 0) {
    for (int fd = 4; fd < l.max_fd; ++fd) ::close(fd);
  }
  rlimit none_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &none_core);
  if (l.cpu > 0) {
    rlimit r{l.cpu, l.cpu + 1};
    ::setrlimit(RLIMIT_CPU, &r);
  }
  if (l.address_space > 0) {
    rlimit r{l.address_space, l.address_space};
    ::setrlimit(RLIMIT_AS, &r);
  }
  ::execve(l.path.c_str(), l.argv.data(), environ);
  write_errno(3);
  _exit(127);
}

int max_descriptors() {
  rlimit r{};
  if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur != RLIM_INFINITY && r.rlim_cur < 65536) {
    return static_cast<int>(r.rlim_cur);
  }
  return 65536;
}

// Waits for exec: the report pipe closes when it succeeds, or brings the
// errno of its failure. 0 when the program runs.
int exec_error(int report) {
  int e = 0;
  for (;;) {
    ssize_t n = ::read(report, &e, sizeof e);
    if (n < 0 && errno == EINTR) continue;
    return n == static_cast<ssize_t>(sizeof e) ? e : 0;
  }
}

bool is_executable_file(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string find_program(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return is_executable_file(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    if (is_executable_file(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

StartedChild::~StartedChild() {
  if (pid_ > 0) Reaper(pid_).kill_now();
  for (int fd : {out_, end_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool StartedChild::ended() const {
  if (end_ < 0) return false;  // a kernel before 5.3: not known
  pollfd gone{end_, POLLIN, 0};
  return ::poll(&gone, 1, 0) > 0;
}

std::unique_ptr<StartedChild> start_child(const ChildSpec& spec, std::string& error) {
  Launch l;
  l.path = spec.argv.empty() ? std::string() : find_program(spec.argv[0]);
  if (l.path.empty()) {
    error = "program not found: " + (spec.argv.empty() ? std::string("(none)") : spec.argv[0]);
    return nullptr;
  }
  std::vector<std::string> args = spec.argv;
  for (std::string& a : args) l.argv.push_back(a.data());
  l.argv.push_back(nullptr);

  Fd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
  int out_pipe[2], report_pipe[2];
  if (null.get() < 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  Fd out_read(out_pipe[0]), out_write(out_pipe[1]);
  if (spec.output_pipe_bytes > 0) {
    ::fcntl(out_read.get(), F_SETPIPE_SZ, static_cast<int>(spec.output_pipe_bytes));
  }
  if (::pipe2(report_pipe, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  Fd report_read(report_pipe[0]), report_write(report_pipe[1]);
  l.in = spec.stdin_fd >= 0 ? spec.stdin_fd : null.get();
  l.out = out_write.get();
  l.err = spec.keep_stderr ? 2 : null.get();
  l.report = report_write.get();
  l.parent = ::getpid();
  l.cpu = static_cast<rlim_t>(spec.cpu_seconds);
  l.address_space = static_cast<rlim_t>(spec.address_space);
  l.max_fd = max_descriptors();

  pid_t pid = ::fork();
  if (pid < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  if (pid == 0) child(l);
  auto started = std::unique_ptr<StartedChild>(new StartedChild(pid));
  out_write.reset();
  report_write.reset();
  if (int e = exec_error(report_read.get()); e != 0) {
    error = std::strerror(e);
    return nullptr;  // which kills and reaps the child
  }
  started->out_ = out_read.release();
  started->end_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  return started;
}

ChildResult finish_child(std::unique_ptr<StartedChild> started, const ChildSpec& spec,
                         std::stop_token stop) {
  ChildResult result;
  Reaper reaper(std::exchange(started->pid_, -1));
  Fd out_read(std::exchange(started->out_, -1));
  const Fd child_end(std::exchange(started->end_, -1));
  started.reset();
  const int64_t deadline = spec.wall_ms > 0 ? now_ms() + spec.wall_ms : INT64_MAX;
  auto killed = [&](ChildResult::End why) {
    reaper.kill_now();
    result.end = why;
    return std::move(result);
  };
  // The wait sleeps until the output, the child's end (a pidfd), a stop
  // request (an eventfd the request raises) or the wall-clock limit: no tick.
  const WakeSignal stop_signal;
  const std::stop_callback on_stop(stop, [&stop_signal] { stop_signal.raise(); });
  bool open = true;
  char buffer[65536];
  for (;;) {
    if (stop.stop_requested()) return killed(ChildResult::End::Stopped);
    int status = 0;
    if (!open && reaper.ended(status)) {
      if (WIFSIGNALED(status)) {
        result.end = ChildResult::End::Signalled;
        result.status = WTERMSIG(status);
      } else {
        result.end = ChildResult::End::Exited;
        result.status = WEXITSTATUS(status);
      }
      return result;
    }
    int wait = -1;
    if (deadline != INT64_MAX) {
      const int64_t left = deadline - now_ms();
      if (left <= 0) return killed(ChildResult::End::TimedOut);
      wait = static_cast<int>(std::min<int64_t>(left, INT32_MAX));
    }
    // Without a pidfd (a kernel before 5.3) the end is looked for on a tick.
    if (!open && child_end.get() < 0) wait = wait < 0 ? kTickMs : std::min(wait, kTickMs);
    pollfd fds[2] = {{open ? out_read.get() : child_end.get(), POLLIN, 0},
                     {stop_signal.fd(), POLLIN, 0}};
    if (::poll(fds, 2, wait) <= 0 || !open || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      continue;
    }
    // Straight into the receiver's room when it has one; what comes beyond
    // it lands in the buffer, and is too much.
    const std::span<char> room = spec.output_to ? spec.output_to->room() : std::span<char>();
    char* const into = room.empty() ? buffer : room.data();
    ssize_t n = ::read(out_read.get(), into, room.empty() ? sizeof buffer : room.size());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      n = 0;
    }
    if (n == 0) {
      open = false;
      out_read.reset();
      continue;
    }
    if (spec.output_to != nullptr) {
      if (room.empty()) return killed(ChildResult::End::OutputTooLong);
      spec.output_to->took(static_cast<size_t>(n));
      continue;
    }
    if (result.output.size() + static_cast<size_t>(n) > spec.max_output) {
      return killed(ChildResult::End::OutputTooLong);
    }
    result.output.append(buffer, static_cast<size_t>(n));
  }
}

ChildResult run_child(const ChildSpec& spec, std::stop_token stop) {
  std::string error;
  std::unique_ptr<StartedChild> started = start_child(spec, error);
  if (!started) {
    ChildResult result;
    result.error = error;
    return result;
  }
  return finish_child(std::move(started), spec, stop);
}

bool start_detached(const std::vector<std::string>& argv) {
  Launch l;
  l.path = argv.empty() ? std::string() : find_program(argv[0]);
  if (l.path.empty()) return false;
  std::vector<std::string> args = argv;
  for (std::string& a : args) l.argv.push_back(a.data());
  l.argv.push_back(nullptr);
  Fd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
  int report_pipe[2];
  if (null.get() < 0 || ::pipe2(report_pipe, O_CLOEXEC) != 0) return false;
  Fd report_read(report_pipe[0]), report_write(report_pipe[1]);
  l.in = l.out = l.err = null.get();
  l.report = report_write.get();
  l.die_with_parent = false;
  l.max_fd = max_descriptors();
  // The middle process starts the program in a session of its own and ends
  // at once, so the program is never our child for longer than that.
  pid_t middle = ::fork();
  if (middle < 0) return false;
  if (middle == 0) {
    ::setsid();
    pid_t program = ::fork();
    if (program == 0) child(l);
    _exit(program < 0 ? 127 : 0);
  }
  report_write.reset();
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  return exec_error(report_read.get()) == 0;
}

}  // namespace vs
