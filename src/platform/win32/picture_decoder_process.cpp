// The saver's side of the picture decoder process (see
// picture_decoder_process.h): the child started ahead, the picture handed
// to it, and the wait for its answer, the time limit or a stop.
#include "platform/win32/picture_decoder_process.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>

#include "pictures/decoder_answer.h"
#include "pictures/picture_reasons.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/picture_decoder_start.h"
#include "platform/win32/win32_files.h"

namespace vs {

namespace {

using win32::OwnedHandle;

// The child started ahead of the next picture. It is never destroyed: a
// thread of the system's pool may still be starting one as the program
// ends, and the system ends the child with the program (its job closes).
class ChildAhead {
 public:
  static ChildAhead& instance() {
    static auto* const ahead = new ChildAhead;
    return *ahead;
  }

  // The child started ahead when it is of this launch and still waits,
  // else one started now.
  DecoderChild take(const DecoderLaunch& launch) {
    {
      const std::lock_guard lock(mutex_);
      if (child_ && program_ == launch.program && memory_ == launch.memory &&
          WaitForSingleObject(child_->process.get(), 0) == WAIT_TIMEOUT) {
        DecoderChild taken = std::move(*child_);
        child_.reset();
        return taken;
      }
    }
    return start_decoder_child(launch.program, launch.memory);
  }

  // Starts the next one on a thread of the system's pool, unless one waits
  // or is being started. A child that cannot start now is started again
  // with its picture, which then fails with the reason.
  void prepare(const DecoderLaunch& launch) {
    {
      const std::lock_guard lock(mutex_);
      if (starting_ || (child_ && program_ == launch.program && memory_ == launch.memory)) return;
      starting_ = true;
      child_.reset();
      program_ = launch.program;
      memory_ = launch.memory;
    }
    if (!TrySubmitThreadpoolCallback(start_ahead, this, nullptr)) {
      const std::lock_guard lock(mutex_);
      starting_ = false;
    }
  }

 private:
  static void CALLBACK start_ahead(PTP_CALLBACK_INSTANCE, void* context) {
    auto* ahead = static_cast<ChildAhead*>(context);
    std::wstring program;
    uint64_t memory = 0;
    {
      const std::lock_guard lock(ahead->mutex_);
      program = ahead->program_;
      memory = ahead->memory_;
    }
    std::optional<DecoderChild> started;
    try {
      started = start_decoder_child(program, memory);
    } catch (const DecoderStartFailure&) {
    }
    const std::lock_guard lock(ahead->mutex_);
    ahead->starting_ = false;
    if (started && ahead->program_ == program && ahead->memory_ == memory) {
      ahead->child_ = std::move(started);
    }
  }

  std::mutex mutex_;
  std::optional<DecoderChild> child_;
  std::wstring program_;
  uint64_t memory_ = 0;
  bool starting_ = false;
};

// Why a child ended without an answer.
std::string ended_reason(HANDLE process) {
  DWORD status = 0;
  GetExitCodeProcess(process, &status);
  char hex[16];
  if ((status & 0xC0000000u) == 0xC0000000u) {
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(status));
    return std::string("picture decoder crashed (exception 0x") + hex + ")";
  }
  return "picture decoder ended without an answer (exit code " + std::to_string(status) + ")";
}

// One message each way on the overlapped pipe, waited for until the
// deadline or a stop.
class Exchange {
 public:
  enum class End { Done, Broken, Stopped, TimedOut };

  Exchange(HANDLE pipe, std::stop_token stop, int wall_ms)
      : pipe_(pipe),
        stopped_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        io_done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        on_stop_(stop, [this] { SetEvent(stopped_.get()); }),
        deadline_(GetTickCount64() + static_cast<ULONGLONG>(wall_ms)) {
    if (!stopped_.valid() || !io_done_.valid()) {
      throw DecoderStartFailure{"picture decoder could not start (no event)"};
    }
  }

  End receive(DecoderMessage& message) { return transfer(false, message); }
  End send(DecoderMessage message) { return transfer(true, message); }

 private:
  End transfer(bool sending, DecoderMessage& message) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = io_done_.get();
    ResetEvent(io_done_.get());
    DWORD moved = 0;
    bool done = sending ? WriteFile(pipe_, &message, sizeof message, &moved, &overlapped)
                        : ReadFile(pipe_, &message, sizeof message, &moved, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
      const ULONGLONG now = GetTickCount64();
      const DWORD left = now < deadline_ ? static_cast<DWORD>(deadline_ - now) : 0;
      const HANDLE events[] = {io_done_.get(), stopped_.get()};
      const DWORD woke = WaitForMultipleObjects(2, events, FALSE, left);
      if (woke != WAIT_OBJECT_0) {
        CancelIoEx(pipe_, &overlapped);
        GetOverlappedResult(pipe_, &overlapped, &moved, TRUE);
        return woke == WAIT_OBJECT_0 + 1 ? End::Stopped : End::TimedOut;
      }
      done = GetOverlappedResult(pipe_, &overlapped, &moved, FALSE);
    }
    return done && moved == sizeof message ? End::Done : End::Broken;
  }

  HANDLE pipe_;
  OwnedHandle stopped_, io_done_;
  std::stop_callback<std::function<void()>> on_stop_;
  ULONGLONG deadline_;
};

// The answer, read from the section once the child says it is there. The
// child is not waited for: the answer is read through copies, each checked
// once copied, so a child still writing could spoil only its own pixels.
PictureResult read_section(HANDLE section, uint64_t bytes, const PictureView& view) {
  const void* mapped = MapViewOfFile(section, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(bytes));
  if (!mapped) return PictureResult::failure("picture decoder sent a damaged answer");
  PictureResult r = without_exceptions([&] {
    return read_decoder_answer(
        std::string_view(static_cast<const char*>(mapped), static_cast<size_t>(bytes)), view);
  });
  UnmapViewOfFile(mapped);
  return r;
}

// The picture handed over, then the answer: its size asked for, a section
// made and given, and the word that it is there.
PictureResult exchange_answer(const DecoderChild& child, HANDLE file, const PictureView& view,
                              std::stop_token stop, const DecoderLaunch& launch) {
  const PictureResult damaged = PictureResult::failure("picture decoder sent a damaged answer");
  Exchange exchange(child.pipe.get(), std::move(stop), launch.wall_ms);
  auto ended = [&](Exchange::End end) {
    if (end == Exchange::End::Stopped) return PictureResult::failure(kPictureLoadStopped);
    if (end == Exchange::End::TimedOut) {
      return PictureResult::failure("picture took too long to decode");
    }
    // The pipe broke: the child ended, or is ending, without an answer.
    if (WaitForSingleObject(child.process.get(), 1000) == WAIT_OBJECT_0) {
      return PictureResult::failure(ended_reason(child.process.get()));
    }
    return damaged;
  };
  HANDLE file_there = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), file, child.process.get(), &file_there, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    // A child that ended while it waited takes nothing more.
    const DWORD error = GetLastError();
    if (WaitForSingleObject(child.process.get(), 1000) == WAIT_OBJECT_0) {
      return ended(Exchange::End::Broken);
    }
    return PictureResult::failure(
        "picture decoder could not start (file: " + win32::error_text(error) + ")");
  }
  DecoderMessage picture{DecoderMessage::kPicture, 0, reinterpret_cast<uintptr_t>(file_there)};
  if (!view.whole_picture()) {
    const std::string argument = view_argument(view);
    std::memcpy(picture.view, argument.data(), std::min(argument.size(), sizeof picture.view - 1));
  }
  if (const auto end = exchange.send(picture); end != Exchange::End::Done) return ended(end);
  if (launch.started) launch.started(child.process.get(), child.job.get());
  DecoderMessage asked;
  if (const auto end = exchange.receive(asked); end != Exchange::End::Done) return ended(end);
  if (asked.kind != DecoderMessage::kAnswerBytes || asked.value == 0 ||
      asked.value > largest_decoder_answer(view)) {
    return damaged;
  }
  const OwnedHandle section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                               static_cast<DWORD>(asked.value >> 32),
                                               static_cast<DWORD>(asked.value), nullptr));
  if (!section.valid()) return PictureResult::failure(kOutOfMemoryForPicture);
  HANDLE given = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), section.get(), child.process.get(), &given,
                       FILE_MAP_WRITE, FALSE, 0)) {
    return ended(Exchange::End::Broken);
  }
  DecoderMessage handed{DecoderMessage::kSection, 0, reinterpret_cast<uintptr_t>(given)};
  if (const auto end = exchange.send(handed); end != Exchange::End::Done) return ended(end);
  DecoderMessage answered;
  if (const auto end = exchange.receive(answered); end != Exchange::End::Done) return ended(end);
  if (answered.kind != DecoderMessage::kAnswered) return damaged;
  TerminateJobObject(child.job.get(), 0);  // its work is done
  return read_section(section.get(), asked.value, view);
}

}  // namespace

PictureResult decode_file_in_child(HANDLE file, const PictureView& view, std::stop_token stop,
                                   const DecoderLaunch& launch) {
  if (stop.stop_requested()) return PictureResult::failure(kPictureLoadStopped);
  ChildAhead& ahead = ChildAhead::instance();
  PictureResult r;
  try {
    const DecoderChild child = ahead.take(launch);
    tell_once_what_the_system_does_not_apply(child, launch.report);
    r = exchange_answer(child, file, view, stop, launch);
    // However it went, the child has nothing more to do.
    TerminateJobObject(child.job.get(), 1);
  } catch (const DecoderStartFailure& f) {
    r = PictureResult::failure(f.reason);
  }
  ahead.prepare(launch);
  return r;
}

}  // namespace vs
