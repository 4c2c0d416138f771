// The system layer that every backend of this system builds on: files,
// clock, pictures and text. The tests' offscreen backend takes it too, so
// that tests run against the real files and decoders of either edition.
#pragma once

#if defined(_WIN32)
#include "platform/win32/win32_system.h"
namespace vs {
using NativeSystem = Win32System;
}  // namespace vs
#else
#include "platform/posix/posix_platform.h"
namespace vs {
using NativeSystem = PosixSystem;
}  // namespace vs
#endif
