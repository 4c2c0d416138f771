// Other programs started by the saver (the picture decoder among them):
// whatever a child does, the caller gets an answer within its limits, no
// descriptor of ours goes along, no child outlives us, none is left unreaped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "picture_checks.h"
#include "platform/posix/child_process.h"
#include "platform/posix/decoder_process.h"
#include "support/temp_folder.h"

namespace vs {
namespace {

int64_t now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
}

ChildSpec shell(const std::string& script, int wall_ms = 700) {
  ChildSpec s;
  s.argv = {"sh", "-c", script};
  s.wall_ms = wall_ms;
  return s;
}

// Hang-catchers: far above what a child within its limits takes on a busy
// machine, far below the 30 s a child left to run would take.
constexpr int64_t kAnswerWithinMs = 10000;

void expect_no_child_left() {
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left unreaped";
}

TEST(ChildProcess, EveryWayAChildEndsIsTold) {
  struct Case {
    const char* what;
    ChildSpec spec;
    ChildResult::End end;
    int status;
    const char* output;
  };
  ChildSpec chatty = shell("head -c 5000 /dev/zero");
  chatty.max_output = 1000;
  const Case cases[] = {
      {"exit code", shell("printf 'out'; exit 3"), ChildResult::End::Exited, 3, "out"},
      {"crash", shell("kill -SEGV $$"), ChildResult::End::Signalled, SIGSEGV, ""},
      {"busy forever", shell("while :; do :; done"), ChildResult::End::TimedOut, 0, ""},
      {"asleep", shell("exec sleep 30"), ChildResult::End::TimedOut, 0, ""},
      {"closes its output and stays", shell("exec >&-; exec sleep 30"), ChildResult::End::TimedOut,
       0, ""},
      {"too much output", chatty, ChildResult::End::OutputTooLong, 0, ""},
      {"no such program", ChildSpec{{"/nonexistent/program"}}, ChildResult::End::NotStarted, 0, ""},
  };
  for (const Case& c : cases) {
    const int64_t start = now_ms();
    ChildResult r = run_child(c.spec);
    EXPECT_EQ(r.end, c.end) << c.what;
    if (c.end == ChildResult::End::Exited || c.end == ChildResult::End::Signalled) {
      EXPECT_EQ(r.status, c.status) << c.what;
    }
    EXPECT_EQ(r.output, c.output) << c.what;
    EXPECT_LT(now_ms() - start, kAnswerWithinMs) << c.what;
    expect_no_child_left();
  }
}

TEST(ChildProcess, AStopRequestEndsItAtOnce) {
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.request_stop();
  });
  const int64_t start = now_ms();
  ChildResult r = run_child(shell("exec sleep 30", 0), stop.get_token());
  const int64_t took = now_ms() - start;
  stopper.join();
  EXPECT_EQ(r.end, ChildResult::End::Stopped);
  EXPECT_LT(took, kAnswerWithinMs);
  expect_no_child_left();
}

// Only standard input, output and error reach the child: never a
// descriptor of ours such as the X connection.
TEST(ChildProcess, NoDescriptorOfOursGoesAlong) {
  int leaky[2];
  ASSERT_EQ(pipe(leaky), 0);  // not close-on-exec, as Xlib's socket may be
  ChildResult r = run_child(shell("ls /proc/self/fd"));
  close(leaky[0]);
  close(leaky[1]);
  ASSERT_EQ(r.end, ChildResult::End::Exited);
  // 0, 1, 2 and the folder ls reads.
  EXPECT_EQ(r.output, "0\n1\n2\n3\n");
}

// Killed with SIGKILL, the saver can clean nothing up: its children must go
// by themselves.
TEST(ChildProcess, AChildDiesWithTheSaver) {
  testing::TempFolder dir;
  const std::string pid_file = dir / "child.pid";
  pid_t saver = fork();
  ASSERT_GE(saver, 0);
  if (saver == 0) {
    run_child(shell("echo $$ > " + pid_file + "; exec sleep 30", 0));
    _exit(0);
  }
  pid_t child = 0;
  for (int i = 0; i < 1000 && child == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream(pid_file) >> child;
  }
  ASSERT_GT(child, 0);
  kill(saver, SIGKILL);
  waitpid(saver, nullptr, 0);
  // Gone, or dead and waiting for whoever inherited it to reap it.
  auto dead = [child] {
    std::string stat;
    std::getline(std::ifstream("/proc/" + std::to_string(child) + "/stat"), stat);
    const size_t paren = stat.rfind(')');
    return stat.empty() || (paren != std::string::npos && stat.substr(paren + 2, 1) == "Z");
  };
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    gone = dead();
  }
  EXPECT_TRUE(gone) << "the child outlived its parent";
}

// A stand-in decoder, named by VARNOSCAPE_DECODER for the length of a test.
class FakeDecoder {
 public:
  explicit FakeDecoder(const std::string& script) {
    path_ = dir_ / "decoder";
    std::ofstream(path_) << "#!/bin/sh\n" << script << "\n";
    chmod(path_.c_str(), 0755);
    setenv("VARNOSCAPE_DECODER", path_.c_str(), 1);
  }
  ~FakeDecoder() { unsetenv("VARNOSCAPE_DECODER"); }

 private:
  testing::TempFolder dir_;
  std::string path_;
};

TEST(DecoderProcess, AMisbehavingDecoderIsACleanFailure) {
  const std::string picture = testing::read_bytes(testing::sample("rings.gif"));
  DecoderLimits quick;
  quick.wall_ms = 500;
  struct Case {
    const char* script;
    const char* reason;
  };
  const Case cases[] = {
      {"kill -SEGV $$", "picture decoder crashed (signal 11)"},
      {"exec sleep 30", "picture took too long to decode"},
      {"echo garbage", "picture decoder sent a damaged answer"},
      {"exit 0", "picture decoder sent a damaged answer"},
      {"exec head -c 100000000 /dev/zero", "picture decoder sent a damaged answer"},
  };
  for (const Case& c : cases) {
    FakeDecoder fake(c.script);
    const int64_t start = now_ms();
    PictureResult r =
        decode_bytes_in_child(picture, PictureView{640, 480, FitMode::FullScreen}, quick);
    EXPECT_FALSE(r.ok) << c.script;
    EXPECT_EQ(r.reason, c.reason) << c.script;
    EXPECT_LT(now_ms() - start, kAnswerWithinMs) << c.script;
    expect_no_child_left();
  }
  FakeDecoder missing("true");
  setenv("VARNOSCAPE_DECODER", "/nonexistent/varnoscape-decoder", 1);
  EXPECT_EQ(decode_bytes_in_child(picture).reason,
            "picture decoder could not start (program not found: "
            "/nonexistent/varnoscape-decoder)");
}

// What the decoder says is checked before the saver believes it.
TEST(DecoderProcess, AnswersComeBackWholeAndDamagedOnesAreRefused) {
  PictureResult whole = PictureResult::success(Surface(3, 2, 0x123456));
  PictureResult back = read_decoder_answer(encode_decoder_answer(whole), {});
  ASSERT_TRUE(back.ok) << back.reason;
  EXPECT_EQ(back.picture.width(), 3);
  EXPECT_EQ(back.picture.at(2, 1), 0x123456u);

  PictureResult part = PictureResult::success(Surface(2, 1, 7));
  part.kept = {100, 50, {10, 90}, {25}};
  back = read_decoder_answer(encode_decoder_answer(part), PictureView{2, 2, FitMode::FullScreen});
  ASSERT_TRUE(back.ok) << back.reason;
  EXPECT_EQ(back.width(), 100);
  EXPECT_EQ(back.kept.cols, (std::vector<int>{10, 90}));

  PictureResult why = PictureResult::failure("corrupt GIF data");
  EXPECT_EQ(read_decoder_answer(encode_decoder_answer(why), {}).reason, "corrupt GIF data");

  const std::string good = encode_decoder_answer(part);
  PictureResult unsorted = part;
  unsorted.kept.cols = {90, 10};
  PictureResult outside = part;
  outside.kept.rows = {50};
  const std::string damaged[] = {good.substr(0, good.size() - 1), good + "x", "VSDA",
                                 encode_decoder_answer(unsorted), encode_decoder_answer(outside),
                                 // a whole 100 x 50 picture where a 2 x 2 view reads part
                                 encode_decoder_answer(PictureResult::success(Surface(100, 50)))};
  for (const std::string& d : damaged) {
    PictureResult r = read_decoder_answer(d, PictureView{2, 2, FitMode::FullScreen});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "picture decoder sent a damaged answer");
  }
}

}  // namespace
}  // namespace vs
