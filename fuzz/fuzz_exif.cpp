// libFuzzer target: the EXIF orientation parser (of a JPEG's APP1 segment
// and of a bare EXIF block), and the turn it selects.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictures/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const int o = vs::exif_orientation(bytes);
  if (o < 1 || o > 8) __builtin_trap();
  const int block = vs::exif_block_orientation(bytes);
  if (block < 1 || block > 8) __builtin_trap();
  vs::Surface s(3, 2, 7);
  vs::Surface turned = vs::orient_picture(std::move(s), o);
  if (turned.width() * turned.height() != 6 || turned.at(0, 0) != 7) __builtin_trap();
  return 0;
}
