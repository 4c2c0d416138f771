// Reading a whole file into memory, for the settings file and for pictures.
// Implemented per system (posix/files.cpp, win32/files_win32.cpp) with the
// system's own calls; what is the same on every system is here.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "core/read_to_end.h"
#include "platform/platform.h"

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

// Reads all of a regular file, never more than max_bytes (a file that grows
// past it while being read is TooLarge too). Only a regular file is opened,
// and never waited on: a FIFO or a named pipe would wait for its writer, and
// opening a device can have effects of its own. A path that leads nowhere
// (no such file, or a file where a folder should be) is Missing.
WholeFile read_whole_file(const std::string& path, size_t max_bytes);

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

// What Platform::read_file answers for it: only a missing file is Missing,
// everything else that is not Ok is an Error with the system's words.
inline ReadResult read_result(WholeFile f) {
  ReadResult r;
  switch (f.status) {
    case WholeFile::Status::Ok:
      r.status = ReadResult::Status::Ok;
      r.bytes = std::move(f.bytes);
      return r;
    case WholeFile::Status::Missing:
      r.status = ReadResult::Status::Missing;
      break;
    case WholeFile::Status::NotRegular:
      r.status = ReadResult::Status::Error;
      if (f.error.empty()) f.error = "not a regular file";
      break;
    case WholeFile::Status::TooLarge:
    case WholeFile::Status::Error:
      r.status = ReadResult::Status::Error;
      break;
  }
  r.error = std::move(f.error);
  return r;
}

}  // namespace vs
