// Pictures are decoded in a process of their own, the program
// "varnoscape-decoder": a decoder that crashes, loops or runs out of memory
// on a hostile file harms nothing, and every decode ends within the same
// time limit. The file is opened here (only a regular file, never waiting
// on it) and handed over as the decoder's standard input; the decoder
// confines itself before it reads a byte of it (decoder_confinement.h) and
// sends back the pixels that the view needs, or a reason.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "pictures/decoder_answer.h"

namespace vs {

// AddressSanitizer reserves terabytes of address space for its shadow
// memory: under it, a limit on the address space would stop the decoder
// before it starts.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceLimited = false;
#else
constexpr bool kAddressSpaceLimited = true;
#endif

struct DecoderLimits {
  int wall_ms = kDecoderWallMs;  // the decoder is killed after this long
  int cpu_seconds = kDecoderWallMs / 1000;
  // Its whole address space.
  uint64_t address_space = kAddressSpaceLimited ? kDecoderMemoryBytes : 0;
};

// Reads and decodes a picture file; the reason never repeats the path.
PictureResult load_picture_file(const std::string& path, const PictureView& view = {},
                                std::stop_token stop = {});

// Starts the decoder of the saver's first picture now, while the program
// sets itself up (ready_decoder.h): for a program's start.
void start_picture_decoder_ahead();

// Decodes bytes held in memory the same way (tests, damaged copies).
PictureResult decode_bytes_in_child(std::string_view bytes, const PictureView& view = {},
                                    const DecoderLimits& limits = {});

// Why a picture failed when its decoder made a call its confinement
// forbids (decoder_confinement.h): the call is named where it is known.
std::string forbidden_call_reason(std::string_view call);
// Whether a load failed for that reason, or because the decoder could not
// confine itself (and so did not decode): what the saver reports.
bool is_confinement_reason(std::string_view reason);
std::string unconfined_decoder_reason(std::string_view why);

// The decoder's side: its answer (pictures/decoder_answer.h) written on fd,
// the pixels straight from the picture; false when the reader has gone.
bool write_decoder_answer(int fd, const PictureResult& r);

}  // namespace vs
