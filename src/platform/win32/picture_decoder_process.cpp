// The saver's side of the picture decoder process (see
// picture_decoder_process.h): the job, the token, the start with only two
// handles inherited, and the wait for the answer, the time limit or a stop.
#include "platform/win32/picture_decoder_process.h"

#include <sddl.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include "pictures/decoder_answer.h"
#include "pictures/picture_reasons.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"

namespace vs {

namespace {

using win32::OwnedHandle;

constexpr DWORD kJobLimits = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
                             JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                             JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
constexpr DWORD kUiLimits = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_HANDLES |
                            JOB_OBJECT_UILIMIT_READCLIPBOARD | JOB_OBJECT_UILIMIT_WRITECLIPBOARD |
                            JOB_OBJECT_UILIMIT_GLOBALATOMS | JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS |
                            JOB_OBJECT_UILIMIT_DISPLAYSETTINGS | JOB_OBJECT_UILIMIT_EXITWINDOWS;
constexpr DWORD kLowIntegrity = SECURITY_MANDATORY_LOW_RID;

std::string could_not_start(const char* what, DWORD code) {
  return "picture decoder could not start (" + std::string(what) + ": " + win32::error_text(code) +
         ")";
}

struct Failure {
  std::string reason;
};

OwnedHandle confining_job(const DecoderLaunch& launch) {
  OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job.valid()) throw Failure{could_not_start("job", GetLastError())};
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = kJobLimits;
  limits.BasicLimitInformation.ActiveProcessLimit = 1;
  limits.ProcessMemoryLimit = static_cast<SIZE_T>(launch.memory);
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits)) {
    throw Failure{could_not_start("job limits", GetLastError())};
  }
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{kUiLimits};
  if (!SetInformationJobObject(job.get(), JobObjectBasicUIRestrictions, &ui, sizeof ui)) {
    throw Failure{could_not_start("job restrictions", GetLastError())};
  }
  return job;
}

// The saver's own token without its privileges, at low integrity: what
// the child may open is what a low-integrity process may, and no more.
OwnedHandle restricted_token() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(),
                        TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT,
                        &own)) {
    throw Failure{could_not_start("token", GetLastError())};
  }
  const OwnedHandle own_token(own);
  HANDLE restricted = nullptr;
  if (!CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr,
                             &restricted)) {
    throw Failure{could_not_start("restricted token", GetLastError())};
  }
  OwnedHandle token(restricted);
  SID_IDENTIFIER_AUTHORITY label_authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  if (!AllocateAndInitializeSid(&label_authority, 1, kLowIntegrity, 0, 0, 0, 0, 0, 0, 0, &low)) {
    throw Failure{could_not_start("integrity", GetLastError())};
  }
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = low;
  const BOOL lowered = SetTokenInformation(token.get(), TokenIntegrityLevel, &label,
                                           sizeof label + GetLengthSid(low));
  const DWORD error = GetLastError();
  FreeSid(low);
  if (!lowered) throw Failure{could_not_start("integrity", error)};
  return token;
}

// The integrity level of a process's token; 0 when it cannot be read.
DWORD integrity_of(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return 0;
  const OwnedHandle owned(token);
  alignas(TOKEN_MANDATORY_LABEL) char buffer[64];
  DWORD length = 0;
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &length)) return 0;
  const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
  return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
}

// Wine accepts the job's limits and the token's integrity but applies
// neither (it keeps only the end with the saver): said once, the first
// time, from what the system reports of the running child.
void tell_once_what_the_system_does_not_apply(HANDLE process, HANDLE job,
                                              const DecoderLaunch& launch) {
  static std::once_flag once;
  std::call_once(once, [&] {
    if (!launch.report) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits,
                                   nullptr) ||
        (limits.BasicLimitInformation.LimitFlags & kJobLimits) != kJobLimits) {
      launch.report(
          "the system does not report the picture decoder's job limits back (as under Wine): "
          "its memory and process limits may not hold");
    }
    const DWORD integrity = integrity_of(process);
    if (integrity == 0 || integrity > kLowIntegrity) {
      launch.report(
          "the system did not lower the picture decoder's integrity level (as under Wine): it "
          "runs with the user's rights, in its job");
    }
  });
}

// A pipe whose server end waits here (overlapped, so that the wait also
// sees the time limit and a stop), and whose client end the child
// inherits. The name is made unique by the process and a counter, and the
// pipe is the name's first and only instance.
void answer_pipe(OwnedHandle& server, OwnedHandle& client) {
  static std::atomic<unsigned> counter{0};
  const std::wstring name = L"\\\\.\\pipe\\varnoscape-picture-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++);
  server.reset(CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
      PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 0, nullptr));
  if (!server.valid()) throw Failure{could_not_start("pipe", GetLastError())};
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  client.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                           0, nullptr));
  if (!client.valid()) throw Failure{could_not_start("pipe", GetLastError())};
}

OwnedHandle inheritable_copy(HANDLE h) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    throw Failure{could_not_start("file", GetLastError())};
  }
  return OwnedHandle(copy);
}

struct Child {
  OwnedHandle job;
  OwnedHandle process;
};

// Starts the child suspended, puts it in its job and lets it run. Only the
// two handles named are inherited, whatever else of the saver is
// inheritable.
Child start_child(const DecoderLaunch& launch, HANDLE file, HANDLE answer,
                  const PictureView& view) {
  Child child;
  child.job = confining_job(launch);
  const OwnedHandle token = restricted_token();
  HANDLE inherited[] = {file, answer};
  SIZE_T list_size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
  std::vector<char> list_memory(list_size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_memory.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &list_size)) {
    throw Failure{could_not_start("attributes", GetLastError())};
  }
  struct ListEnd {
    LPPROC_THREAD_ATTRIBUTE_LIST list;
    ~ListEnd() { DeleteProcThreadAttributeList(list); }
  } list_end{list};
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 sizeof inherited, nullptr, nullptr)) {
    throw Failure{could_not_start("attributes", GetLastError())};
  }
  std::wstring command = L"\"" + launch.program + L"\" " + win32::widen(kDecodePictureSwitch) +
                         L" " + std::to_wstring(reinterpret_cast<uintptr_t>(file)) + L" " +
                         std::to_wstring(reinterpret_cast<uintptr_t>(answer));
  if (!view.whole_picture()) command += L" " + win32::widen(view_argument(view));
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  // No busy pointer for every picture: the child opens no window.
  startup.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;
  startup.lpAttributeList = list;
  PROCESS_INFORMATION started{};
  if (!CreateProcessAsUserW(token.get(), launch.program.c_str(), command.data(), nullptr, nullptr,
                            TRUE, CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                            &startup.StartupInfo, &started)) {
    throw Failure{could_not_start("process", GetLastError())};
  }
  child.process.reset(started.hProcess);
  const OwnedHandle thread(started.hThread);
  if (!AssignProcessToJobObject(child.job.get(), child.process.get())) {
    const DWORD error = GetLastError();
    TerminateProcess(child.process.get(), 1);
    throw Failure{could_not_start("job", error)};
  }
  ResumeThread(thread.get());
  return child;
}

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
      throw Failure{could_not_start("event", GetLastError())};
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

PictureResult exchange_answer(const Child& child, HANDLE pipe, const PictureView& view,
                              std::stop_token stop, int wall_ms) {
  const PictureResult damaged = PictureResult::failure("picture decoder sent a damaged answer");
  Exchange exchange(pipe, std::move(stop), wall_ms);
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
    return PictureResult::failure(could_not_start("section", GetLastError()));
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
  try {
    OwnedHandle server, client;
    answer_pipe(server, client);
    Child child;
    {
      const OwnedHandle file_for_child = inheritable_copy(file);
      child = start_child(launch, file_for_child.get(), client.get(), view);
    }
    client.reset();  // the child's end is the child's alone
    if (launch.started) launch.started(child.process.get(), child.job.get());
    tell_once_what_the_system_does_not_apply(child.process.get(), child.job.get(), launch);

    const PictureResult r = exchange_answer(child, server.get(), view, stop, launch.wall_ms);
    // However it went, the child has nothing more to do.
    TerminateJobObject(child.job.get(), 1);
    return r;
  } catch (const Failure& f) {
    return PictureResult::failure(f.reason);
  }
}

}  // namespace vs
