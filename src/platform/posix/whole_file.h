// Reading a whole file into memory, for the settings file and for pictures.
#pragma once

#include <cstddef>
#include <string>

namespace vs {

struct WholeFile {
  enum class Status { Ok, Missing, NotRegular, TooLarge, Error };
  Status status = Status::Error;
  std::string bytes;  // when Ok
  int error = 0;      // errno when Missing or Error; EISDIR for a folder
};

// Reads all of a regular file, never more than max_bytes (a file that grows
// past it while being read is TooLarge too).
WholeFile read_whole_file(const std::string& path, size_t max_bytes);

}  // namespace vs
