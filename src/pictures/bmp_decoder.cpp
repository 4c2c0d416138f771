// Our own BMP decoder: portable, small, and fuzzed, so that no system
// library ever parses a bitmap file from the picture folder.
#include <array>
#include <cstring>

#include "pictures/bmp_format.h"
#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

// One colour channel of a 16- or 32-bit pixel, scaled to 8 bits.
class Channel {
 public:
  explicit Channel(uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    while (((mask >> shift_) & 1) == 0) ++shift_;
    while (shift_ + bits_ < 32 && ((mask >> (shift_ + bits_)) & 1) != 0) ++bits_;
    if (bits_ < 8) {
      // Fewer than 8 bits: spread 0..max over 0..255, rounded.
      uint32_t max = (1u << bits_) - 1;
      for (uint32_t v = 0; v <= max; ++v)
        scale_[v] = static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
  }
  uint32_t operator()(uint32_t px) const {
    if (mask_ == 0) return 0;
    uint32_t v = (px & mask_) >> shift_;
    return bits_ >= 8 ? v >> (bits_ - 8) : scale_[v];
  }

 private:
  uint32_t mask_;
  int shift_ = 0;
  int bits_ = 0;
  std::array<uint8_t, 128> scale_{};
};

void decode_indexed_row(const BmpLayout& l, const unsigned char* in, uint32_t* out) {
  const int bits = l.bits;
  const unsigned per_byte = 8 / static_cast<unsigned>(bits);
  const unsigned index_mask = (1u << bits) - 1;
  const size_t colours = l.palette.size();
  for (int x = 0; x < l.width; ++x) {
    unsigned byte = in[static_cast<unsigned>(x) / per_byte];
    unsigned shift = 8 - bits * (static_cast<unsigned>(x) % per_byte + 1);
    unsigned index = (byte >> shift) & index_mask;
    out[x] = index < colours ? l.palette[index] : 0;
  }
}

void decode_masked_row(const BmpLayout& l, const Channel* c, const unsigned char* in,
                       uint32_t* out) {
  if (l.bits == 16) {
    for (int x = 0; x < l.width; ++x) {
      uint32_t px = le16(in + 2 * x);
      out[x] = pixel_rgb(c[0](px), c[1](px), c[2](px));
    }
  } else if (l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF) {
    // The common layout is already ours, less the fourth byte.
    for (int x = 0; x < l.width; ++x) out[x] = le32(in + 4 * x) & 0xFFFFFF;
  } else {
    for (int x = 0; x < l.width; ++x) {
      uint32_t px = le32(in + 4 * x);
      out[x] = pixel_rgb(c[0](px), c[1](px), c[2](px));
    }
  }
}

uint64_t row_stride(const BmpLayout& l) {
  return (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bits) + 31) / 32 * 4;
}

// The last row's padding may be missing; its pixels may not.
bool has_all_rows(const BmpLayout& l, std::string_view data) {
  const uint64_t row_bytes =
      (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bits) + 7) / 8;
  return data.size() >= row_stride(l) * static_cast<uint64_t>(l.height - 1) + row_bytes;
}

void decode_uncompressed(const BmpLayout& l, std::string_view data, PictureSink& out) {
  const uint64_t stride = row_stride(l);
  const Channel channels[3] = {Channel(l.masks[0]), Channel(l.masks[1]), Channel(l.masks[2])};
  const unsigned char* base = bytes_of(data);
  for (int r = 0; r < l.height; ++r) {
    const int y = bmp_target_row(l, r);
    if (!out.keeps_row(y)) continue;
    const unsigned char* in = base + stride * static_cast<uint64_t>(r);
    uint32_t* row = out.row(y);
    if (l.bits <= 8) {
      decode_indexed_row(l, in, row);
    } else if (l.bits == 24) {
      for (int x = 0; x < l.width; ++x, in += 3) row[x] = pixel_rgb(in[2], in[1], in[0]);
    } else {
      decode_masked_row(l, channels, in, row);
    }
    out.row_done(y);
  }
}

}  // namespace

PictureResult decode_bmp(std::string_view bytes, const PictureView& view) {
  BmpLayout layout;
  if (std::string why = read_bmp_layout(bytes, layout); !why.empty()) {
    return PictureResult::failure(why);
  }
  std::string_view data = bytes.substr(layout.pixel_offset);
  const bool rle = layout.compression == kBmpRle8 || layout.compression == kBmpRle4;
  // The data must be there, and sound, before the picture is allocated.
  if (rle) {
    if (std::string why = check_bmp_rle(layout, data); !why.empty()) {
      return PictureResult::failure(why);
    }
  } else if (!has_all_rows(layout, data)) {
    return PictureResult::failure("truncated BMP data");
  }
  PictureSink picture(view);
  if (std::string why = picture.begin(layout.width, layout.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  if (!rle) {
    decode_uncompressed(layout, data, picture);
  } else if (std::string why = decode_bmp_rle(layout, data, picture); !why.empty()) {
    return PictureResult::failure(why);
  }
  PictureResult result = picture.finish();
  result.colour_profile = std::string(bmp_embedded_profile(bytes));
  return result;
}

}  // namespace vs
