// A picture decoder started before its picture is known. Starting one costs
// about 10 ms, nearly all of it the loading and linking of its libraries
// (the HEIF codecs above all); the saver pays it while the previous picture
// is shown, and a picture's own start is then the handing over and the
// confinement, about a millisecond.
//
// The ready decoder (varnoscape-decoder --wait-for-picture) has loaded its
// libraries and what they load lazily, and waits on its standard input, a
// socket, for the picture's descriptor and the view; once they have come it
// confines itself (decoder_confinement.h) and decodes as any decoder does.
// It has no picture before then, and is never handed a second one.
#pragma once

#include <memory>
#include <string_view>

#include "platform/posix/child_process.h"

namespace vs {

// The decoder's argument that makes it wait for its picture.
inline constexpr std::string_view kWaitForPicture = "--wait-for-picture";

// Hands the picture (its descriptor, and the view as the decoder's argument
// gives it, "" for the whole picture) to the program's ready decoder started
// as `waiting` starts one. Nothing when there was none of that program and
// those limits, or it has ended: the caller then starts a decoder of its own.
std::unique_ptr<StartedChild> hand_to_ready_decoder(const ChildSpec& waiting, int picture,
                                                    std::string_view view);

// Starts the next ready decoder, as `waiting` starts one, in the background:
// once a picture is decoded, so that its start does not take a core from
// that decoding.
void start_ready_decoder(const ChildSpec& waiting);

// The decoder's side: takes the picture from standard input, which then
// becomes the picture; the view's argument, or false when the saver has gone
// or let the decoder go without one.
bool receive_picture(std::string& view);

}  // namespace vs
