// libFuzzer target: our HEIF and AVIF box walk (both editions read it before
// the system's decoder is given the file) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/heif_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const vs::HeifStructure heif = vs::read_heif_structure(file);
  if (std::strcmp(heif.kind, "HEIF") != 0 && std::strcmp(heif.kind, "AVIF") != 0) __builtin_trap();
  if (!heif.problem.empty()) return 0;
  // What passes is allocated by libheif as it stands: within the picture
  // limit and the side libheif is told to allow.
  if (!vs::picture_size_problem(heif.width, heif.height).empty()) __builtin_trap();
  if (heif.width > vs::kMaxHeifSide || heif.height > vs::kMaxHeifSide) __builtin_trap();
  if (heif.quarter_turns < 0 || heif.quarter_turns > 3) __builtin_trap();
  // It is an ISO media file with its brands first, and a primary picture.
  if (size < 8 || file.substr(4, 4) != "ftyp") __builtin_trap();
  if (file.find("pitm") == std::string_view::npos || file.find("ispe") == std::string_view::npos) {
    __builtin_trap();
  }
  return 0;
}
