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
#include <stop_token>
#include <string>
#include <vector>

namespace vs {

struct ChildSpec {
  // argv[0] is a path, or a name looked up on PATH.
  std::vector<std::string> argv;
  int stdin_fd = -1;            // becomes the child's standard input; -1: /dev/null
  bool keep_stderr = false;     // else the child's standard error goes to /dev/null
  int wall_ms = 0;              // killed after this long; 0: no limit
  int cpu_seconds = 0;          // 0: no limit
  uint64_t address_space = 0;   // bytes; 0: no limit
  size_t max_output = 1 << 20;  // more on standard output kills the child
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

// Starts a program that lives on without us (a web browser opened by
// xdg-open): nothing of ours is inherited, it is not our child for long,
// and nothing waits for it. False when it could not be started.
bool start_detached(const std::vector<std::string>& argv);

// The full path of a program named without a slash, from PATH; the name
// itself when it holds a slash; empty when there is no such program.
std::string find_program(const std::string& name);

}  // namespace vs
