// Starting other programs: the picture decoder, the desktop's folder
// chooser, the URL opener. One way for all of them, because each must be
// safe while the saver holds the screen:
//
// - an argument vector, never a shell;
// - only the descriptors the child needs: standard input from the caller
//   (or /dev/null), standard output to us (or /dev/null), standard error
//   shared or /dev/null. Never the X connection, so a child cannot keep our
//   window and grabs alive after we are gone;
// - the child dies with the thread that started it (PR_SET_PDEATHSIG);
// - a wall-clock limit, and optional CPU and address-space limits;
// - the child is always reaped, whatever happens here, exceptions included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace vs {

// Where a child's standard output goes as it comes, when it should not be
// gathered in ChildResult::output: room() is where the next bytes may go
// (empty when no more are wanted: more ends the child as OutputTooLong),
// and took(n) says that n bytes came there.
class ChildOutput {
 public:
  virtual ~ChildOutput() = default;
  virtual std::span<char> room() = 0;
  virtual void took(size_t bytes) = 0;
};

struct ChildSpec {
  // argv[0] is a path, or a name looked up on PATH.
  std::vector<std::string> argv;
  int stdin_fd = -1;            // becomes the child's standard input; -1: /dev/null
  bool keep_stderr = false;     // else the child's standard error goes to /dev/null
  int wall_ms = 0;              // killed after this long; 0: no limit
  int cpu_seconds = 0;          // 0: no limit
  uint64_t address_space = 0;   // bytes; 0: no limit
  size_t max_output = 1 << 20;  // more on standard output kills the child
  // Standard output into this, instead of into ChildResult::output
  // (max_output is then the receiver's to keep).
  ChildOutput* output_to = nullptr;
  // The output pipe's size; 0: the system's (64 KiB). A child that sends
  // much (a picture's pixels) passes it in fewer turns with a larger one.
  size_t output_pipe_bytes = 0;
};

struct ChildResult {
  enum class End {
    Exited,         // see status
    Signalled,      // killed by signal `status` (a crash)
    TimedOut,       // killed at the wall-clock limit
    Stopped,        // killed because the caller asked to stop
    OutputTooLong,  // killed for writing more than max_output
    NotStarted,     // see error
  };
  End end = End::NotStarted;
  int status = 0;
  std::string output;  // what it wrote on standard output
  std::string error;   // why it did not start

  bool exited_with(int code) const { return end == End::Exited && status == code; }
};

// Runs the child to its end (or its limits) and gathers its output. A stop
// request ends it within a few milliseconds.
ChildResult run_child(const ChildSpec& spec, std::stop_token stop = {});

// A child started ahead of its work (a picture decoder waiting for its
// picture), not yet waited for. Dropped, it is killed and reaped.
class StartedChild {
 public:
  ~StartedChild();
  StartedChild(const StartedChild&) = delete;
  StartedChild& operator=(const StartedChild&) = delete;

  // Whether it has ended already, by itself.
  bool ended() const;

 private:
  explicit StartedChild(int pid) : pid_(pid) {}
  friend std::unique_ptr<StartedChild> start_child(const ChildSpec&, std::string&);
  friend ChildResult finish_child(std::unique_ptr<StartedChild>, const ChildSpec&, std::stop_token);
  int pid_;
  int out_ = -1;  // its standard output
  int end_ = -1;  // a pidfd, readable once it has ended
};

// run_child in two steps: the start (nothing, and why, when the program
// could not be started), then the wait for the end, as run_child's, with
// the wall-clock limit counted from the wait's start.
std::unique_ptr<StartedChild> start_child(const ChildSpec& spec, std::string& error);
ChildResult finish_child(std::unique_ptr<StartedChild> child, const ChildSpec& spec,
                         std::stop_token stop = {});

// Starts a program that lives on without us (a web browser opened by
// xdg-open): nothing of ours is inherited, it is not our child for long,
// and nothing waits for it. False when it could not be started.
bool start_detached(const std::vector<std::string>& argv);

// The full path of a program named without a slash, from PATH; the name
// itself when it holds a slash; empty when there is no such program.
std::string find_program(const std::string& name);

}  // namespace vs
