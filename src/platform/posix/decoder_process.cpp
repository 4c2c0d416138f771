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
constexpr uint32_t kAnswerMagic = 0x41445356;  // "VSDA"
constexpr uint32_t kMaxReason = 1024;

// What the decoder writes first; the reason, or the kept columns, rows and
// pixels follow it.
struct AnswerHeader {
  uint32_t magic = kAnswerMagic;
  uint32_t ok = 0;
  int32_t width = 0;  // the whole picture's size
  int32_t height = 0;
  uint32_t cols = 0;  // kept columns and rows; both 0 for a whole picture
  uint32_t rows = 0;
  uint32_t reason_bytes = 0;
};

template <class T>
void append(std::string& out, const T* data, size_t count) {
  out.append(reinterpret_cast<const char*>(data), count * sizeof(T));
}

bool ascending_within(const std::vector<int>& v, int limit) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] < 0 || v[i] >= limit || (i > 0 && v[i] <= v[i - 1])) return false;
  }
  return true;
}

// The most a sound answer for the view can hold: a view's fit never reads
// more pixels than its box has.
size_t largest_answer(const PictureView& view) {
  const uint64_t pixels = view.whole_picture()
                              ? static_cast<uint64_t>(kMaxPicturePixels)
                              : static_cast<uint64_t>(view.box_width) * view.box_height;
  const uint64_t lists =
      view.whole_picture() ? 0 : uint64_t{4} * (view.box_width + view.box_height);
  return static_cast<size_t>(sizeof(AnswerHeader) + kMaxReason + lists + pixels * 4);
}

template <class T>
std::span<char> bytes_of(T* data, size_t count) {
  return {reinterpret_cast<char*>(data), count * sizeof(T)};
}

// An answer read as it comes: each number the decoder sends is checked
// before what it sizes is allocated (the decoder may be a hostile
// picture's), and the pixels go straight into the picture.
class AnswerReader final : public ChildOutput {
 public:
  explicit AnswerReader(const PictureView& view) : view_(view) {}

  std::span<char> room() override { return part().subspan(got_); }
  void took(size_t bytes) override {
    got_ += bytes;
    if (stage_ == Stage::Pixels) clear_fourth_bytes();
    if (got_ == part().size()) next_stage();
  }

  // The result, once the decoder has ended by itself.
  PictureResult finish() {
    if (stage_ != Stage::Done) return PictureResult::failure(kDamagedAnswer);
    return std::move(result_);
  }

 private:
  enum class Stage { Header, Reason, Lists, Pixels, Done };
  static constexpr char kDamagedAnswer[] = "picture decoder sent a damaged answer";

  size_t pixel_count() const {
    return static_cast<size_t>(result_.picture.width()) *
           static_cast<size_t>(result_.picture.height());
  }
  std::span<char> part() {
    switch (stage_) {
      case Stage::Header:
        return bytes_of(&header_, 1);
      case Stage::Reason:
        return bytes_of(reason_.data(), reason_.size());
      case Stage::Lists:
        return bytes_of(lists_.data(), lists_.size());
      case Stage::Pixels:
        return bytes_of(result_.picture.data(), pixel_count());
      case Stage::Done:
        break;
    }
    return {};
  }
  // Pixels as they come, while they are in the cache: the fourth byte is
  // ours to keep 0.
  void clear_fourth_bytes() {
    uint32_t* pixels = result_.picture.data();
    for (const size_t whole = got_ / 4; cleared_ < whole; ++cleared_) pixels[cleared_] &= 0xFFFFFF;
  }
  // Nothing more is wanted from a damaged answer: more ends the decoder.
  void damaged() {
    stage_ = Stage::Done;
    result_ = PictureResult::failure(kDamagedAnswer);
    got_ = 0;
  }
  void next_stage() {
    got_ = 0;
    switch (stage_) {
      case Stage::Header:
        return read_header();
      case Stage::Reason:
        result_ = PictureResult::failure(std::string(reason_.data(), reason_.size()));
        stage_ = Stage::Done;
        return;
      case Stage::Lists:
        return read_lists();
      case Stage::Pixels:
        stage_ = Stage::Done;
        return;
      case Stage::Done:
        return;
    }
  }
  void read_header() {
    const AnswerHeader& h = header_;
    if (h.magic != kAnswerMagic) return damaged();
    if (h.ok == 0) {
      if (h.reason_bytes == 0 || h.reason_bytes > kMaxReason) return damaged();
      reason_.resize(h.reason_bytes);
      stage_ = Stage::Reason;
      return;
    }
    const int64_t w = h.width, hh = h.height;
    if (w <= 0 || hh <= 0 || w * hh > kMaxPicturePixels) return damaged();
    const bool whole = h.cols == 0 && h.rows == 0;
    if (!whole && (h.cols == 0 || h.rows == 0 || h.cols > w || h.rows > hh)) return damaged();
    const uint64_t pixels = whole ? static_cast<uint64_t>(w * hh) : uint64_t{h.cols} * h.rows;
    if (sizeof h + 4 * (uint64_t{h.cols} + h.rows) + 4 * pixels > largest_answer(view_)) {
      return damaged();
    }
    result_ = PictureResult::success({});
    if (whole) {
      // A picture the view reads only in part comes back in part.
      if (!view_.whole_picture() &&
          !needed_pixels(view_, static_cast<int>(w), static_cast<int>(hh)).whole()) {
        return damaged();
      }
      return start_pixels(static_cast<int>(w), static_cast<int>(hh));
    }
    result_.kept.width = static_cast<int>(w);
    result_.kept.height = static_cast<int>(hh);
    lists_.resize(size_t{h.cols} + h.rows);
    stage_ = Stage::Lists;
  }
  void read_lists() {
    PixelSubset& kept = result_.kept;
    kept.cols.assign(lists_.begin(), lists_.begin() + header_.cols);
    kept.rows.assign(lists_.begin() + header_.cols, lists_.end());
    if (!ascending_within(kept.cols, kept.width) || !ascending_within(kept.rows, kept.height)) {
      return damaged();
    }
    start_pixels(static_cast<int>(header_.cols), static_cast<int>(header_.rows));
  }
  void start_pixels(int width, int height) {
    result_.picture = Surface(width, height);
    stage_ = Stage::Pixels;
  }

  const PictureView view_;
  Stage stage_ = Stage::Header;
  size_t got_ = 0;  // bytes of the stage's part so far
  size_t cleared_ = 0;
  AnswerHeader header_;
  std::vector<char> reason_;
  std::vector<int> lists_;
  PictureResult result_;
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

std::string view_argument(const PictureView& view) {
  const char* mode = view.mode == FitMode::FullScreen  ? ":full"
                     : view.mode == FitMode::Thumbnail ? ":thumbnail"
                                                       : ":own";
  return "--view=" + std::to_string(view.box_width) + "x" + std::to_string(view.box_height) + mode;
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
  AnswerReader answer(view);
  ChildSpec spec;
  spec.argv = {program};
  spec.keep_stderr = true;
  spec.wall_ms = limits.wall_ms;
  spec.cpu_seconds = limits.cpu_seconds;
  spec.address_space = limits.address_space;
  spec.output_pipe_bytes = size_t{1} << 20;
  std::unique_ptr<StartedChild> child;
  if (ready && !std::getenv("VARNOSCAPE_DECODER")) {
    spec.argv.emplace_back(kWaitForPicture);
    child = hand_to_ready_decoder(spec, fd, view.whole_picture() ? "" : view_argument(view));
    spec.argv.pop_back();
  }
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

PictureView parse_view_argument(std::string_view text) {
  PictureView view;
  if (!text.starts_with("--view=")) return view;
  text.remove_prefix(7);
  const size_t cross = text.find('x'), colon = text.find(':');
  if (cross == std::string_view::npos || colon == std::string_view::npos || colon < cross) {
    return view;
  }
  const std::string w(text.substr(0, cross)), h(text.substr(cross + 1, colon - cross - 1));
  const std::string_view mode = text.substr(colon + 1);
  char* end = nullptr;
  const long bw = std::strtol(w.c_str(), &end, 10);
  if (*end != '\0') return view;
  const long bh = std::strtol(h.c_str(), &end, 10);
  if (*end != '\0' || bw <= 0 || bh <= 0 || bw > 65535 || bh > 65535) return view;
  if (mode != "full" && mode != "own" && mode != "thumbnail") return view;
  view.box_width = static_cast<int>(bw);
  view.box_height = static_cast<int>(bh);
  view.mode = mode == "full"        ? FitMode::FullScreen
              : mode == "thumbnail" ? FitMode::Thumbnail
                                    : FitMode::OwnSize;
  return view;
}

namespace {

// The answer up to its pixels: the header and the reason, or the header and
// the kept columns and rows.
std::string answer_head(const PictureResult& r) {
  AnswerHeader h;
  std::string out;
  if (!r.ok) {
    std::string reason = r.reason.substr(0, kMaxReason);
    h.reason_bytes = static_cast<uint32_t>(reason.size());
    append(out, &h, 1);
    return out + reason;
  }
  h.ok = 1;
  h.width = r.width();
  h.height = r.height();
  h.cols = static_cast<uint32_t>(r.kept.cols.size());
  h.rows = static_cast<uint32_t>(r.kept.rows.size());
  append(out, &h, 1);
  append(out, r.kept.cols.data(), r.kept.cols.size());
  append(out, r.kept.rows.data(), r.kept.rows.size());
  return out;
}

std::string_view answer_pixels(const PictureResult& r) {
  if (!r.ok) return {};
  return {reinterpret_cast<const char*>(r.picture.data()),
          4 * static_cast<size_t>(r.picture.width()) * static_cast<size_t>(r.picture.height())};
}

}  // namespace

std::string encode_decoder_answer(const PictureResult& r) {
  return answer_head(r) + std::string(answer_pixels(r));
}

bool write_decoder_answer(int fd, const PictureResult& r) {
  const std::string head = answer_head(r);
  const std::string_view pixels = answer_pixels(r);
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

PictureResult read_decoder_answer(std::string_view answer, const PictureView& view) {
  AnswerReader reader(view);
  while (!answer.empty()) {
    const std::span<char> room = reader.room();
    if (room.empty()) return PictureResult::failure("picture decoder sent a damaged answer");
    const size_t n = std::min(room.size(), answer.size());
    std::memcpy(room.data(), answer.data(), n);
    reader.took(n);
    answer.remove_prefix(n);
  }
  return reader.finish();
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
