// The system's words for its error codes, as the Windows backend reports
// them (a file that cannot be read or written, a window that cannot be made).
#pragma once

#include <windows.h>

#include <string>

namespace vs::win32 {

// A system error code as a short sentence ("Access is denied.").
std::string error_text(DWORD code);

}  // namespace vs::win32
