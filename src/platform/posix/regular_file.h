// Opening a file for reading on a POSIX system: only a regular file is
// opened, and nothing waits on it. The whole-file reader and the picture
// loader (which hands the open file to its decoder) both open files so.
#pragma once

#include <cstdint>
#include <string>

#include "core/whole_file.h"

namespace vs {

class RegularFile {
 public:
  explicit RegularFile(const std::string& path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // -1 when the file was not opened; failure() then says why.
  int fd() const { return fd_; }
  // The size the file had when it was opened.
  uint64_t size() const { return size_; }
  // Missing, NotRegular or Error, with the system's words.
  const WholeFile& failure() const { return failure_; }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  WholeFile failure_;
};

// Reads all of a regular file, never more than max_bytes (a file that grows
// past it while being read is TooLarge too). Only a regular file is opened,
// and never waited on: a FIFO or a named pipe would wait for its writer, and
// opening a device can have effects of its own. A path that leads nowhere
// (no such file, or a file where a folder should be) is Missing.
WholeFile read_whole_file(const std::string& path, size_t max_bytes);

}  // namespace vs
