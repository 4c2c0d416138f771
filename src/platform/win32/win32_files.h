// The system's words for its error codes, as the Windows backend reports
// them (a file that cannot be read or written, a window that cannot be made).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "core/whole_file.h"
#include "platform/win32/owned_handle.h"

namespace vs::win32 {

// A system error code as a short sentence ("Access is denied.").
std::string error_text(DWORD code);

// False for a file a folder listing reports as kept elsewhere until it is
// opened (a cloud file): opening or reading it would fetch it. Folders are
// always listed.
bool listed_as_local(DWORD attributes);

// The attribute bits the catalogue compares: read-only, hidden, system,
// folder and archive (and the volume bit, which files never have). The
// system's other bits say nothing about whether a picture is shown.
int compared_attributes(DWORD attributes);

}  // namespace vs::win32

namespace vs {

// Reads all of a regular file, never more than max_bytes (a file that grows
// past it while being read is TooLarge too). Only a regular file is opened,
// and never waited on: a FIFO or a named pipe would wait for its writer, and
// opening a device can have effects of its own. A path that leads nowhere
// (no such file, or a file where a folder should be) is Missing.
WholeFile read_whole_file(const std::string& path, size_t max_bytes);

// The opening alone, for a reader elsewhere (the picture decoder): the
// file opened for reading with the given sharing, or no handle and why
// (Missing, NotRegular, or Error with the system's words).
win32::OwnedHandle open_regular_file(const std::string& path, DWORD share, WholeFile& failure);

// Reads an opened file from where it stands to its end, never more than
// max_bytes: Ok, TooLarge or Error with the system's words.
WholeFile read_opened_handle(HANDLE file, size_t max_bytes);

}  // namespace vs
