// Which decoder a picture file goes to, by its first bytes: the same on both
// editions. Bitmaps take our own decoder; GIF, JPEG and metafiles each
// edition's own (the Linux edition's libraries, the Windows edition's WIC and
// GDI). This file is built into each edition's decoder library rather than
// the portable one, so that it links before the decoders it calls.
#include <exception>
#include <new>

#include "platform/pictures/decoders.h"

namespace vs {

PictureResult decode_picture(std::string_view bytes, const PictureView& view) {
  try {
    if (bytes.empty()) return PictureResult::failure("empty file");
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
    return PictureResult::failure("not a picture file");
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the picture");
  } catch (const std::exception& e) {
    return PictureResult::failure(std::string("picture could not be decoded (") + e.what() + ")");
  }
}

}  // namespace vs
