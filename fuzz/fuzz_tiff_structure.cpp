// libFuzzer target: our walk of a TIFF file's first directory on arbitrary
// bytes, and behind it the Linux edition's libtiff decoder on what the walk
// lets through (libtiff's error paths, our compression and size checks, the
// 16-bit sample reader).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/tiff_structure.h"
#include "platform/posix/library_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const vs::TiffStructure tiff = vs::read_tiff_structure(bytes);
  if (!tiff.problem.empty()) return 0;
  if (!vs::picture_size_problem(tiff.width, tiff.height).empty()) __builtin_trap();
  if (!vs::tiff_compression_allowed(tiff.compression)) __builtin_trap();
  // A file that passed holds its header at least.
  if (size < (tiff.big ? 16u : 8u)) __builtin_trap();
  if (tiff.width * tiff.height > (int64_t{1} << 20)) return 0;
  for (const vs::PictureView& view : {vs::PictureView{}, vs::PictureView{7, 5}}) {
    const vs::PictureResult r = vs::decode_tiff(bytes, view);
    if (r.ok == !r.reason.empty()) __builtin_trap();
    if (!r.ok) continue;
    const bool same = r.width() == tiff.width && r.height() == tiff.height;
    const bool turned = r.width() == tiff.height && r.height() == tiff.width;
    if (!same && !turned) __builtin_trap();
  }
  return 0;
}
