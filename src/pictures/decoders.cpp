#include "pictures/decoders.h"

#include <algorithm>

#include "pictures/byte_order.h"

namespace vs {

namespace {

// An ISO media file's brands (its "ftyp" box: the major brand, a minor
// version, then compatible brands) tell a HEIF picture from an AVIF one and
// from a video. The major brand decides where it names a coding; a generic
// one ("mif1") leaves it to the compatible brands.
PictureKind heif_family_kind(std::string_view bytes) {
  auto coding = [](std::string_view brand) {
    if (brand == "avif" || brand == "avis") return PictureKind::Avif;
    if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" ||
        brand == "hevc" || brand == "hevx") {
      return PictureKind::Heif;
    }
    return PictureKind::Unknown;
  };
  if (PictureKind major = coding(bytes.substr(8, 4)); major != PictureKind::Unknown) return major;
  const uint32_t box = be32(bytes_of(bytes));
  const size_t end = std::min<size_t>(bytes.size(), box);
  bool generic = bytes.substr(8, 4) == "mif1" || bytes.substr(8, 4) == "msf1";
  for (size_t at = 16; at + 4 <= end; at += 4) {
    if (PictureKind kind = coding(bytes.substr(at, 4)); kind != PictureKind::Unknown) return kind;
    generic = generic || bytes.substr(at, 4) == "mif1" || bytes.substr(at, 4) == "msf1";
  }
  return generic ? PictureKind::Heif : PictureKind::Unknown;
}

}  // namespace

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
  if (n >= 8 && bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
    return PictureKind::Png;
  }
  if (n >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WEBP") {
    return PictureKind::Webp;
  }
  // Classic TIFF (42) and BigTIFF (43), in either byte order.
  if (n >= 4 && ((p[0] == 'I' && p[1] == 'I' && (le16(p + 2) == 42 || le16(p + 2) == 43)) ||
                 (p[0] == 'M' && p[1] == 'M' && (be16(p + 2) == 42 || be16(p + 2) == 43)))) {
    return PictureKind::Tiff;
  }
  if (n >= 12 && bytes.substr(4, 4) == "ftyp") return heif_family_kind(bytes);
  return PictureKind::Unknown;
}

const char* picture_kind_name(PictureKind kind) {
  switch (kind) {
    case PictureKind::Bmp:
      return "BMP";
    case PictureKind::Gif:
      return "GIF";
    case PictureKind::Jpeg:
      return "JPEG";
    case PictureKind::Wmf:
      return "WMF";
    case PictureKind::Png:
      return "PNG";
    case PictureKind::Webp:
      return "WebP";
    case PictureKind::Heif:
      return "HEIF";
    case PictureKind::Avif:
      return "AVIF";
    case PictureKind::Tiff:
      return "TIFF";
    case PictureKind::Unknown:
      break;
  }
  return "unknown";
}

namespace {
constexpr std::string_view kNoDecoderFor = "no decoder for ";
}  // namespace

std::string missing_decoder_reason(PictureKind kind, std::string_view advice) {
  std::string reason =
      std::string(kNoDecoderFor) + picture_kind_name(kind) + " pictures on this system";
  if (!advice.empty()) reason.append(" (").append(advice).append(")");
  return reason;
}

bool is_missing_decoder_reason(std::string_view reason) {
  return reason.starts_with(kNoDecoderFor);
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
