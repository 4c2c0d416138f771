// What Platform::read_file makes of a whole file's reading.
#pragma once

#include <utility>

#include "core/whole_file.h"
#include "platform/platform.h"

namespace vs {

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
