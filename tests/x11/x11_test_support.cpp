#include "x11/x11_test_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace vs::testing {
namespace {

Display* dpy(void* d) {
  return static_cast<Display*>(d);
}

std::vector<char*> c_args(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// The environment with DISPLAY replaced.
std::vector<std::string> environment_for(const std::string& display) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  }
  env.push_back("DISPLAY=" + display);
  return env;
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int out_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  std::vector<std::string> env = environment_for(display);
  auto args = c_args(argv);
  auto envp = c_args(env);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data()) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

Xvfb::Xvfb(const std::string& screen) {
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "pipe failed";
    return;
  }
  std::string fd_arg = std::to_string(fds[1]);
  std::vector<std::string> argv = {"Xvfb", "-displayfd", fd_arg, "-screen", "0",
                                   screen, "-nolisten",  "tcp",  "-noreset"};
  pid_t pid = fork();
  if (pid == 0) {
    // Gone with the test program, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(fds[0]);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    auto args = c_args(argv);
    execvp("Xvfb", args.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    error_ = "fork failed";
    return;
  }
  pid_ = pid;
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[32];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
    if (number.find('\n') != std::string::npos) break;
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) {
    int status = 0;
    bool exited = waitpid(pid_, &status, WNOHANG) == pid_;
    error_ = exited && WIFEXITED(status) && WEXITSTATUS(status) == 127
                 ? "Xvfb is not installed (cannot run it)"
                 : "Xvfb did not start";
    kill_now();
    return;
  }
  display_ = ":" + number;
}

Xvfb::~Xvfb() {
  kill_now();
}

void Xvfb::kill_now() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

Xvfb& shared_server() {
  static Xvfb server;
  return server;
}

X11Platform::Options options_for(const Xvfb& server, bool use_shm) {
  X11Platform::Options o;
  o.display = server.display();
  o.use_shm = use_shm;
  return o;
}

RunResult run(const std::vector<std::string>& argv, const std::string& display) {
  int fds[2];
  RunResult r;
  if (pipe(fds) != 0) return r;
  pid_t pid = spawn(argv, display, fds[1]);
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while (pid > 0 && (n = read(fds[0], buf, sizeof buf)) > 0)
    r.out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  if (pid > 0) r.status = finish(pid);
  return r;
}

pid_t start(const std::vector<std::string>& argv, const std::string& display) {
  return spawn(argv, display, -1);
}

int finish(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Peer::Peer(const std::string& display) {
  display_ = XOpenDisplay(display.c_str());
}

Peer::~Peer() {
  if (display_) XCloseDisplay(dpy(display_));
}

uint64_t Peer::make_window(int x, int y, int width, int height, uint64_t parent) {
  Display* d = dpy(display_);
  Window p = parent ? static_cast<Window>(parent) : DefaultRootWindow(d);
  Window w = XCreateSimpleWindow(d, p, x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, 0, WhitePixel(d, 0));
  XMapWindow(d, w);
  XSync(d, False);
  return w;
}

uint64_t Peer::make_input_only_window(int x, int y, int width, int height) {
  Display* d = dpy(display_);
  XSetWindowAttributes a{};
  Window w = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                           static_cast<unsigned>(height), 0, 0, InputOnly, CopyFromParent, 0, &a);
  XMapWindow(d, w);
  XSync(d, False);
  return w;
}

void Peer::set_net_wm_name(uint64_t window, const std::string& utf8) {
  Display* d = dpy(display_);
  XChangeProperty(d, window, XInternAtom(d, "_NET_WM_NAME", False),
                  XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
  XSync(d, False);
}

void Peer::set_wm_name(uint64_t window, const std::string& utf8, const std::string& encoding) {
  Display* d = dpy(display_);
  if (encoding == "COMPOUND_TEXT") {
    char* list[] = {const_cast<char*>(utf8.c_str())};
    XTextProperty text{};
    if (Xutf8TextListToTextProperty(d, list, 1, XCompoundTextStyle, &text) >= Success) {
      XSetWMName(d, window, &text);
      XFree(text.value);
    }
  } else {
    Atom type = encoding == "STRING" ? XA_STRING : XInternAtom(d, encoding.c_str(), False);
    XChangeProperty(d, window, XA_WM_NAME, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
  }
  XSync(d, False);
}

uint64_t Peer::root() {
  return DefaultRootWindow(dpy(display_));
}

void Peer::raise(uint64_t window) {
  XRaiseWindow(dpy(display_), window);
  XSync(dpy(display_), False);
}

void Peer::destroy(uint64_t window) {
  XDestroyWindow(dpy(display_), window);
  XSync(dpy(display_), False);
}

void Peer::resize(uint64_t window, int width, int height) {
  XResizeWindow(dpy(display_), window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(dpy(display_), False);
}

void Peer::sync() {
  XSync(dpy(display_), False);
}

std::optional<Surface> Peer::read_pixels(uint64_t window, int x, int y, int width, int height) {
  Display* d = dpy(display_);
  XImage* image = XGetImage(d, window, x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  Surface s(width, height);
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      unsigned long v = XGetPixel(image, col, row);
      s.set_pixel(col, row, static_cast<uint32_t>(image->depth >= 24 ? v & 0xFFFFFF : v));
    }
  }
  XDestroyImage(image);
  return s;
}

std::optional<Peer::Geometry> Peer::geometry(uint64_t window) {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(dpy(display_), window, &a)) return std::nullopt;
  Geometry g{a.x, a.y, a.width, a.height, a.map_state == IsViewable, a.override_redirect != 0, 0};
  g.children = static_cast<int>(children(window).size());
  return g;
}

std::vector<uint64_t> Peer::children(uint64_t window) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned int count = 0;
  std::vector<uint64_t> out;
  if (XQueryTree(dpy(display_), window, &root, &parent, &kids, &count)) {
    for (unsigned int i = 0; i < count; ++i) out.push_back(kids[i]);
  }
  if (kids) XFree(kids);
  return out;
}

std::string Peer::wm_name(uint64_t window) {
  XTextProperty text{};
  std::string out;
  if (!XGetWMName(dpy(display_), window, &text)) return out;
  char** list = nullptr;
  int count = 0;
  if (Xutf8TextPropertyToTextList(dpy(display_), &text, &list, &count) >= Success && list) {
    for (int i = 0; i < count; ++i) out += list[i];
    XFreeStringList(list);
  }
  XFree(text.value);
  return out;
}

uint64_t Peer::find_by_net_name(const std::string& title) {
  Display* d = dpy(display_);
  Atom name = XInternAtom(d, "_NET_WM_NAME", False);
  for (uint64_t top : children(DefaultRootWindow(d))) {
    std::vector<uint64_t> candidates = children(top);
    candidates.insert(candidates.begin(), top);
    for (uint64_t w : candidates) {
      Atom type = 0;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(d, w, name, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                             &after, &data) == Success &&
          data) {
        bool same = std::string(reinterpret_cast<char*>(data), count) == title;
        XFree(data);
        if (same) return w;
      }
    }
  }
  return 0;
}

uint64_t Peer::make_pixmap() {
  Display* d = dpy(display_);
  Pixmap p =
      XCreatePixmap(d, DefaultRootWindow(d), 4, 4, static_cast<unsigned>(DefaultDepth(d, 0)));
  XSync(d, False);
  return p;
}

bool Peer::keyboard_free() {
  Display* d = dpy(display_);
  bool free = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync,
                            CurrentTime) == GrabSuccess;
  if (free) XUngrabKeyboard(d, CurrentTime);
  XSync(d, False);
  return free;
}

uint64_t Peer::focus() {
  Window w = 0;
  int revert = 0;
  XGetInputFocus(dpy(display_), &w, &revert);
  return w;
}

struct Watchdog::Shared {
  std::mutex mutex;
  std::condition_variable done;
  bool disarmed = false;
};

Watchdog::Watchdog(Xvfb& server, std::chrono::milliseconds limit, std::string what)
    : shared_(std::make_shared<Shared>()) {
  pid_t pid = server.pid();
  thread_ = std::thread([shared = shared_, pid, limit, what] {
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (shared->done.wait_for(lock, limit, [&] { return shared->disarmed; })) return;
    std::fprintf(stderr, "%s did not finish in time: ending the test program\n", what.c_str());
    kill(pid, SIGKILL);
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->disarmed = true;
  }
  shared_->done.notify_all();
  thread_.join();
}

// Several threads of a test talk to the server, each on its own connection.
const bool threads_initialised = XInitThreads() != 0;

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

Surface noise_surface(int width, int height, uint32_t seed) {
  Surface s(width, height);
  uint32_t state = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      s.set_pixel(x, y, state & 0xFFFFFF);
    }
  }
  return s;
}

}  // namespace vs::testing
