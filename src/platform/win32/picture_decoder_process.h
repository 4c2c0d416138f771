// Pictures are decoded in a process of their own: the saver's .scr started
// again with kDecodePictureSwitch, so that the program stays one file. The
// child runs in a job object (a memory limit, no second process, no desktop,
// clipboard or global atoms, killed when the saver lets go of the job) with
// a restricted token at low integrity, and has nothing but the pipe its
// answer goes back by (the one handle it inherits) and the picture's file,
// opened here read-only and handed to it. One child is started ahead of
// the picture it will decode, so that its start is not waited for: it
// waits, confined, with its libraries loaded. The pixels themselves come back in a section the
// child makes, which the saver duplicates and maps: a pipe under Wine moves them several times
// slower. A child that crashes, hangs past its time or is killed fails that picture only, with a
// reason; a stop request ends its job.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"

namespace vs {

inline constexpr char kDecodePictureSwitch[] = "--decode-picture";

struct DecoderLaunch {
  std::wstring program;          // the .scr that answers kDecodePictureSwitch
  int wall_ms = kDecoderWallMs;  // the child is ended after this long
  // The most memory the child may commit.
  uint64_t memory = kDecoderMemoryBytes;
  // Where a confinement that the system accepts but does not apply (Wine's)
  // is said, once in the program's life.
  std::function<void(const std::string&)> report;
  // Called with the child's process and job once it has been handed the
  // picture (tests look at them, or end the child mid-picture).
  std::function<void(HANDLE process, HANDLE job)> started;
};

// The exchange on the pipe: the saver hands a waiting child the picture
// (its file's handle, duplicated into the child, and the view), the child
// asks for room for its answer (pictures/decoder_answer.h), the saver makes
// a section of that size and hands it over, the child fills it and says so.
// A section the saver makes is memory, never a file the child could cut
// short under it.
struct DecoderMessage {
  static constexpr uint32_t kPicture = 0x50445356;      // "VSDP": value is the file's handle
  static constexpr uint32_t kAnswerBytes = 0x41445356;  // "VSDA": value is the size
  static constexpr uint32_t kSection = 0x53445356;      // "VSDS": value is the section's handle
  static constexpr uint32_t kAnswered = 0x46445356;     // "VSDF"
  uint32_t kind = 0;
  uint32_t unused = 0;
  uint64_t value = 0;
  // With kPicture: the view as the decoder's argument (view_argument),
  // empty for a whole picture.
  char view[40] = {};
};

// Decodes the opened picture file in a child process (the one started
// ahead, when it was started for the same program; then the next one is
// started ahead); the handle is the child's to read from where it stands.
PictureResult decode_file_in_child(HANDLE file, const PictureView& view, std::stop_token stop,
                                   const DecoderLaunch& launch);

// The child's side: arguments is the command line after the program's path,
// starting with kDecodePictureSwitch. Returns the process's exit status.
int run_picture_decoder(std::string_view arguments);

}  // namespace vs
