#include "pictures/png_structure.h"

#include <array>
#include <string>

#include "pictures/byte_order.h"
#include "pictures/decoders.h"
#include "pictures/exif.h"

namespace vs {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr char kTruncated[] = "truncated PNG data";
constexpr size_t kChunkHeader = 8;   // length, type
constexpr size_t kChunkTrailer = 4;  // checksum
constexpr size_t kHeaderLength = 13;
// Deflate codes at most 258 bytes in two bits, so compressed data inflates
// to at most 1032 times its size (plus its stream's header and end).
constexpr int64_t kMaxInflation = 1032;
constexpr int64_t kInflationSlack = 4096;

constexpr std::array<uint32_t, 256> make_crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = make_crc_table();

uint32_t chunk_crc(const unsigned char* type_and_data, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = kCrcTable[(c ^ type_and_data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool valid_chunk_type(const unsigned char* type) {
  for (int i = 0; i < 4; ++i) {
    const unsigned char c = type[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// Samples a pixel has for a colour type, or 0 for a bit depth the type
// cannot have.
int samples_per_pixel(int colour_type, int bit_depth) {
  const bool low = bit_depth == 1 || bit_depth == 2 || bit_depth == 4;
  const bool byte_or_more = bit_depth == 8 || bit_depth == 16;
  switch (colour_type) {
    case 0:
      return low || byte_or_more ? 1 : 0;
    case 2:
      return byte_or_more ? 3 : 0;
    case 3:
      return low || bit_depth == 8 ? 1 : 0;
    case 4:
      return byte_or_more ? 2 : 0;
    case 6:
      return byte_or_more ? 4 : 0;
    default:
      return 0;
  }
}

std::string corrupt(const std::string& what) {
  return "corrupt PNG data (" + what + ")";
}

// The header chunk: the first, 13 bytes long, intact, with a size and a
// depth libpng and the editions' decoders all take.
std::string read_header(const unsigned char* p, size_t size, PngStructure& out) {
  if (size < kSignature.size() + kChunkHeader + kHeaderLength + kChunkTrailer) return kTruncated;
  const unsigned char* chunk = p + kSignature.size();
  if (std::string_view(reinterpret_cast<const char*>(chunk + 4), 4) != "IHDR") {
    return corrupt("IHDR chunk not first");
  }
  if (be32(chunk) != kHeaderLength)
    return corrupt("IHDR chunk of " + std::to_string(be32(chunk)) + " bytes");
  const unsigned char* data = chunk + kChunkHeader;
  if (chunk_crc(chunk + 4, 4 + kHeaderLength) != be32(data + kHeaderLength)) {
    return corrupt("IHDR checksum wrong");
  }
  out.width = be32(data);
  out.height = be32(data + 4);
  if (std::string why = picture_size_problem(out.width, out.height); !why.empty()) return why;
  out.bit_depth = data[8];
  out.colour_type = data[9];
  if (samples_per_pixel(out.colour_type, out.bit_depth) == 0) {
    return corrupt("bit depth " + std::to_string(out.bit_depth) + " with colour type " +
                   std::to_string(out.colour_type));
  }
  if (data[10] != 0) return corrupt("unknown compression method");
  if (data[11] != 0) return corrupt("unknown filter method");
  if (data[12] > 1) return corrupt("unknown interlace method");
  out.interlaced = data[12] == 1;
  return {};
}

// The chunks after the header up to the end chunk: each must lie within
// the file; an ICC profile counts only before the picture data.
std::string read_chunks(const unsigned char* p, size_t size, PngStructure& out) {
  size_t at = kSignature.size() + kChunkHeader + kHeaderLength + kChunkTrailer;
  bool ended = false;
  while (at < size && !ended) {
    if (size - at < kChunkHeader) return kTruncated;
    const uint32_t length = be32(p + at);
    if (length > 0x7FFFFFFFu) return corrupt("chunk length out of range");
    const unsigned char* type = p + at + 4;
    if (!valid_chunk_type(type)) return corrupt("invalid chunk type");
    if (!in_range(size, at + kChunkHeader, uint64_t{length} + kChunkTrailer)) return kTruncated;
    const std::string_view name(reinterpret_cast<const char*>(type), 4);
    if (name == "IDAT") {
      out.picture_data_bytes += length;
    } else if (name == "iCCP" && out.picture_data_bytes == 0) {
      out.has_icc_profile = true;
    } else if (name == "eXIf") {
      out.orientation = exif_block_orientation(
          std::string_view(reinterpret_cast<const char*>(p + at + kChunkHeader), length));
    } else if (name == "IEND") {
      ended = true;
    }
    at += kChunkHeader + length + kChunkTrailer;
  }
  if (ended && out.picture_data_bytes == 0) return corrupt("no picture data");
  // Rows take at least their samples' bits, filter bytes and passes aside.
  const int64_t bits_per_pixel =
      int64_t{samples_per_pixel(out.colour_type, out.bit_depth)} * out.bit_depth;
  const int64_t least_bytes = out.width * out.height / 8 * bits_per_pixel;
  if (out.picture_data_bytes * kMaxInflation + kInflationSlack < least_bytes) return kTruncated;
  return {};
}

}  // namespace

PngStructure read_png_structure(std::string_view bytes) {
  PngStructure out;
  const unsigned char* p = bytes_of(bytes);
  if (bytes.substr(0, kSignature.size()) != kSignature.substr(0, bytes.size())) {
    out.problem = "not a PNG file";
  } else if (bytes.size() < kSignature.size()) {
    out.problem = kTruncated;
  } else {
    out.problem = read_header(p, bytes.size(), out);
    if (out.problem.empty()) out.problem = read_chunks(p, bytes.size(), out);
  }
  return out;
}

}  // namespace vs
