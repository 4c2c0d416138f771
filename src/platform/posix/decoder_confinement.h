// The picture decoder's confinement. A picture may be built to take over
// the decoder that reads it (libwmf, libwebp and libheif have all had such
// holes), so the decoder process shuts itself in before it reads the
// picture's first byte: from then on, whatever runs inside it reaches
// nothing but the picture on its standard input and the channel its answer
// goes back by, its standard output.
//
// - Every other descriptor is closed, and no new one can be made (the
//   open-files limit is the two it keeps); no file may be written (file
//   size 0), no core file is left, and no privilege gained (no_new_privs).
// - Landlock, where the kernel has it, takes every right on the file
//   system, TCP and, from its sixth version, signals and abstract sockets
//   beyond the process.
// - A seccomp filter refuses opening and changing files by name, sockets,
//   programs, processes (threads stay: libde265 and dav1d decode with
//   them), other processes' memory and signals, mounts and namespaces, and
//   the kernel's riskier doors (bpf, perf events, keys, io_uring).
//
// The limits on address space and processor time are the caller's: they
// are set before the decoder starts (child_process.h).
#pragma once

#include <string>
#include <string_view>

namespace vs {

// The descriptors the confined decoder keeps: the picture and the answer;
// in a sanitizer build also standard error, where the sanitizers report.
// The most it may have open: those, and in a sanitizer build a pipe more,
// with which the sanitizers find out whether memory can be read.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kConfinedDescriptors = 3;
inline constexpr int kConfinedOpenFiles = kConfinedDescriptors + 2;
#else
inline constexpr int kConfinedDescriptors = 2;
inline constexpr int kConfinedOpenFiles = kConfinedDescriptors;
#endif

// What the process writes on its standard output, in the place of its
// answer, when it makes a forbidden call: `call` is the call's name.
using RefusalAnswer = std::string (*)(std::string_view call);

// Loads beforehand what the decoders would otherwise load from files as
// they go and could not once confined: libheif's plugins, the metafile
// fonts. Locale tables, iconv's modules and lcms2's plugins are never
// loaded: the decoder stays in the "C" locale and converts no text, and
// lcms2 reads every profile from memory.
void prepare_decoders_for_confinement();

// Confines the calling process, which holds the picture on standard input
// and the answer's channel on standard output, and has no other thread yet.
// "" when it is confined, else why not: a process that could not confine
// itself must not decode. Where the kernel has no Landlock the rest still
// applies; the decoder's parent says so (landlock_abi()).
std::string confine_decoder(RefusalAnswer refusal);

// The kernel's Landlock version; 0 where it has none or it is turned off.
int landlock_abi();

}  // namespace vs
