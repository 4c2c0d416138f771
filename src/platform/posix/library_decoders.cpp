#include "platform/posix/library_decoders.h"

namespace vs {

const SystemDecoders& library_decoders() {
  static const DecoderFunctions<&decode_gif, &decode_jpeg, &render_wmf> decoders;
  return decoders;
}

}  // namespace vs
