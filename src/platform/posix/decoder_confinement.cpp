#include "platform/posix/decoder_confinement.h"

#include <libheif/heif.h>
#include <linux/fs.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/metafile_fonts.h"

namespace vs {

namespace {

// Landlock's interface as the kernel defines it: Debian 12's headers know
// only its first versions, and the kernel the program runs on may have a
// later one.
constexpr unsigned kLandlockVersionQuery = 1u << 0;
struct LandlockRuleset {
  uint64_t handled_access_fs;
  uint64_t handled_access_net;  // from version 4
  uint64_t scoped;              // from version 6
};

// Every right on the file system the kernel's version knows: handled and
// granted nowhere, each is refused everywhere.
uint64_t landlock_file_rights(int abi) {
  uint64_t rights = (uint64_t{1} << 13) - 1;  // executing ... making symbolic links
  if (abi >= 2) rights |= uint64_t{1} << 13;  // moving and linking across folders
  if (abi >= 3) rights |= uint64_t{1} << 14;  // truncating
  if (abi >= 5) rights |= uint64_t{1} << 15;  // device ioctls
  return rights;
}

std::string system_error(const char* what, int error) {
  return std::string(what) + " (" + std::strerror(error) + ")";
}

std::string shut_out_by_landlock() {
  const int abi = landlock_abi();
  if (abi == 0) return {};
#ifdef SYS_landlock_create_ruleset
  const LandlockRuleset ruleset{landlock_file_rights(abi),
                                abi >= 4 ? 0x3u : 0u,   // binding and connecting TCP
                                abi >= 6 ? 0x3u : 0u};  // abstract sockets and signals
  const size_t size = abi >= 6   ? sizeof ruleset
                      : abi >= 4 ? 2 * sizeof(uint64_t)
                                 : sizeof(uint64_t);
  const int fd = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &ruleset, size, 0u));
  if (fd < 0) return system_error("Landlock ruleset", errno);
  const long done = ::syscall(SYS_landlock_restrict_self, fd, 0u);
  const int error = errno;
  ::close(fd);
  if (done != 0) return system_error("Landlock", error);
#endif
  return {};
}

void close_all_but_picture_and_answer() {
  constexpr unsigned first = kConfinedDescriptors;
  if (::syscall(SYS_close_range, first, ~0u, 0u) == 0) return;
  // Kernels before 5.9.
  rlimit r{};
  const int top = ::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < 65536
                      ? static_cast<int>(r.rlim_cur)
                      : 65536;
  for (int fd = kConfinedDescriptors; fd < top; ++fd) ::close(fd);
}

bool limit(int resource, rlim_t most) {
  const rlimit r{most, most};
  return ::setrlimit(resource, &r) == 0;
}

// The seccomp filter is a list of what is refused, not of what is allowed.
// An allowlist breaks a good picture whenever glibc, libstdc++ or a codec
// starts using another harmless call (rseq, clone3, a new memory call), on
// the user's machine and not in our tests; GNOME's sandboxed image loader
// went back to a denylist for that reason. What is refused is what reaches
// beyond the process. Calls of the other ABIs (i386, x32), which could go
// around the list, end the process.
//
// Files by name: refused with an error, so that a library that looks for
// an optional file (glibc's processor count, a plugin folder) goes on
// without it, and a picture that needs one fails with the library's reason.
// Opening is Landlock's too; changing a file's mode, owner, times or
// attributes is not, so they are here whether or not Landlock is, by name
// and by descriptor: the picture's own file is the user's, to be read only.
constexpr const char* kFileCalls[] = {"open",
                                      "openat",
                                      "openat2",
                                      "creat",
                                      "open_by_handle_at",
                                      "uselib",
                                      "truncate",
                                      "mkdir",
                                      "mkdirat",
                                      "mknod",
                                      "mknodat",
                                      "rmdir",
                                      "unlink",
                                      "unlinkat",
                                      "rename",
                                      "renameat",
                                      "renameat2",
                                      "link",
                                      "linkat",
                                      "symlink",
                                      "symlinkat",
                                      "chmod",
                                      "fchmodat",
                                      "fchmod",
                                      "chown",
                                      "lchown",
                                      "fchownat",
                                      "fchown",
                                      "utime",
                                      "utimes",
                                      "utimensat",
                                      "futimesat",
                                      "setxattr",
                                      "lsetxattr",
                                      "fsetxattr",
                                      "removexattr",
                                      "lremovexattr",
                                      "fremovexattr",
                                      "name_to_handle_at"};

// Requests of ioctl refused: the picture's file's flags (immutable,
// append-only) and extended attributes, which its owner may set through a
// descriptor opened only to read it; and typing into a terminal, which a
// sanitizer build's standard error may be.
constexpr unsigned long kRefusedRequests[] = {FS_IOC_SETFLAGS, FS_IOC32_SETFLAGS, FS_IOC_FSSETXATTR,
                                              TIOCSTI};

// No library decoding a picture makes these calls: the process is then a
// hostile picture's, or a library has gone wrong. They end the picture
// with a reason that names the call.
constexpr const char* kTrappedCalls[] = {
    // programs and processes (threads are clone with CLONE_THREAD, below)
    "execve", "execveat", "fork", "vfork",
    // sockets of every family, and so the network and the desktop's buses
    "socket", "socketpair", "connect", "bind", "listen", "accept", "accept4",
    // other processes: their memory, their descriptors, their signals
    "ptrace", "process_vm_readv", "process_vm_writev", "process_madvise", "kcmp", "pidfd_open",
    "pidfd_getfd", "pidfd_send_signal", "tkill",
    // memory and queues shared with other processes
    "shmget", "shmat", "shmctl", "msgget", "msgsnd", "msgrcv", "msgctl", "semget", "semop",
    "semtimedop", "semctl", "mq_open", "mq_unlink", "mq_timedsend", "mq_timedreceive", "mq_notify",
    "mq_getsetattr",
    // mounts and namespaces
    "mount", "umount2", "pivot_root", "chroot", "unshare", "setns", "open_tree", "move_mount",
    "fsopen", "fsconfig", "fsmount", "fspick", "mount_setattr",
    // the kernel's riskier doors
    "bpf", "perf_event_open", "keyctl", "add_key", "request_key", "io_uring_setup",
    "io_uring_enter", "io_uring_register", "userfaultfd",
    // the machine's own settings, for a decoder run as root; and limits
    "reboot", "kexec_load", "kexec_file_load", "init_module", "finit_module", "delete_module",
    "swapon", "swapoff", "acct", "quotactl", "sethostname", "setdomainname", "settimeofday",
    "clock_settime", "clock_adjtime", "adjtimex", "iopl", "ioperm", "syslog", "setrlimit"};

// Calls newer than Debian 12's libseccomp knows by name, by the number
// every architecture since Linux 5.1 shares.
constexpr std::pair<const char*, int> kNewerFileCalls[] = {
    {"fchmodat2", 452}, {"setxattrat", 463}, {"removexattrat", 466}};
constexpr std::pair<const char*, int> kNewerTrappedCalls[] = {{"open_tree_attr", 467}};

// What the SIGSYS handler writes: made before the filter is loaded, only
// read in the handler.
struct Refusal {
  int call;
  std::string answer;
};
std::vector<Refusal>* g_refusals = nullptr;
std::string* g_unnamed_refusal = nullptr;
std::atomic<bool> g_refusing{false};

// One comparison of a call's argument (libseccomp's own macros are C
// compound literals).
scmp_arg_cmp argument(unsigned index, scmp_compare op, uint64_t a, uint64_t b = 0) {
  return scmp_arg_cmp{index, op, a, b};
}

void write_all(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// A forbidden call: the answer says which, and the process ends. Another
// thread's forbidden call meanwhile waits for that end. (A call made with
// SIGSYS blocked, as posix_spawn blocks every signal, ends the process by
// SIGSYS without this handler.)
void on_forbidden_call(int, siginfo_t* info, void*) {
  if (g_refusing.exchange(true)) {
    for (;;) ::pause();
  }
  const std::string* answer = g_unnamed_refusal;
  for (const Refusal& r : *g_refusals) {
    if (r.call == info->si_syscall) answer = &r.answer;
  }
  write_all(*answer);
  ::_exit(0);
}

class SeccompFilter {
 public:
  explicit SeccompFilter(RefusalAnswer refusal)
      : ctx_(seccomp_init(SCMP_ACT_ALLOW)), refusal_(refusal) {}
  ~SeccompFilter() {
    if (ctx_ != nullptr) seccomp_release(ctx_);
  }
  SeccompFilter(const SeccompFilter&) = delete;
  SeccompFilter& operator=(const SeccompFilter&) = delete;

  // The call, by name or (when libseccomp does not know the name) by its
  // shared number; nothing for a call this architecture does not have.
  void refuse(const char* name, int number, uint32_t action,
              std::initializer_list<scmp_arg_cmp> when = {}) {
    if (!error_.empty()) return;
    int call = seccomp_syscall_resolve_name(name);
    if (call == __NR_SCMP_ERROR) call = number;
    if (call < 0) return;
    const int r = seccomp_rule_add_array(ctx_, action, call, static_cast<unsigned>(when.size()),
                                         when.size() ? when.begin() : nullptr);
    if (r != 0) {
      error_ = system_error((std::string("seccomp rule for ") + name).c_str(), -r);
      return;
    }
    if (action == SCMP_ACT_TRAP) refusals_.push_back({call, refusal_(name)});
  }
  void trap(const char* name, std::initializer_list<scmp_arg_cmp> when = {}) {
    refuse(name, -1, SCMP_ACT_TRAP, when);
  }

  std::string load() {
    if (ctx_ == nullptr) return "seccomp unavailable";
    if (!error_.empty()) return error_;
    if (int r = seccomp_attr_set(ctx_, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS); r != 0) {
      return system_error("seccomp", -r);
    }
    if (int r = seccomp_attr_set(ctx_, SCMP_FLTATR_CTL_TSYNC, 1); r != 0) {
      return system_error("seccomp", -r);
    }
    // The handler's table lives as long as the process.
    g_refusals = new std::vector<Refusal>(std::move(refusals_));
    g_unnamed_refusal = new std::string(refusal_({}));
    struct sigaction on_sys {};
    on_sys.sa_sigaction = on_forbidden_call;
    on_sys.sa_flags = SA_SIGINFO;
    sigemptyset(&on_sys.sa_mask);
    if (::sigaction(SIGSYS, &on_sys, nullptr) != 0) return system_error("SIGSYS", errno);
    if (int r = seccomp_load(ctx_); r != 0) return system_error("seccomp", -r);
    return {};
  }

 private:
  scmp_filter_ctx ctx_;
  RefusalAnswer refusal_;
  std::vector<Refusal> refusals_;
  std::string error_;
};

std::string load_seccomp_filter(RefusalAnswer refusal) {
  SeccompFilter filter(refusal);
  for (const char* name : kFileCalls) filter.refuse(name, -1, SCMP_ACT_ERRNO(EACCES));
  for (const auto& [name, number] : kNewerFileCalls) {
    filter.refuse(name, number, SCMP_ACT_ERRNO(EACCES));
  }
  for (const char* name : kTrappedCalls) filter.trap(name);
  for (const auto& [name, number] : kNewerTrappedCalls) filter.refuse(name, number, SCMP_ACT_TRAP);
  // glibc starts threads by clone3 first, whose flags a filter cannot read:
  // "not here" makes it take clone, whose flags it can.
  filter.refuse("clone3", -1, SCMP_ACT_ERRNO(ENOSYS));
  for (const unsigned long request : kRefusedRequests) {
    filter.refuse("ioctl", -1, SCMP_ACT_ERRNO(EACCES),
                  {argument(1, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, request)});
  }
  // clone makes a thread only with CLONE_THREAD, and never a namespace.
  filter.trap("clone", {argument(0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)});
  for (const uint64_t space : {CLONE_NEWNS, CLONE_NEWUTS, CLONE_NEWIPC, CLONE_NEWUSER, CLONE_NEWPID,
                               CLONE_NEWNET, CLONE_NEWCGROUP}) {
    filter.trap("clone", {argument(0, SCMP_CMP_MASKED_EQ, space, space)});
  }
  // Signals only to this process (abort() raises its own).
  const auto self = static_cast<uint64_t>(::getpid());
  for (const char* name : {"kill", "tgkill", "rt_sigqueueinfo", "rt_tgsigqueueinfo"}) {
    filter.trap(name, {argument(0, SCMP_CMP_NE, self)});
  }
  // Limits may be read (glibc's getrlimit), not changed.
  filter.trap("prlimit64", {argument(2, SCMP_CMP_NE, 0)});
  return filter.load();
}

}  // namespace

int landlock_abi() {
#ifdef SYS_landlock_create_ruleset
  const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, kLandlockVersionQuery);
  return version > 0 ? static_cast<int>(version) : 0;
#else
  return 0;
#endif
}

void prepare_decoders_for_confinement() {
  // libheif looks for plugins in a folder at its first start.
  heif_init(nullptr);
  keep_metafile_fonts_in_memory();
}

std::string confine_decoder(RefusalAnswer refusal) {
  close_all_but_picture_and_answer();
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return system_error("no_new_privs", errno);
  // Landlock needs a descriptor of its own for a moment: before the limit
  // on open files.
  if (std::string why = shut_out_by_landlock(); !why.empty()) return why;
  if (!limit(RLIMIT_NOFILE, kConfinedOpenFiles) || !limit(RLIMIT_FSIZE, 0) ||
      !limit(RLIMIT_CORE, 0)) {
    return system_error("limits", errno);
  }
  if (std::string why = load_seccomp_filter(refusal); !why.empty()) return why;
  // What the kernel now holds, not what was asked.
  if (::prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) != 1 || ::prctl(PR_GET_SECCOMP, 0, 0, 0, 0) != 2) {
    return "the kernel did not take the confinement";
  }
  return {};
}

}  // namespace vs
