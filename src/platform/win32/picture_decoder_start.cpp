#include "platform/win32/picture_decoder_start.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/win32/picture_decoder_process.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"

namespace vs {

namespace {

using win32::OwnedHandle;

std::string could_not_start(const char* what, DWORD code) {
  return "picture decoder could not start (" + std::string(what) + ": " + win32::error_text(code) +
         ")";
}

constexpr DWORD kJobLimits = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
                             JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                             JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
constexpr DWORD kUiLimits = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_HANDLES |
                            JOB_OBJECT_UILIMIT_READCLIPBOARD | JOB_OBJECT_UILIMIT_WRITECLIPBOARD |
                            JOB_OBJECT_UILIMIT_GLOBALATOMS | JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS |
                            JOB_OBJECT_UILIMIT_DISPLAYSETTINGS | JOB_OBJECT_UILIMIT_EXITWINDOWS;
constexpr DWORD kLowIntegrity = SECURITY_MANDATORY_LOW_RID;

OwnedHandle confining_job(uint64_t memory) {
  OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job.valid()) throw DecoderStartFailure{could_not_start("job", GetLastError())};
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = kJobLimits;
  limits.BasicLimitInformation.ActiveProcessLimit = 1;
  limits.ProcessMemoryLimit = static_cast<SIZE_T>(memory);
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits)) {
    throw DecoderStartFailure{could_not_start("job limits", GetLastError())};
  }
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{kUiLimits};
  if (!SetInformationJobObject(job.get(), JobObjectBasicUIRestrictions, &ui, sizeof ui)) {
    throw DecoderStartFailure{could_not_start("job restrictions", GetLastError())};
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
    throw DecoderStartFailure{could_not_start("token", GetLastError())};
  }
  const OwnedHandle own_token(own);
  HANDLE restricted = nullptr;
  if (!CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr,
                             &restricted)) {
    throw DecoderStartFailure{could_not_start("restricted token", GetLastError())};
  }
  OwnedHandle token(restricted);
  SID_IDENTIFIER_AUTHORITY label_authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  if (!AllocateAndInitializeSid(&label_authority, 1, kLowIntegrity, 0, 0, 0, 0, 0, 0, 0, &low)) {
    throw DecoderStartFailure{could_not_start("integrity", GetLastError())};
  }
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = low;
  const BOOL lowered = SetTokenInformation(token.get(), TokenIntegrityLevel, &label,
                                           sizeof label + GetLengthSid(low));
  const DWORD error = GetLastError();
  FreeSid(low);
  if (!lowered) throw DecoderStartFailure{could_not_start("integrity", error)};
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
  if (!server.valid()) throw DecoderStartFailure{could_not_start("pipe", GetLastError())};
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  client.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                           0, nullptr));
  if (!client.valid()) throw DecoderStartFailure{could_not_start("pipe", GetLastError())};
}

}  // namespace

DecoderChild start_decoder_child(const std::wstring& program, uint64_t memory) {
  DecoderChild child;
  OwnedHandle client;
  answer_pipe(child.pipe, client);
  child.job = confining_job(memory);
  const OwnedHandle token = restricted_token();
  HANDLE inherited[] = {client.get()};
  SIZE_T list_size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
  std::vector<char> list_memory(list_size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_memory.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &list_size)) {
    throw DecoderStartFailure{could_not_start("attributes", GetLastError())};
  }
  struct ListEnd {
    LPPROC_THREAD_ATTRIBUTE_LIST list;
    ~ListEnd() { DeleteProcThreadAttributeList(list); }
  } list_end{list};
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 sizeof inherited, nullptr, nullptr)) {
    throw DecoderStartFailure{could_not_start("attributes", GetLastError())};
  }
  std::wstring command = L"\"" + program + L"\" " + win32::widen(kDecodePictureSwitch) + L" " +
                         std::to_wstring(reinterpret_cast<uintptr_t>(client.get()));
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  // No busy pointer for every picture: the child opens no window.
  startup.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;
  startup.lpAttributeList = list;
  PROCESS_INFORMATION started{};
  if (!CreateProcessAsUserW(token.get(), program.c_str(), command.data(), nullptr, nullptr, TRUE,
                            EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                            &started)) {
    throw DecoderStartFailure{could_not_start("process", GetLastError())};
  }
  child.process.reset(started.hProcess);
  CloseHandle(started.hThread);
  if (!AssignProcessToJobObject(child.job.get(), child.process.get())) {
    const DWORD error = GetLastError();
    TerminateProcess(child.process.get(), 1);
    throw DecoderStartFailure{could_not_start("job", error)};
  }
  return child;
}

void tell_once_what_the_system_does_not_apply(
    const DecoderChild& child, const std::function<void(const std::string&)>& report) {
  static std::once_flag once;
  std::call_once(once, [&] {
    if (!report) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!QueryInformationJobObject(child.job.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits, nullptr) ||
        (limits.BasicLimitInformation.LimitFlags & kJobLimits) != kJobLimits) {
      report(
          "the system does not report the picture decoder's job limits back (as under Wine): "
          "its memory and process limits may not hold");
    }
    const DWORD integrity = integrity_of(child.process.get());
    if (integrity == 0 || integrity > kLowIntegrity) {
      report(
          "the system did not lower the picture decoder's integrity level (as under Wine): it "
          "runs with the user's rights, in its job");
    }
  });
}

}  // namespace vs
