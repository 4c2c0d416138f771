// libFuzzer target: our PNG chunk walk on arbitrary bytes, and behind it the
// Linux edition's libpng decoder on what the walk lets through (libpng's
// error paths, our truncation and size checks, the interlaced kept rows).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/png_structure.h"
#include "platform/posix/library_decoders.h"

namespace {

uint32_t crc(const unsigned char* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

// The bytes with every whole chunk's checksum made right, so that the
// fuzzer's changes reach libpng's reading rather than its checksum test.
std::string with_right_checksums(std::string_view bytes) {
  std::string out(bytes);
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  for (size_t at = 8; at + 12 <= out.size();) {
    const uint64_t length = uint64_t{p[at]} << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
    if (length > out.size() - at - 12) break;
    const uint32_t c = crc(p + at + 4, 4 + length);
    for (int i = 0; i < 4; ++i)
      p[at + 8 + length + i] = static_cast<unsigned char>(c >> (24 - 8 * i));
    at += 12 + length;
  }
  return out;
}

void check(std::string_view bytes) {
  const vs::PngStructure png = vs::read_png_structure(bytes);
  if (!png.problem.empty()) return;
  // What passes is allocated by the decoder as it stands.
  if (!vs::picture_size_problem(png.width, png.height).empty()) __builtin_trap();
  if (png.bit_depth < 1 || png.bit_depth > 16 || png.colour_type > 6) __builtin_trap();
  // Pictures of a gigabyte are allowed; runs are not spent on them.
  if (png.width * png.height > (int64_t{1} << 20)) return;
  for (const vs::PictureView& view : {vs::PictureView{}, vs::PictureView{7, 5}}) {
    const vs::PictureResult r = vs::decode_png(bytes, view);
    if (r.ok == !r.reason.empty()) __builtin_trap();
    if (!r.ok) continue;
    // Upright by its EXIF orientation, perhaps turned a quarter.
    const bool same = r.width() == png.width && r.height() == png.height;
    const bool turned = r.width() == png.height && r.height() == png.width;
    if (!same && !turned) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(bytes);
  check(with_right_checksums(bytes));
  return 0;
}
