#include "platform/posix/decoder_process.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <span>
#include <vector>

#include "pictures/decoder_answer.h"
#include "pictures/picture_reasons.h"
#include "platform/posix/child_process.h"
#include "platform/posix/decoder_confinement.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/ready_decoder.h"
#include "platform/posix/regular_file.h"

#ifndef VS_DECODER_FROM_BIN
#define VS_DECODER_FROM_BIN "../libexec/varnoscape"
#endif

namespace vs {

namespace {

constexpr const char* kDecoderName = "varnoscape-decoder";
// The decoder's answer as its output comes.
class AnswerOutput final : public ChildOutput {
 public:
  explicit AnswerOutput(const PictureView& view) : reader_(view) {}
  std::span<char> room() override { return reader_.room(); }
  void took(size_t bytes) override { reader_.took(bytes); }
  PictureResult finish() { return reader_.finish(); }

 private:
  DecoderAnswerReader reader_;
};

std::string executable_folder() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return ".";
  buf.resize(static_cast<size_t>(n));
  return buf.substr(0, buf.find_last_of('/'));
}

// $VARNOSCAPE_DECODER when set, else beside this program, else where an
// installation puts it. Empty when there is none.
std::string decoder_program() {
  if (const char* named = std::getenv("VARNOSCAPE_DECODER"); named && *named) return named;
  const std::string here = executable_folder();
  for (const std::string& candidate :
       {here + "/" + kDecoderName, here + "/" VS_DECODER_FROM_BIN "/" + kDecoderName}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

constexpr std::string_view kForbiddenCall =
    "picture could not be read: its decoder made a forbidden call";
constexpr std::string_view kUnconfined = "picture decoder could not confine itself";

// Where the kernel has no Landlock, the decoder is confined by the rest
// alone: said once, by the program that starts it.
void tell_once_whether_landlock_confines() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (landlock_abi() > 0) return;
    std::fprintf(stderr,
                 "%s: this kernel has no Landlock: the picture decoder is confined without it "
                 "(by seccomp, no_new_privs and its limits)\n",
                 program_invocation_short_name);
    std::fflush(stderr);
  });
}

ChildSpec decoder_spec(const std::string& program, const DecoderLimits& limits) {
  ChildSpec spec;
  spec.argv = {program};
  spec.keep_stderr = true;
  spec.wall_ms = limits.wall_ms;
  spec.cpu_seconds = limits.cpu_seconds;
  spec.address_space = limits.address_space;
  spec.output_pipe_bytes = size_t{1} << 20;
  return spec;
}

// The decoder a picture is handed to: the saver's ready one (ready_decoder.h)
// when it may use one, else one started for it. A decoder that a variable
// names is started for each picture: a stand-in need not wait for its
// picture as ours does.
PictureResult decode_in_child(int fd, const PictureView& view, std::stop_token stop,
                              const DecoderLimits& limits, bool ready = false) {
  tell_once_whether_landlock_confines();
  const std::string program = decoder_program();
  if (program.empty()) {
    return PictureResult::failure(std::string("picture decoder not installed (") + kDecoderName +
                                  ")");
  }
  AnswerOutput answer(view);
  ChildSpec spec = decoder_spec(program, limits);
  ChildSpec waiting = spec;
  waiting.argv.emplace_back(kWaitForPicture);
  ready = ready && !std::getenv("VARNOSCAPE_DECODER");
  std::unique_ptr<StartedChild> child;
  if (ready)
    child = hand_to_ready_decoder(waiting, fd, view.whole_picture() ? "" : view_argument(view));
  std::string error;
  if (!child) {
    if (!view.whole_picture()) spec.argv.push_back(view_argument(view));
    spec.stdin_fd = fd;
    child = start_child(spec, error);
  }
  spec.output_to = &answer;
  ChildResult r;
  if (child) {
    r = finish_child(std::move(child), spec, stop);
  } else {
    r.error = error;
  }
  // The next picture's decoder; not for a load stopped as the program ends.
  if (ready && r.end != ChildResult::End::Stopped) start_ready_decoder(waiting);
  switch (r.end) {
    case ChildResult::End::Exited:
      return answer.finish();
    case ChildResult::End::Signalled:
      if (r.status == SIGXCPU) return PictureResult::failure("picture took too long to decode");
      // A forbidden call made with every signal blocked: its trap could not
      // say which.
      if (r.status == SIGSYS) return PictureResult::failure(forbidden_call_reason({}));
      return PictureResult::failure("picture decoder crashed (signal " + std::to_string(r.status) +
                                    ")");
    case ChildResult::End::TimedOut:
      return PictureResult::failure("picture took too long to decode");
    case ChildResult::End::Stopped:
      return PictureResult::failure(kPictureLoadStopped);
    case ChildResult::End::OutputTooLong:
      return PictureResult::failure("picture decoder sent a damaged answer");
    case ChildResult::End::NotStarted:
      break;
  }
  return PictureResult::failure("picture decoder could not start (" + r.error + ")");
}

}  // namespace

std::string forbidden_call_reason(std::string_view call) {
  return call.empty() ? std::string(kForbiddenCall)
                      : std::string(kForbiddenCall) + " (" + std::string(call) + ")";
}

std::string unconfined_decoder_reason(std::string_view why) {
  return std::string(kUnconfined) + " (" + std::string(why) + ")";
}

bool is_confinement_reason(std::string_view reason) {
  return reason.starts_with(kForbiddenCall) || reason.starts_with(kUnconfined);
}

bool write_decoder_answer(int fd, const PictureResult& r) {
  const std::string head = decoder_answer_head(r);
  const std::string_view pixels = decoder_answer_pixels(r);
  size_t done = 0;
  const size_t total = head.size() + pixels.size();
  while (done < total) {
    iovec parts[2];
    int count = 0;
    if (done < head.size()) {
      parts[count++] = {const_cast<char*>(head.data()) + done, head.size() - done};
    }
    const size_t into_pixels = done > head.size() ? done - head.size() : 0;
    if (into_pixels < pixels.size()) {
      parts[count++] = {const_cast<char*>(pixels.data()) + into_pixels,
                        pixels.size() - into_pixels};
    }
    const ssize_t n = ::writev(fd, parts, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

namespace {

PictureResult load_file(const std::string& path, const PictureView& view, std::stop_token stop,
                        bool ready) {
  const RegularFile file(path);
  if (file.fd() < 0) return PictureResult::failure(unreadable_file_reason(file.failure()));
  if (file.size() > static_cast<uint64_t>(kMaxPictureFileBytes)) {
    return PictureResult::failure(file_too_large_reason());
  }
  if (file.size() == 0) return PictureResult::failure(kEmptyFile);
  return decode_in_child(file.fd(), view, stop, DecoderLimits{}, ready);
}

}  // namespace

void start_picture_decoder_ahead() {
  const std::string program = decoder_program();
  if (program.empty() || std::getenv("VARNOSCAPE_DECODER")) return;
  ChildSpec spec = decoder_spec(program, DecoderLimits{});
  spec.argv.emplace_back(kWaitForPicture);
  start_ready_decoder(spec);
}

PictureResult load_picture_file(const std::string& path, const PictureView& view,
                                std::stop_token stop) {
  return load_file(path, view, stop, false);
}

PictureResult decode_bytes_in_child(std::string_view bytes, const PictureView& view,
                                    const DecoderLimits& limits) {
  const int fd = ::memfd_create("varnoscape-picture", MFD_CLOEXEC);
  if (fd < 0)
    return PictureResult::failure(std::string("cannot hold the picture (") + std::strerror(errno) +
                                  ")");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return PictureResult::failure("cannot hold the picture");
    }
    done += static_cast<size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  PictureResult r = decode_in_child(fd, view, {}, limits);
  ::close(fd);
  return r;
}

PictureResult PosixSystem::load_picture(const std::string& path, const PictureView& view,
                                        std::stop_token stop) {
  PictureResult r = load_file(path, view, stop, true);
  if (!r.ok && is_confinement_reason(r.reason)) {
    // Told once a picture (a decoder that cannot confine itself, once in
    // all), however often the slide show comes back to it.
    static std::mutex told_mutex;
    static std::set<std::string> told;
    const std::string key = r.reason.starts_with(kForbiddenCall) ? path : r.reason;
    std::unique_lock lock(told_mutex);
    if (told.insert(key).second) report(path + ": " + r.reason);
  }
  return r;
}

}  // namespace vs
