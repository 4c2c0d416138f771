// libFuzzer target: our own BMP decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictures/bmp_format.h"
#include "pictures/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The header reader sees everything; whole pictures only up to a million
  // pixels, so that runs are not spent clearing gigabytes that the size
  // limit allows.
  vs::BmpLayout layout;
  if (!vs::read_bmp_layout(bytes, layout).empty()) return 0;
  if (int64_t{layout.width} * layout.height > (int64_t{1} << 20)) return 0;
  vs::PictureResult r = vs::decode_bmp(bytes);
  if (r.ok != r.reason.empty()) __builtin_trap();
  if (r.ok && (r.picture.width() != layout.width || r.picture.height() != layout.height)) {
    __builtin_trap();
  }
  return 0;
}
