// The Windows edition's decoders for the kinds that are not ours: GIF, JPEG,
// PNG, TIFF, WebP, HEIF and AVIF through the Windows Imaging Component,
// metafiles played by GDI, each behind our own structure checks; and WIC's
// colour transform for embedded colour profiles.
#pragma once

#include <string>
#include <string_view>

#include "pictures/decoders.h"

namespace vs {

PictureResult decode_gif(std::string_view bytes, const PictureView& view = {});
// Turned upright by the EXIF orientation when the file carries one.
PictureResult decode_jpeg(std::string_view bytes, const PictureView& view = {});
PictureResult render_wmf(std::string_view bytes, const PictureView& view = {});
// The kinds below, and JPEG, hand back the ICC profile the file embeds in
// the result's colour_profile. A TIFF is its first page, turned upright by
// its orientation tag; a WebP its first frame; a HEIF or AVIF file its
// primary picture, turned as its decoder reports. WebP, HEIF and AVIF need
// the system's image extensions: without one the reason names it.
PictureResult decode_png(std::string_view bytes, const PictureView& view = {});
PictureResult decode_tiff(std::string_view bytes, const PictureView& view = {});
PictureResult decode_webp(std::string_view bytes, const PictureView& view = {});
PictureResult decode_heif(std::string_view bytes, const PictureView& view = {});
PictureResult decode_avif(std::string_view bytes, const PictureView& view = {});

// Converts pixels from the colours an ICC profile describes to sRGB by
// WIC's colour transform, in place; "" or why not (the pixels are then left
// as they were). A profile that gives sRGB's colours back leaves them
// untouched.
std::string convert_profile_to_srgb(std::string_view icc_profile, Surface& pixels);

// The decoders above, as the choice of decoder takes them.
const SystemDecoders& windows_decoders();

}  // namespace vs
