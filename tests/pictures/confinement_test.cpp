// The decoder's confinement (platform/posix/decoder_confinement.h): a
// process confined as the decoder confines itself tries each way out a
// taken-over decoder would take, and each is refused while threads still
// run, with Landlock and without it; every kind of picture decodes in the
// confined decoder as it does here; the real decoder is seen confined, with
// its limits, while it decodes.
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <linux/netlink.h>
#include <netinet/in.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../../tools/decoder_children.h"
#include "../../tools/picture_writers.h"
#include "kind_tools.h"
#include "picture_checks.h"
#include "platform/posix/decoder_confinement.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/posix_platform.h"
#include "png_tiff_writers.h"
#include "support/temp_folder.h"

extern char** environ;

namespace vs {
namespace {

// What a confined process says of an attempt: "done", "failed" and the
// error's name, or, when the call was one that ends the picture, the
// refusal it wrote in the answer's place.
std::string refusal(std::string_view call) {
  return "refused " + std::string(call);
}

std::string outcome(long result) {
  return result >= 0 ? "done" : std::string("failed ") + strerrorname_np(errno);
}

using samples::read_text_file;

// Hides Landlock from the process, as a kernel without it would: its calls
// say they do not exist.
void hide_landlock() {
  scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
  for (int call :
       {SYS_landlock_create_ruleset, SYS_landlock_add_rule, SYS_landlock_restrict_self}) {
    seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), call, 0);
  }
  seccomp_load(ctx);
  seccomp_release(ctx);
}

// All a forked child wrote to the pipe `out` until it ended, and how it
// ended.
std::string what_child_said(pid_t pid, int out[2], int& status) {
  close(out[1]);
  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  waitpid(pid, &status, 0);
  return said;
}

// Runs the attempt in a child confined as the decoder is, the picture on
// its standard input; what it said.
std::string attempt_confined(const std::function<std::string()>& attempt,
                             const std::string& picture, bool with_landlock) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return "no pipe";
  const int in = open(picture.c_str(), O_RDONLY | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in, 0);
    dup2(out[1], 1);
    if (!with_landlock) hide_landlock();
    std::string said;
    if (!with_landlock && landlock_abi() != 0) {
      said = "Landlock still seen";
    } else if (std::string why = confine_decoder(refusal); !why.empty()) {
      said = "not confined: " + why;
    } else {
      said = attempt();
    }
    (void)!write(1, said.data(), said.size());
    _exit(0);
  }
  close(in);
  int status = 0;
  std::string said = what_child_said(pid, out, status);
  if (!WIFEXITED(status)) said += std::string("ended by SIG") + sigabbrev_np(WTERMSIG(status));
  return said;
}

std::string socket_of(int family, int type, int protocol = 0) {
  return outcome(socket(family, type, protocol));
}

TEST(Confinement, EveryWayOutIsRefusedAndThreadsStillRun) {
  testing::TempFolder folder;
  const std::string picture = folder / "picture";
  const std::string existing = folder / "existing";
  const std::string created = folder / "created";
  std::ofstream(picture) << "PICT";
  std::ofstream(existing) << "x";
  const pid_t parent = getpid();
  const struct {
    const char* what;
    std::function<std::string()> attempt;
    std::string expected;
  } cases[] = {
      {"read /etc/hostname", [] { return outcome(open("/etc/hostname", O_RDONLY)); },
       "failed EACCES"},
      {"create a file in /tmp",
       [&] { return outcome(open(created.c_str(), O_CREAT | O_WRONLY, 0600)); }, "failed EACCES"},
      {"delete a file", [&] { return outcome(unlink(existing.c_str())); }, "failed EACCES"},
      {"change a file's mode", [&] { return outcome(chmod(existing.c_str(), 0777)); },
       "failed EACCES"},
      {"change the picture's mode", [] { return outcome(fchmod(0, 0777)); }, "failed EACCES"},
      {"make the picture immutable",
       [] {
         long flags = FS_IMMUTABLE_FL;
         return outcome(ioctl(0, FS_IOC_SETFLAGS, &flags));
       },
       "failed EACCES"},
      {"type into a terminal",
       [] {
         char key = 'x';
         return outcome(ioctl(0, TIOCSTI, &key));
       },
       "failed EACCES"},
      {"open an AF_INET socket", [] { return socket_of(AF_INET, SOCK_STREAM); }, "refused socket"},
      {"open an AF_INET6 socket", [] { return socket_of(AF_INET6, SOCK_DGRAM); }, "refused socket"},
      {"open an AF_UNIX socket", [] { return socket_of(AF_UNIX, SOCK_STREAM); }, "refused socket"},
      {"open an AF_NETLINK socket", [] { return socket_of(AF_NETLINK, SOCK_RAW, NETLINK_ROUTE); },
       "refused socket"},
      {"make a pair of local sockets",
       [] {
         int pair[2];
         return outcome(socketpair(AF_UNIX, SOCK_STREAM, 0, pair));
       },
       "refused socketpair"},
      {"execute /bin/true",
       [] {
         char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
         return outcome(execve("/bin/true", argv, environ));
       },
       "refused execve"},
      {"start a process",
       [] {
         const pid_t child = fork();
         if (child == 0) _exit(0);
         return outcome(child);
       },
       "refused clone"},
      {"spawn a program",
       [] {
         pid_t child = 0;
         char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
         const int e = posix_spawn(&child, "/bin/true", nullptr, nullptr, argv, environ);
         return e == 0 ? std::string("done") : std::string("failed ") + strerrorname_np(e);
       },
       // with every signal blocked: no handler names the call
       "ended by SIGSYS"},
      {"make a user namespace", [] { return outcome(unshare(CLONE_NEWUSER)); }, "refused unshare"},
      {"mount a file system",
       [] { return outcome(mount("none", "/nonexistent/varnoscape", "tmpfs", 0, nullptr)); },
       "refused mount"},
      {"signal the parent", [&] { return outcome(kill(parent, 0)); }, "refused kill"},
      {"signal the process group", [] { return outcome(kill(0, 0)); }, "refused kill"},
      {"trace the parent", [&] { return outcome(ptrace(PTRACE_SEIZE, parent, nullptr, nullptr)); },
       "refused ptrace"},
      {"read the parent's memory",
       [&] {
         char here[8], there[8] = {};
         iovec local{here, sizeof here}, remote{there, sizeof there};
         return outcome(process_vm_readv(parent, &local, 1, &remote, 1, 0));
       },
       "refused process_vm_readv"},
      {"shared memory", [] { return outcome(shmget(IPC_PRIVATE, 4096, 0600)); }, "refused shmget"},
      {"bpf", [] { return outcome(syscall(SYS_bpf, 0, nullptr, 0)); }, "refused bpf"},
      {"perf events", [] { return outcome(syscall(SYS_perf_event_open, nullptr, 0, -1, -1, 0)); },
       "refused perf_event_open"},
      {"keys", [] { return outcome(syscall(SYS_keyctl, 0, 0, 0, 0, 0)); }, "refused keyctl"},
      {"io_uring", [] { return outcome(syscall(SYS_io_uring_setup, 1, nullptr)); },
       "refused io_uring_setup"},
      {"raise a limit",
       [] {
         const rlimit more{64, 64};
         return outcome(setrlimit(RLIMIT_NOFILE, &more));
       },
       "refused prlimit64"},
      {"make descriptors",
       [] {
         int made = 0, p[2];
         while (pipe(p) == 0) made += 2;
         return outcome(-1) + " after " + std::to_string(made);
       },
       "failed EMFILE after " + std::to_string(kConfinedOpenFiles - kConfinedDescriptors)},
      // What the decoder needs still works.
      {"read the picture",
       [] {
         char bytes[8] = {};
         return read(0, bytes, sizeof bytes) == 4 ? std::string(bytes) : std::string("unread");
       },
       "PICT"},
      {"start a thread",
       [] {
         std::atomic<int> ran{0};
         std::thread([&ran] { ran = 1; }).join();
         return ran ? std::string("thread ran") : std::string("thread did not run");
       },
       "thread ran"},
      {"signal itself", [] { return outcome(kill(getpid(), 0)); }, "done"},
  };
  for (const bool with_landlock : {true, false}) {
    if (with_landlock && landlock_abi() == 0) continue;  // this kernel's only way is without
    for (const auto& c : cases) {
      EXPECT_EQ(attempt_confined(c.attempt, picture, with_landlock), c.expected)
          << c.what << (with_landlock ? "" : " (without Landlock)");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(created));
  EXPECT_TRUE(std::filesystem::exists(existing));
}

// The decoder says a forbidden call's name back in a reason of its own,
// which the saver tells apart from a picture's own fault.
TEST(Confinement, AForbiddenCallIsTheReasonThePictureFails) {
  const std::string reason = forbidden_call_reason("socket");
  EXPECT_EQ(reason, "picture could not be read: its decoder made a forbidden call (socket)");
  EXPECT_TRUE(is_confinement_reason(reason));
  // A call made with every signal blocked ends the decoder by SIGSYS, unnamed.
  EXPECT_EQ(forbidden_call_reason({}),
            "picture could not be read: its decoder made a forbidden call");
  EXPECT_TRUE(is_confinement_reason(unconfined_decoder_reason("seccomp")));
  EXPECT_FALSE(is_confinement_reason("corrupt JPEG data (Bogus marker length)"));
  PictureResult back =
      read_decoder_answer(encode_decoder_answer(PictureResult::failure(reason)), {});
  EXPECT_EQ(back.reason, reason);
}

// Standard error's lines while `run` runs.
std::vector<std::string> error_lines_of(const std::function<void()>& run) {
  testing::TempFolder folder;
  const std::string path = folder / "stderr";
  std::fflush(stderr);
  const int saved = dup(2);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  dup2(file, 2);
  close(file);
  run();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::vector<std::string> lines;
  std::istringstream text(read_text_file(path));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// A picture whose decoder made a forbidden call is told on the saver's
// standard error once, however often the slide show comes back to it;
// another picture is told too.
TEST(Confinement, TheSaverTellsAForbiddenCallOncePerPicture) {
  testing::TempFolder folder;
  const std::string answer = folder / "answer";
  std::ofstream(answer, std::ios::binary)
      << encode_decoder_answer(PictureResult::failure(forbidden_call_reason("socket")));
  const std::string decoder = folder / "decoder";
  std::ofstream(decoder) << "#!/bin/sh\ncat '" << answer << "'\n";
  chmod(decoder.c_str(), 0755);
  setenv("VARNOSCAPE_DECODER", decoder.c_str(), 1);
  const std::string one = folder.file("one.jpg"), two = folder.file("two.jpg");
  PosixSystem system({});
  std::vector<std::string> reasons;
  const std::vector<std::string> told = error_lines_of([&] {
    for (const std::string& path : {one, two, one, one, two}) {
      reasons.push_back(system.load_picture(path).reason);
    }
  });
  unsetenv("VARNOSCAPE_DECODER");
  for (const std::string& r : reasons) EXPECT_EQ(r, forbidden_call_reason("socket"));
  EXPECT_EQ(told, (std::vector<std::string>{"varnoscape: " + one + ": " + reasons[0],
                                            "varnoscape: " + two + ": " + reasons[0]}));
}

// On a kernel without Landlock the decoder is confined by the rest, decodes,
// and the program that started it says so, once.
TEST(Confinement, WithoutLandlockThePictureIsDecodedAndTheProgramSaysSo) {
  testing::TempFolder folder;
  const std::string picture = testing::sample("rings.gif"), poster = folder / "poster.png";
  const std::string err = folder / "err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int file = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 2);
    hide_landlock();
    const std::string render = std::string(VS_BINARY_DIR) + "/varnoscape-render";
    char* argv[] = {const_cast<char*>(render.c_str()), const_cast<char*>("--screen"),
                    const_cast<char*>("64x48"),        const_cast<char*>(picture.c_str()),
                    const_cast<char*>(poster.c_str()), nullptr};
    execve(argv[0], argv, environ);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_text_file(err);
  EXPECT_TRUE(std::filesystem::exists(poster));
  EXPECT_EQ(read_text_file(err),
            "varnoscape-render: this kernel has no Landlock: the picture decoder is confined "
            "without it (by seccomp, no_new_privs and its limits)\n");
}

// A folder of every kind: the old kinds' samples (damaged ones too) and the
// later kinds made here in their variants.
class EveryKind : public ::testing::Test {
 protected:
  void add(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    files_.push_back(folder_ / name);
  }
  void make(const std::vector<std::string>& tool, const std::string& input,
            const std::string& name) {
    std::vector<std::string> args = tool;
    args.push_back(folder_ / input);
    if (tool[0] != "avifenc") args.push_back("-o");
    args.push_back(folder_ / name);
    ASSERT_TRUE(testing::run_tool(args));
    files_.push_back(folder_ / name);
  }
  void SetUp() override {
    for (const std::string& dir : {testing::sample(""), testing::sample("bad")}) {
      for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.file_size() > 0 &&
            entry.path().filename().string()[0] != '.') {
          files_.push_back(entry.path().string());
        }
      }
    }
    ASSERT_GT(files_.size(), 20u) << "the samples are missing: build the samples target";
    using testing::png_spec;
    using testing::tiff_spec;
    add("rgb8.png", testing::write_png(png_spec(PNG_COLOR_TYPE_RGB, 8)));
    add("rgba16.png", testing::write_png(png_spec(PNG_COLOR_TYPE_RGB_ALPHA, 16)));
    add("grey_alpha_interlaced.png",
        testing::write_png(png_spec(PNG_COLOR_TYPE_GRAY_ALPHA, 8, true)));
    add("rgb8.tif", testing::write_tiff(tiff_spec(PHOTOMETRIC_RGB, 3, 8)));
    add("grey16_lzw.tif",
        testing::write_tiff(tiff_spec(PHOTOMETRIC_MINISBLACK, 1, 16, COMPRESSION_LZW)));
    // Large enough for libde265 and dav1d to decode with threads.
    const Surface photo = testing::photo(800, 600);
    const std::vector<uint8_t> alpha = testing::alpha_ramp(800, 600);
    ASSERT_TRUE(testing::write_png(folder_ / "photo.png", photo));
    ASSERT_TRUE(testing::write_png(folder_ / "clear.png", photo, &alpha));
    ASSERT_TRUE(
        testing::write_png(folder_ / "p3.png", photo, nullptr, testing::display_p3_profile()));
    make({"cwebp", "-quiet"}, "photo.png", "lossy.webp");
    make({"cwebp", "-quiet", "-lossless"}, "clear.png", "lossless.webp");
    make({"heif-enc", "-q", "80"}, "photo.png", "photo.heic");
    make({"heif-enc", "-q", "80"}, "clear.png", "clear.heic");
    make({"avifenc", "-s", "10"}, "p3.png", "p3.avif");
    make({"avifenc", "-s", "10", "-d", "10"}, "clear.png", "clear10.avif");
  }

  testing::TempFolder folder_;
  std::vector<std::string> files_;
};

TEST_F(EveryKind, DecodesConfinedAsItDoesHere) {
  int decoded = 0;
  for (const std::string& path : files_) {
    const std::string bytes = testing::read_bytes(path);
    for (const PictureView& view : {PictureView{}, PictureView{320, 240, FitMode::FullScreen}}) {
      SCOPED_TRACE(path + (view.whole_picture() ? " whole" : " in a 320 x 240 view"));
      const PictureResult here = decode_picture(library_decoders(), bytes, view);
      const PictureResult confined = load_picture_file(path, view);
      EXPECT_EQ(confined.ok, here.ok);
      EXPECT_EQ(confined.reason, here.reason);
      EXPECT_EQ(confined.width(), here.width());
      EXPECT_EQ(confined.height(), here.height());
      EXPECT_EQ(confined.kept.cols, here.kept.cols);
      EXPECT_EQ(confined.kept.rows, here.kept.rows);
      EXPECT_EQ(testing::largest_difference(confined.picture, here.picture), 0);
      decoded += confined.ok;
    }
  }
  // Every good picture, both ways (the damaged samples fail alike).
  EXPECT_GE(decoded, 2 * 30);
}

using samples::decoder_children;

// A decoder this process started that has confined itself, or 0 (a
// decoder started ahead of its picture may wait beside it, unconfined).
pid_t confined_decoder_child() {
  for (const pid_t child : decoder_children()) {
    const std::string status = read_text_file("/proc/" + std::to_string(child) + "/status");
    if (status.find("\nSeccomp:\t2") != std::string::npos) return child;
  }
  return 0;
}

// The value of a line of /proc/<pid>/status ("Seccomp"), or of the limit of
// /proc/<pid>/limits ("Max open files"), as "soft hard".
std::string status_line(const std::string& status, const std::string& key) {
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + ":", 0) == 0) {
      const size_t value = line.find_first_not_of(" \t", key.size() + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
  }
  return "(none)";
}

std::string limit_line(const std::string& limits, const std::string& key) {
  std::istringstream lines(limits);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key, 0) == 0) {
      std::istringstream values(line.substr(key.size()));
      std::string soft, hard;
      values >> soft >> hard;
      return soft + " " + hard;
    }
  }
  return "(none)";
}

TEST(Confinement, TheRealDecoderIsSeenConfinedWhileItDecodes) {
  testing::TempFolder folder;
  const std::string path = folder / "slow.wmf";
  std::ofstream(path, std::ios::binary) << samples::slow_metafile();
  std::stop_source stop;
  PictureResult result;
  std::atomic<bool> ended{false};
  std::thread load([&] {
    result = load_picture_file(path, {}, stop.get_token());
    ended = true;
  });
  // Until the decoder has confined itself; the bound catches a hang only.
  std::string status, limits, descriptors;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ended && std::chrono::steady_clock::now() < give_up) {
    if (const pid_t pid = confined_decoder_child()) {
      const std::string proc = "/proc/" + std::to_string(pid);
      status = read_text_file(proc + "/status");
      if (status_line(status, "Seccomp") == "2") {
        limits = read_text_file(proc + "/limits");
        for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd")) {
          descriptors += fd.path().filename().string() + " ";
        }
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop.request_stop();
  load.join();
  ASSERT_FALSE(limits.empty()) << "the decoder was never seen confined: " << result.reason;
  EXPECT_EQ(status_line(status, "NoNewPrivs"), "1");
  EXPECT_EQ(status_line(status, "Seccomp"), "2");
  // One filter of its own beside what this process may run under itself.
  const std::string here = status_line(read_text_file("/proc/self/status"), "Seccomp_filters");
  EXPECT_EQ(status_line(status, "Seccomp_filters"), std::to_string(std::stoi(here) + 1));
  const DecoderLimits decoder;
  if (kAddressSpaceLimited) {
    const std::string bytes = std::to_string(decoder.address_space);
    EXPECT_EQ(limit_line(limits, "Max address space"), bytes + " " + bytes);
  }
  EXPECT_EQ(limit_line(limits, "Max cpu time"),
            std::to_string(decoder.cpu_seconds) + " " + std::to_string(decoder.cpu_seconds + 1));
  EXPECT_EQ(limit_line(limits, "Max file size"), "0 0");
  EXPECT_EQ(limit_line(limits, "Max core file size"), "0 0");
  const std::string most = std::to_string(kConfinedOpenFiles);
  EXPECT_EQ(limit_line(limits, "Max open files"), most + " " + most);
  EXPECT_EQ(descriptors.size(), 2u * kConfinedDescriptors)
      << "only the picture and the answer: " << descriptors;
  EXPECT_EQ(result.reason, kPictureLoadStopped);
}

// The saver hands its pictures to a decoder started ahead of them: one waits
// unconfined, holding no picture, until a picture comes; it then confines
// itself as any decoder does. Run in a child process of the test, whose
// decoders end with it.
TEST(Confinement, TheSaversDecoderIsReadyBeforeItsPictureAndConfinedWithIt) {
  testing::TempFolder folder;
  const std::string slow = folder / "slow.wmf";
  std::ofstream(slow, std::ios::binary) << samples::slow_metafile();
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    std::string wrong;
    PosixSystem saver({});
    const PictureResult first = saver.load_picture(testing::sample("rings.gif"));
    if (!first.ok) wrong += "first picture: " + first.reason + "; ";
    // The ready decoder: a decoder of ours not confined, waiting.
    pid_t ready = 0;
    for (int i = 0; i < 10000 && ready == 0; ++i) {
      for (const pid_t child : decoder_children()) {
        if (status_line(read_text_file("/proc/" + std::to_string(child) + "/status"), "Seccomp") ==
            "0") {
          ready = child;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ready == 0) wrong += "no decoder was ready; ";
    std::stop_source stop;
    std::atomic<bool> ended{false};
    std::thread load([&] {
      saver.load_picture(slow, {}, stop.get_token());
      ended = true;
    });
    pid_t confined = 0;
    for (int i = 0; i < 10000 && !ended && confined == 0; ++i) {
      confined = confined_decoder_child();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string limits = read_text_file("/proc/" + std::to_string(confined) + "/limits");
    stop.request_stop();
    load.join();
    if (confined != ready) {
      wrong += "the slow picture went to " + std::to_string(confined) + ", not to the ready " +
               std::to_string(ready) + "; ";
    }
    const std::string most = std::to_string(kConfinedOpenFiles);
    if (limit_line(limits, "Max open files") != most + " " + most) {
      wrong += "its limits: " + limits;
    }
    (void)!write(out[1], wrong.data(), wrong.size());
    _exit(0);
  }
  int status = 0;
  const std::string wrong = what_child_said(pid, out, status);
  EXPECT_TRUE(WIFEXITED(status)) << "the test's child ended by a signal";
  EXPECT_EQ(wrong, "");
}

}  // namespace
}  // namespace vs
