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

}  // namespace vs::win32
