// libFuzzer target: our JPEG marker scan and its walk through the coded data
// (the Windows edition reads both before the system's decoder is given the
// file) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/jpeg_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vs::JpegStructure jpeg;
  const std::string reason =
      vs::read_jpeg_structure({reinterpret_cast<const char*>(data), size}, jpeg);
  if (!reason.empty()) return 0;
  // What passes is decoded and allocated as it stands.
  if (!vs::picture_size_problem(jpeg.width, jpeg.height).empty()) __builtin_trap();
  if (jpeg.components != 1 && jpeg.components != 3 && jpeg.components != 4) __builtin_trap();
  if (jpeg.orientation < 1 || jpeg.orientation > 8) __builtin_trap();
  return 0;
}
