// Starting a picture decoder child (see picture_decoder_process.h): its
// job, its token, and the process itself with one handle inherited.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32/owned_handle.h"

namespace vs {

struct DecoderStartFailure {
  std::string reason;  // "picture decoder could not start (...)"
};

// A decoder that runs in its job and waits on its pipe for a picture.
struct DecoderChild {
  win32::OwnedHandle job;
  win32::OwnedHandle process;
  win32::OwnedHandle pipe;  // the saver's end, overlapped
};

// Starts a decoder: the program with kDecodePictureSwitch and the handle
// of its end of the pipe, which is all it inherits, then puts it in its
// job. It is not started suspended: a saver that ended between the two
// would leave a suspended process behind for good, where a running one
// ends as its pipe breaks. It reads nothing before its picture, which
// comes once it is in its job. Throws DecoderStartFailure.
DecoderChild start_decoder_child(const std::wstring& program, uint64_t memory);

// Wine accepts the job's limits and the token's integrity but applies
// neither (it keeps only the end with the saver): said once in the
// program's life, the first time, from what the system reports of a
// running child.
void tell_once_what_the_system_does_not_apply(
    const DecoderChild& child, const std::function<void(const std::string&)>& report);

}  // namespace vs
