// libFuzzer target: the GIF and JPEG decoders at their library boundary
// (giflib's and libjpeg's error paths, our scan cap and size checks).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/posix/library_decoders.h"

namespace {

// The declared size, as far as a quick look tells, so that runs are not
// spent on pictures of a gigabyte that the size limit allows.
bool looks_small(const uint8_t* d, size_t n) {
  constexpr int64_t kLimit = int64_t{1} << 20;
  if (n >= 10 && d[0] == 'G') return int64_t{d[6] | d[7] << 8} * (d[8] | d[9] << 8) <= kLimit;
  for (size_t i = 2; i + 9 <= n; ++i) {
    if (d[i] == 0xFF && d[i + 1] >= 0xC0 && d[i + 1] <= 0xCF && d[i + 1] != 0xC4 &&
        d[i + 1] != 0xC8 && d[i + 1] != 0xCC) {
      return int64_t{d[i + 5] << 8 | d[i + 6]} * (d[i + 7] << 8 | d[i + 8]) <= kLimit;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!looks_small(data, size)) return 0;
  vs::PictureResult r;
  switch (vs::detect_picture_kind(bytes)) {
    case vs::PictureKind::Gif:
      r = vs::decode_gif(bytes);
      break;
    case vs::PictureKind::Jpeg:
      r = vs::decode_jpeg(bytes);
      break;
    default:
      return 0;
  }
  if (r.ok != r.reason.empty()) __builtin_trap();
  return 0;
}
