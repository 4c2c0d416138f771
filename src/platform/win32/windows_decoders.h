// The Windows edition's decoders for the kinds that are not ours: GIF and
// JPEG through the Windows Imaging Component, metafiles played by GDI, each
// behind our own structure checks.
#pragma once

#include <string_view>

#include "pictures/decoders.h"

namespace vs {

PictureResult decode_gif(std::string_view bytes, const PictureView& view = {});
// Turned upright by the EXIF orientation when the file carries one.
PictureResult decode_jpeg(std::string_view bytes, const PictureView& view = {});
PictureResult render_wmf(std::string_view bytes, const PictureView& view = {});

// The three above, as the choice of decoder takes them.
const SystemDecoders& windows_decoders();

}  // namespace vs
