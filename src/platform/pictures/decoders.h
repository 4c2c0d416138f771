// The picture decoders behind Platform::load_picture. Each one takes the
// whole file in memory and returns the picture or a short reason; none of
// them reads past its input or allocates more than kMaxPicturePixels pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "platform/pictures/picture_reasons.h"

namespace vs {

enum class PictureKind { Unknown, Bmp, Gif, Jpeg, Wmf };

// The kind of picture by the file's first bytes, whatever its name says.
PictureKind detect_picture_kind(std::string_view bytes);

// Decodes a whole picture file held in memory, of whatever kind its bytes
// say, in this process. The Linux saver calls it only inside its decoder
// process (posix/decoder_process.h), where a decoder may crash or hang
// safely; the Windows saver in its own process, on its loading thread.
PictureResult decode_picture(std::string_view bytes, const PictureView& view = {});

// An empty string when width x height may be allocated, else the reason
// ("picture too large (70000 x 70000)").
std::string picture_size_problem(int64_t width, int64_t height);

// Each keeps only the pixels that the view's fit reads (all of them without
// a view); see PictureSink.
PictureResult decode_bmp(std::string_view bytes, const PictureView& view = {});
PictureResult decode_gif(std::string_view bytes, const PictureView& view = {});
// Turned upright by the EXIF orientation when the file carries one.
PictureResult decode_jpeg(std::string_view bytes, const PictureView& view = {});

// Renders a metafile at the size and frame found by read_wmf_frame
// (wmf_frame.h), on white paper: with libwmf on Linux (only inside the
// decoder process: libwmf is not trusted with the saver's own memory), with
// GDI on Windows.
PictureResult render_wmf(std::string_view bytes, const PictureView& view = {});

#if !defined(_WIN32)
// Where libwmf looks for its fonts.
inline constexpr const char* kMetafileFontFolder = "/usr/share/fonts/type1/urw-base35";

// Why libwmf cannot draw text here, or "" when it can: it needs the
// standard PostScript fonts in font_folder (Debian's fonts-urw-base35) and
// calls a good file corrupt without them. The Linux edition's only: GDI
// draws with the system's fonts.
std::string metafile_fonts_problem(const std::string& font_folder = kMetafileFontFolder);
#endif

}  // namespace vs
