#include "platform/posix/library_decoders.h"

namespace vs {

const SystemDecoders& library_decoders() {
  static const SystemDecoders decoders{.gif = decode_gif,
                                       .jpeg = decode_jpeg,
                                       .wmf = render_wmf,
                                       .png = decode_png,
                                       .webp = decode_webp,
                                       .heif = decode_heif,
                                       .avif = decode_heif,
                                       .tiff = decode_tiff,
                                       .to_srgb = convert_profile_to_srgb};
  return decoders;
}

}  // namespace vs
