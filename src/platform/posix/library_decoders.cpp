#include "platform/posix/library_decoders.h"

namespace vs {

const SystemDecoders& library_decoders() {
  static const SystemDecoders decoders{.gif = decode_gif, .jpeg = decode_jpeg, .wmf = render_wmf};
  return decoders;
}

}  // namespace vs
