// One copy a session: no client sees another's windows, so the claim is a
// lock on a file in $XDG_RUNTIME_DIR, named after the compositor's socket.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/wayland/wayland_state.h"

namespace vs {

bool WaylandPlatform::window_exists(const std::string&) {
  // No client sees another's windows; the lock below keeps one copy.
  return false;
}

bool WaylandPlatform::claim_single_copy() {
  if (w_->lock_fd >= 0) return true;
  std::optional<std::string> runtime = environment("XDG_RUNTIME_DIR");
  if (!runtime || runtime->empty()) {
    report("XDG_RUNTIME_DIR is not set: another copy cannot be told apart");
    return true;
  }
  std::string display = environment("WAYLAND_DISPLAY").value_or("wayland-0");
  std::replace(display.begin(), display.end(), '/', '_');
  const std::string path = *runtime + "/varnoscape-" + display + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    report("cannot open " + path + ": " + std::strerror(errno));
    return true;
  }
  // Held as long as the process lives; the system lets it go with it.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  w_->lock_fd = fd;
  return true;
}

}  // namespace vs
