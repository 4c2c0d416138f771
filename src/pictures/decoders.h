// The picture decoders behind Platform::load_picture. Each one takes the
// whole file in memory and returns the picture or a short reason; none of
// them reads past its input or allocates more than kMaxPicturePixels pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "pictures/picture_reasons.h"

namespace vs {

enum class PictureKind { Unknown, Bmp, Gif, Jpeg, Wmf, Png, Webp, Heif, Avif, Tiff };

// The kind of picture by the file's first bytes, whatever its name says.
PictureKind detect_picture_kind(std::string_view bytes);

// The kind's name in reasons ("PNG", "HEIF").
const char* picture_kind_name(PictureKind kind);

// Why pictures of a kind cannot be read here: the system has no decoder for
// them. `advice` says what to install, when something can be.
std::string missing_decoder_reason(PictureKind kind, std::string_view advice = {});
// Whether a load failed for that reason (and not for the file's own fault).
bool is_missing_decoder_reason(std::string_view reason);

// One decoder: the whole file in memory, and what of it the caller will
// look at. It keeps only the pixels that the view's fit reads (all of them
// without a view); see PictureSink.
using DecodeFunction = PictureResult (*)(std::string_view bytes, const PictureView& view);

// Converts pixels from the colours an ICC profile describes to sRGB, in
// place; "" or why it could not (the pixels are then left as they were).
using ColourConversion = std::string (*)(std::string_view icc_profile, Surface& pixels);

// The decoders a system brings for the kinds that are not ours to decode:
// the Linux edition's libraries (platform/posix/), the Windows edition's WIC
// and GDI (platform/win32/). A kind without a decoder is refused with a
// reason that names it.
struct SystemDecoders {
  DecodeFunction gif = nullptr;
  // Turned upright by the EXIF orientation when the file carries one; so are
  // the kinds below that carry one.
  DecodeFunction jpeg = nullptr;
  // Renders a metafile at the size and frame found by read_wmf_frame
  // (wmf_frame.h), on white paper.
  DecodeFunction wmf = nullptr;
  // The kinds below come out as a person sees them: transparent parts over
  // black, 16-bit samples rounded to 8, the first page or frame, the primary
  // picture of a HEIF file.
  DecodeFunction png = nullptr;
  DecodeFunction webp = nullptr;
  DecodeFunction heif = nullptr;
  DecodeFunction avif = nullptr;
  DecodeFunction tiff = nullptr;
  // Applied to a decoded picture whose result names a colour profile.
  ColourConversion to_srgb = nullptr;
};

// Decodes a whole picture file held in memory, of whatever kind its bytes
// say, in this process: bitmaps by our own decoder, the rest by the system's. The Linux saver calls
// it only inside its decoder process (posix/decoder_process.h), where a decoder may crash or hang
// safely; the Windows saver in its own process, on its loading thread.
PictureResult decode_picture(const SystemDecoders& system, std::string_view bytes,
                             const PictureView& view = {});

// An empty string when width x height may be allocated, else the reason
// ("picture too large (70000 x 70000)").
std::string picture_size_problem(int64_t width, int64_t height);

// Our own bitmap decoder, the same on both editions.
PictureResult decode_bmp(std::string_view bytes, const PictureView& view = {});

}  // namespace vs
