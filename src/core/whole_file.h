// A whole file read into memory, for the settings file and for pictures:
// what every system's reader answers, and the reading once a file is open.
#pragma once

#include <cstddef>
#include <string>

#include "core/read_to_end.h"

namespace vs {

struct WholeFile {
  enum class Status { Ok, Missing, NotRegular, TooLarge, Error };
  Status status = Status::Error;
  std::string bytes;  // when Ok
  // The system's words when Missing, TooLarge or Error, and when NotRegular
  // for a folder ("Is a directory"); empty for any other file that is not
  // a regular one.
  std::string error;
};

// The reading itself, once a backend has opened a regular file that was
// `expected` bytes long: read is read_to_end's. Ok, TooLarge or Error; the
// backend adds its words for the last two.
template <class Read>
WholeFile read_opened_file(size_t expected, size_t max_bytes, Read read) {
  WholeFile f;
  switch (read_to_end(f.bytes, expected, max_bytes, read)) {
    case ReadEnd::Ok:
      f.status = WholeFile::Status::Ok;
      break;
    case ReadEnd::TooLarge:
      f.status = WholeFile::Status::TooLarge;
      break;
    case ReadEnd::Error:
      f.status = WholeFile::Status::Error;
      break;
  }
  return f;
}

}  // namespace vs
