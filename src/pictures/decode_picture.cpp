// Which decoder a picture file goes to, by its first bytes: the same on both
// editions. Bitmaps take our own decoder; the other kinds the system's
// decoders, which each edition hands in. Whatever the decoder, the picture
// leaves in sRGB.
#include "pictures/decoders.h"

namespace vs {

namespace {

DecodeFunction system_decoder(const SystemDecoders& system, PictureKind kind) {
  switch (kind) {
    case PictureKind::Gif:
      return system.gif;
    case PictureKind::Jpeg:
      return system.jpeg;
    case PictureKind::Wmf:
      return system.wmf;
    case PictureKind::Png:
      return system.png;
    case PictureKind::Webp:
      return system.webp;
    case PictureKind::Heif:
      return system.heif;
    case PictureKind::Avif:
      return system.avif;
    case PictureKind::Tiff:
      return system.tiff;
    case PictureKind::Bmp:
    case PictureKind::Unknown:
      break;
  }
  return nullptr;
}

// A profile that cannot be applied leaves the colours as they came: a
// picture in slightly wrong colours is better than none.
void convert_to_srgb(const SystemDecoders& system, PictureResult& result) {
  if (!result.ok || result.colour_profile.empty()) return;
  if (system.to_srgb != nullptr) system.to_srgb(result.colour_profile, result.picture);
  result.colour_profile.clear();
}

}  // namespace

PictureResult decode_picture(const SystemDecoders& system, std::string_view bytes,
                             const PictureView& view) {
  return without_exceptions([&] {
    if (bytes.empty()) return PictureResult::failure(kEmptyFile);
    const PictureKind kind = detect_picture_kind(bytes);
    PictureResult result;
    if (kind == PictureKind::Bmp) {
      result = decode_bmp(bytes, view);
    } else if (kind == PictureKind::Unknown) {
      return PictureResult::failure(kNotAPictureFile);
    } else if (DecodeFunction decode = system_decoder(system, kind)) {
      result = decode(bytes, view);
    } else {
      return PictureResult::failure(missing_decoder_reason(kind));
    }
    convert_to_srgb(system, result);
    return result;
  });
}

}  // namespace vs
