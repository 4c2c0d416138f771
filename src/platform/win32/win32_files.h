// Files at the Windows boundary: paths go to the system as UTF-16, long ones
// with the \\?\ prefix so that paths past 260 characters work everywhere.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace vs::win32 {

// The wide form of a UTF-8 path for the file calls: slashes become
// backslashes, and an absolute path gets the \\?\ (or \\?\UNC\) prefix.
std::wstring system_path(const std::string& path);

// A system error code as a short sentence ("Access is denied.").
std::string error_text(DWORD code);

struct WholeFile {
  enum class Status { Ok, Missing, NotRegular, TooLarge, Error };
  Status status = Status::Error;
  std::string bytes;  // when Ok
  DWORD error = 0;    // the system's code when Missing or Error
};

// Reads all of a regular file, never more than max_bytes. Folders, devices
// and pipes are not opened for reading (a named pipe would wait for its
// writer).
WholeFile read_whole_file(const std::string& path, size_t max_bytes);

}  // namespace vs::win32
