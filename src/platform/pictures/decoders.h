// The picture decoders behind Platform::load_picture. Each one takes the
// whole file in memory and returns the picture or a short reason; none of
// them reads past its input or allocates more than kMaxPicturePixels pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/picture.h"

namespace vs {

enum class PictureKind { Unknown, Bmp, Gif, Jpeg, Wmf };

// The kind of picture by the file's first bytes, whatever its name says.
PictureKind detect_picture_kind(std::string_view bytes);

// An empty string when width x height may be allocated, else the reason
// ("picture too large (70000 x 70000)").
std::string picture_size_problem(int64_t width, int64_t height);

PictureResult decode_bmp(std::string_view bytes);
PictureResult decode_gif(std::string_view bytes);
// Turned upright by the EXIF orientation when the file carries one.
PictureResult decode_jpeg(std::string_view bytes);

// Renders a metafile with libwmf at the size and frame found by
// read_wmf_frame (wmf_frame.h). Runs only inside the isolated child process:
// libwmf is not trusted with the saver's own memory.
PictureResult render_wmf(std::string_view bytes);

}  // namespace vs
