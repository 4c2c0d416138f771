#include "pictures/decoders.h"

#include "pictures/byte_order.h"

namespace vs {

PictureKind detect_picture_kind(std::string_view bytes) {
  const unsigned char* p = bytes_of(bytes);
  size_t n = bytes.size();
  if (n >= 2 && p[0] == 'B' && p[1] == 'M') return PictureKind::Bmp;
  if (n >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) {
    return PictureKind::Gif;
  }
  if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return PictureKind::Jpeg;
  if (n >= 4 && le32(p) == 0x9AC6CDD7u) return PictureKind::Wmf;  // placeable header
  // A bare metafile header: memory (1) or disk (2) metafile, nine words long,
  // Windows 2 (0x0100) or 3 (0x0300) records.
  if (n >= 18) {
    uint16_t type = le16(p), words = le16(p + 2), version = le16(p + 4);
    if ((type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300)) {
      return PictureKind::Wmf;
    }
  }
  return PictureKind::Unknown;
}

std::string picture_size_problem(int64_t width, int64_t height) {
  if (width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
      width * height <= kMaxPicturePixels) {
    return {};
  }
  if (width <= 0 || height <= 0) {
    return "picture has no size (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  }
  return "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

}  // namespace vs
