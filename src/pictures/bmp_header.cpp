#include <algorithm>
#include <cstdlib>
#include <string>

#include "pictures/bmp_format.h"
#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr size_t kFileHeader = 14;
constexpr uint32_t kCoreHeader = 12;  // OS/2 1.x and Windows 2: 16-bit sizes, 3-byte colours
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kOs2Header = 64;  // OS/2 2.x: the info layout with its own compressions

std::string compression_name(uint32_t c, bool os2) {
  if (os2 && c == 3) return "Huffman";
  if (os2 && c == 4) return "RLE24";
  switch (c) {
    case kBmpRle8:
      return "RLE8";
    case kBmpRle4:
      return "RLE4";
    case kBmpBitfields:
      return "bit fields";
    case kBmpJpeg:
      return "JPEG";
    case kBmpPng:
      return "PNG";
    case kBmpAlphaBitfields:
      return "alpha bit fields";
    default:
      return "compression " + std::to_string(c);
  }
}

bool bits_fit_compression(int bits, uint32_t c) {
  switch (c) {
    case kBmpRgb:
      return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
             bits == 32;
    case kBmpRle8:
      return bits == 8;
    case kBmpRle4:
      return bits == 4;
    case kBmpBitfields:
    case kBmpAlphaBitfields:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

// A channel mask must be one run of set bits (or empty).
bool mask_is_contiguous(uint32_t m) {
  if (m == 0) return true;
  while ((m & 1) == 0) m >>= 1;
  return ((m + 1) & m) == 0;
}

}  // namespace

std::string_view bmp_embedded_profile(std::string_view bytes) {
  constexpr uint32_t kV5Header = 124;
  constexpr uint32_t kProfileEmbedded = 0x4D424544;  // "MBED"
  const unsigned char* p = bytes_of(bytes);
  if (!in_range(bytes.size(), kFileHeader, kV5Header)) return {};
  const unsigned char* h = p + kFileHeader;
  if (le32(h) < kV5Header || le32(h + 56) != kProfileEmbedded) return {};
  // Where the profile lies is counted from the start of the header.
  const uint64_t at = uint64_t{kFileHeader} + le32(h + 112), size = le32(h + 116);
  if (size == 0 || !in_range(bytes.size(), at, size)) return {};
  return bytes.substr(at, size);
}

std::string read_bmp_layout(std::string_view bytes, BmpLayout& out) {
  const unsigned char* p = bytes_of(bytes);
  const size_t size = bytes.size();
  if (size < kFileHeader + 4) return "truncated BMP data";
  if (p[0] != 'B' || p[1] != 'M') return "not a BMP file";
  const uint32_t data_offset = le32(p + 10);
  const uint32_t hs = le32(p + kFileHeader);
  const bool core = hs == kCoreHeader;
  const bool os2 = hs == kOs2Header || (hs >= 16 && hs < kInfoHeader);
  if (!core && !os2 && hs < kInfoHeader) {
    return "unsupported BMP header (" + std::to_string(hs) + " bytes)";
  }
  if (!in_range(size, kFileHeader, hs)) return "truncated BMP data";
  const unsigned char* h = p + kFileHeader;

  int64_t width = 0, height = 0;
  uint32_t compression = kBmpRgb, colours_used = 0;
  if (core) {
    width = le16(h + 4);
    height = le16(h + 6);
    out.bits = le16(h + 10);
  } else {
    // OS/2 2.x headers may stop after any field; what is missing is zero.
    auto field = [&](uint32_t at) { return at + 4 <= hs ? le32(h + at) : 0u; };
    width = static_cast<int32_t>(le32(h + 4));
    height = static_cast<int32_t>(le32(h + 8));
    out.bits = le16(h + 14);
    compression = field(16);
    colours_used = field(32);
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) {
    return "bad BMP size (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  }
  out.top_down = height < 0;
  height = std::abs(height);
  if (std::string why = picture_size_problem(width, height); !why.empty()) return why;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);

  if ((os2 && compression > kBmpRle4) || !bits_fit_compression(out.bits, compression)) {
    return "unsupported BMP format (" + std::to_string(out.bits) + " bits, " +
           compression_name(compression, os2) + ")";
  }
  out.compression = compression;

  size_t palette_at = kFileHeader + hs;
  if (compression == kBmpBitfields || compression == kBmpAlphaBitfields) {
    const unsigned char* m = h + kInfoHeader;
    if (hs < kInfoHeader + 12) {
      // The masks follow a plain info header.
      size_t mask_bytes = compression == kBmpAlphaBitfields ? 16 : 12;
      if (!in_range(size, palette_at, mask_bytes)) return "truncated BMP data";
      m = p + palette_at;
      palette_at += mask_bytes;
    }
    for (int i = 0; i < 3; ++i) out.masks[i] = le32(m + 4 * i);
    for (uint32_t mask : out.masks) {
      if (!mask_is_contiguous(mask)) return "bad BMP bit masks";
    }
  } else if (out.bits == 16) {
    out.masks[0] = 0x7C00, out.masks[1] = 0x03E0, out.masks[2] = 0x001F;
  } else if (out.bits == 32) {
    out.masks[0] = 0xFF0000, out.masks[1] = 0xFF00, out.masks[2] = 0xFF;
  }

  // Where the pixels start: a zero offset means right after the palette.
  const size_t entry = core ? 3 : 4;
  const size_t colours =
      out.bits > 8 ? 0
                   : (colours_used == 0 || colours_used > (1u << out.bits) ? size_t{1} << out.bits
                                                                           : colours_used);
  size_t offset = data_offset != 0 ? data_offset : palette_at + colours * entry;
  if (offset < kFileHeader + hs) return "bad BMP data offset (" + std::to_string(offset) + ")";
  if (offset > size) return "truncated BMP data";
  out.pixel_offset = offset;

  // Only the colours stored before the pixels count; the rest stay black.
  size_t stored = palette_at < offset ? (offset - palette_at) / entry : 0;
  out.palette.clear();
  out.palette.reserve(std::min(colours, stored));
  for (size_t i = 0; i < colours && i < stored; ++i) {
    const unsigned char* c = p + palette_at + i * entry;
    out.palette.push_back(pixel_rgb(c[2], c[1], c[0]));
  }
  return {};
}

}  // namespace vs
