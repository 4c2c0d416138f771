// The Linux edition's decoders for the kinds that are not ours: giflib,
// libjpeg-turbo and libwmf, each behind our own structure checks. They run
// only inside the decoder process (decoder_process.h), where a library may
// crash or hang safely; libwmf above all is not trusted with the saver's own
// memory.
#pragma once

#include <string>
#include <string_view>

#include "pictures/decoders.h"

namespace vs {

PictureResult decode_gif(std::string_view bytes, const PictureView& view = {});
// Turned upright by the EXIF orientation when the file carries one.
PictureResult decode_jpeg(std::string_view bytes, const PictureView& view = {});
PictureResult render_wmf(std::string_view bytes, const PictureView& view = {});
// PNG by libpng and TIFF (its first page) by libtiff, behind our own
// structure checks; each hands back the ICC profile it embeds, if any.
PictureResult decode_png(std::string_view bytes, const PictureView& view = {});
PictureResult decode_tiff(std::string_view bytes, const PictureView& view = {});
// WebP by libwebp (an animation's first frame) and HEIF and AVIF by libheif
// (the primary picture, turned as its irot and imir say), behind our own
// structure checks; WebP is turned upright by its EXIF orientation. Each
// hands back the colour profile it names: an ICC profile, or for HEIF and
// AVIF the one equivalent to its nclx codes (platform/posix/nclx_profile.h).
PictureResult decode_webp(std::string_view bytes, const PictureView& view = {});
PictureResult decode_heif(std::string_view bytes, const PictureView& view = {});

// Where libwmf looks for its fonts.
inline constexpr const char* kMetafileFontFolder = "/usr/share/fonts/type1/urw-base35";

// Why libwmf cannot draw text here, or "" when it can: it needs the
// standard PostScript fonts in font_folder (Debian's fonts-urw-base35) and
// calls a good file corrupt without them.
std::string metafile_fonts_problem(const std::string& font_folder = kMetafileFontFolder);

// Converts pixels from the colours an ICC profile describes to sRGB by
// lcms2, in place; "" or why not (the pixels are then left as they were).
// A profile that gives sRGB's colours back leaves them untouched.
std::string convert_profile_to_srgb(std::string_view icc_profile, Surface& pixels);

// The decoders above, as the choice of decoder takes them.
const SystemDecoders& library_decoders();

}  // namespace vs
