// libFuzzer target: our WebP chunk walk (both editions read it before the
// system's decoder is given the file) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/webp_structure.h"

namespace {

// A view the walk hands back lies inside the file it was given.
bool inside(std::string_view part, std::string_view file) {
  return part.empty() ||
         (part.data() >= file.data() && part.data() + part.size() <= file.data() + file.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const vs::WebpStructure webp = vs::read_webp_structure(file);
  if (!inside(webp.icc_profile, file) || !inside(webp.exif, file)) __builtin_trap();
  if (!webp.problem.empty()) return 0;
  // What passes is allocated by libwebp as it stands: the canvas or the
  // picture within the limit, and a RIFF size the file holds.
  if (!vs::picture_size_problem(webp.width, webp.height).empty()) __builtin_trap();
  if (size < 12 || file.substr(0, 4) != "RIFF" || file.substr(8, 4) != "WEBP") __builtin_trap();
  const uint64_t riff_size = data[4] | data[5] << 8 | data[6] << 16 | uint64_t{data[7]} << 24;
  if (riff_size + 8 > size) __builtin_trap();
  // A lossless picture's header was seen whole, its signature first.
  if (webp.lossless && file.find("VP8L") == std::string_view::npos) __builtin_trap();
  return 0;
}
