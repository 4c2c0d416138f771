// Which decoder a picture file goes to, by its first bytes: the same on both
// editions. Bitmaps take our own decoder; GIF, JPEG and metafiles the
// system's decoders, which each edition hands in.
#include "pictures/decoders.h"

namespace vs {

PictureResult decode_picture(const SystemDecoders& system, std::string_view bytes,
                             const PictureView& view) {
  return without_exceptions([&] {
    if (bytes.empty()) return PictureResult::failure(kEmptyFile);
    switch (detect_picture_kind(bytes)) {
      case PictureKind::Bmp:
        return decode_bmp(bytes, view);
      case PictureKind::Gif:
        return system.decode_gif(bytes, view);
      case PictureKind::Jpeg:
        return system.decode_jpeg(bytes, view);
      case PictureKind::Wmf:
        return system.render_wmf(bytes, view);
      case PictureKind::Unknown:
        break;
    }
    return PictureResult::failure(kNotAPictureFile);
  });
}

}  // namespace vs
