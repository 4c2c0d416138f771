// What a picture decoder process sends back, on both editions: a header,
// then the reason, or the kept columns, rows and pixels (the view's subset,
// as PictureResult holds it); and the view, as the decoder's argument
// carries it. The parent checks every number of an answer before it
// allocates anything: the decoder may have been taken over by the picture.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"

namespace vs {

// The answer up to its pixels: the header and the reason, or the header and
// the kept columns and rows.
std::string decoder_answer_head(const PictureResult& r);
// The pixels that follow the head, as the picture holds them (none for a
// failure).
std::string_view decoder_answer_pixels(const PictureResult& r);
// The whole answer: the head, then the pixels.
std::string encode_decoder_answer(const PictureResult& r);

// The result an answer holds, or "picture decoder sent a damaged answer".
PictureResult read_decoder_answer(std::string_view answer, const PictureView& view);
// The most a sound answer for the view can hold: a view's fit never reads
// more pixels than its box has.
size_t largest_decoder_answer(const PictureView& view);

// The view as the decoder's argument ("--view=WxH:full"), and back; a
// whole picture has no argument, and one that does not parse is the whole
// picture.
std::string view_argument(const PictureView& view);
PictureView parse_view_argument(std::string_view text);

}  // namespace vs
