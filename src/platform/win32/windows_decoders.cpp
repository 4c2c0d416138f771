#include "platform/win32/windows_decoders.h"

namespace vs {

const SystemDecoders& windows_decoders() {
  static const DecoderFunctions<&decode_gif, &decode_jpeg, &render_wmf> decoders;
  return decoders;
}

}  // namespace vs
