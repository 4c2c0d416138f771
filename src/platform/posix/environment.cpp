#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/posix_platform.h"

namespace vs {

void set_up_signals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaction(sig, &dfl, nullptr);
  sigset_t ending;
  sigemptyset(&ending);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, sig);
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
}

PosixSystem::PosixSystem(std::vector<std::string> args) : args_(std::move(args)) {}
PosixSystem::~PosixSystem() = default;

// The screen-saver machinery hands over one argument string; on POSIX the
// shell has already split it, so join the words back with single blanks.
std::string PosixSystem::argument_string() const {
  return joined_arguments(args_);
}

std::optional<std::string> PosixSystem::environment(const std::string& name) const {
  const char* v = std::getenv(name.c_str());
  if (!v) return std::nullopt;
  return std::string(v);
}

void PosixSystem::report(const std::string& line) {
  std::fprintf(stderr, "varnoscape: %s\n", line.c_str());
  std::fflush(stderr);
}

std::string PosixSystem::program_folder() const {
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return ".";
  buf.resize(static_cast<size_t>(n));
  size_t slash = buf.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return buf.substr(0, slash);
}

std::string PosixSystem::user_config_folder() const {
  if (auto xdg = environment("XDG_CONFIG_HOME"); xdg && !xdg->empty() && (*xdg)[0] == '/') {
    return *xdg;
  }
  if (auto home = environment("HOME"); home && !home->empty()) return *home + "/.config";
  return {};
}

}  // namespace vs
