// Which decoder a picture file goes to, by its first bytes: the same on both
// editions. Bitmaps take our own decoder; GIF, JPEG and metafiles each
// edition's own (the Linux edition's libraries, the Windows edition's WIC and
// GDI). This file is built into each edition's decoder library rather than
// the portable one, so that it links before the decoders it calls.
#include "platform/pictures/decoders.h"

namespace vs {

PictureResult decode_picture(std::string_view bytes, const PictureView& view) {
  return without_exceptions([&] {
    if (bytes.empty()) return PictureResult::failure(kEmptyFile);
    switch (detect_picture_kind(bytes)) {
      case PictureKind::Bmp:
        return decode_bmp(bytes, view);
      case PictureKind::Gif:
        return decode_gif(bytes, view);
      case PictureKind::Jpeg:
        return decode_jpeg(bytes, view);
      case PictureKind::Wmf:
        return render_wmf(bytes, view);
      case PictureKind::Unknown:
        break;
    }
    return PictureResult::failure(kNotAPictureFile);
  });
}

}  // namespace vs
