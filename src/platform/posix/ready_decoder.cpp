#include "platform/posix/ready_decoder.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vs {

namespace {

// What a ready decoder was started as: a picture needs one of the same
// program and limits.
struct Kind {
  std::vector<std::string> argv;
  int cpu_seconds = 0;
  uint64_t address_space = 0;
  bool operator==(const Kind&) const = default;
};

Kind kind_of(const ChildSpec& spec) {
  return {spec.argv, spec.cpu_seconds, spec.address_space};
}

struct Ready {
  Kind kind;
  std::unique_ptr<StartedChild> child;
  int request = -1;  // our end of its standard input
  ~Ready() {
    if (request >= 0) ::close(request);
  }
};

std::unique_ptr<Ready> start_ready(ChildSpec spec) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return nullptr;
  spec.stdin_fd = pair[1];
  std::string error;
  std::unique_ptr<StartedChild> child = start_child(spec, error);
  ::close(pair[1]);
  auto ready = std::make_unique<Ready>();
  ready->request = pair[0];
  if (!child) return nullptr;
  ready->kind = kind_of(spec);
  ready->child = std::move(child);
  return ready;
}

// A socket message of one buffer with room for one descriptor, as the
// picture is sent and received.
struct DescriptorMessage {
  DescriptorMessage(void* bytes, size_t size) : data{bytes, size} {
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
  }
  DescriptorMessage(const DescriptorMessage&) = delete;
  DescriptorMessage& operator=(const DescriptorMessage&) = delete;

  iovec data;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
};

// The view's argument, with the picture's descriptor beside it.
bool send_picture(int socket, int picture, std::string_view view) {
  std::string text = view.empty() ? std::string("-") : std::string(view);
  DescriptorMessage m(text.data(), text.size());
  msghdr& message = m.message;
  cmsghdr* rights = CMSG_FIRSTHDR(&message);
  rights->cmsg_level = SOL_SOCKET;
  rights->cmsg_type = SCM_RIGHTS;
  rights->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(rights), &picture, sizeof picture);
  for (;;) {
    const ssize_t n = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    return n == static_cast<ssize_t>(text.size());
  }
}

// The program's one ready decoder, and the thread that starts the next. A
// decoder dies with the thread that started it (PR_SET_PDEATHSIG, see
// child_process.h), and a load's thread ends with its load: the ready one is
// started by a thread that lasts as long as the program.
class Keeper {
 public:
  // Never destroyed: its thread runs until the program ends. A process
  // forked from the program has none of it (its thread stayed behind).
  static Keeper* of_this_process() {
    static Keeper* const keeper = new Keeper;
    return keeper->owner_ == ::getpid() ? keeper : nullptr;
  }

  // The ready decoder when it is of that kind and has not ended.
  std::unique_ptr<Ready> take(const ChildSpec& waiting) {
    std::unique_ptr<Ready> taken, other;
    {
      const std::lock_guard lock(mutex_);
      (ready_ && ready_->kind == kind_of(waiting) ? taken : other) = std::move(ready_);
    }
    if (taken && taken->child->ended()) taken.reset();
    return taken;
  }
  void ask_for(const ChildSpec& waiting) {
    {
      const std::lock_guard lock(mutex_);
      ask(waiting);
    }
    asked_for_.notify_one();
  }

 private:
  Keeper() : owner_(::getpid()) {}

  // With the mutex held.
  void ask(const ChildSpec& waiting) {
    wanted_ = waiting;
    wanted_.output_to = nullptr;
    asked_ = true;
    if (!started_) {
      std::thread([this] { keep(); }).detach();
      started_ = true;
    }
  }

  void keep() {
    for (;;) {
      ChildSpec spec;
      {
        std::unique_lock lock(mutex_);
        asked_for_.wait(lock, [this] { return asked_; });
        asked_ = false;
        // One started meanwhile for a picture that did not come is still
        // ready.
        if (ready_ && ready_->kind == kind_of(wanted_) && !ready_->child->ended()) continue;
        spec = wanted_;
      }
      std::unique_ptr<Ready> next = start_ready(spec), replaced;
      const std::lock_guard lock(mutex_);
      replaced = std::exchange(ready_, std::move(next));
    }
  }

  const pid_t owner_;
  std::mutex mutex_;
  std::condition_variable asked_for_;
  bool started_ = false;
  bool asked_ = false;
  ChildSpec wanted_;
  std::unique_ptr<Ready> ready_;
};

}  // namespace

std::unique_ptr<StartedChild> hand_to_ready_decoder(const ChildSpec& waiting, int picture,
                                                    std::string_view view) {
  Keeper* keeper = Keeper::of_this_process();
  if (keeper == nullptr) return nullptr;
  std::unique_ptr<Ready> ready = keeper->take(waiting);
  if (!ready || !send_picture(ready->request, picture, view)) return nullptr;
  return std::move(ready->child);
}

void start_ready_decoder(const ChildSpec& waiting) {
  if (Keeper* keeper = Keeper::of_this_process()) keeper->ask_for(waiting);
}

bool receive_picture(std::string& view) {
  char text[64];
  DescriptorMessage m(text, sizeof text);
  msghdr& message = m.message;
  ssize_t n;
  do {
    n = ::recvmsg(0, &message, MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  const cmsghdr* rights = n > 0 ? CMSG_FIRSTHDR(&message) : nullptr;
  if (rights == nullptr || rights->cmsg_level != SOL_SOCKET || rights->cmsg_type != SCM_RIGHTS ||
      rights->cmsg_len != CMSG_LEN(sizeof(int)) || (message.msg_flags & MSG_TRUNC) != 0) {
    return false;
  }
  int picture = -1;
  std::memcpy(&picture, CMSG_DATA(rights), sizeof picture);
  // The picture takes the socket's place.
  const bool placed = ::dup2(picture, 0) == 0;
  ::close(picture);
  view.assign(text, static_cast<size_t>(n));
  if (view == "-") view.clear();
  return placed;
}

}  // namespace vs
