#include "pictures/exif.h"

#include <algorithm>
#include <cstdint>

#include "pictures/byte_order.h"
#include "pictures/picture_sink.h"

namespace vs {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr std::string_view kExifMark("Exif\0\0", 6);

// IFD0's orientation in a TIFF header and what follows it.
int tiff_block_orientation(std::string_view tiff) {
  const unsigned char* t = bytes_of(tiff);
  const size_t n = tiff.size();
  if (n < 8) return 1;
  bool little;
  if (t[0] == 'I' && t[1] == 'I') {
    little = true;
  } else if (t[0] == 'M' && t[1] == 'M') {
    little = false;
  } else {
    return 1;
  }
  auto u16 = [&](uint64_t at) { return little ? le16(t + at) : be16(t + at); };
  auto u32 = [&](uint64_t at) { return little ? le32(t + at) : be32(t + at); };
  if (u16(2) != 42) return 1;
  const uint64_t ifd = u32(4);
  if (!in_range(n, ifd, 2)) return 1;
  const unsigned entries = u16(ifd);
  for (unsigned k = 0; k < entries; ++k) {
    const uint64_t e = ifd + 2 + 12 * uint64_t{k};
    if (!in_range(n, e, 12)) return 1;
    if (u16(e) != kOrientationTag) continue;
    const uint16_t type = u16(e + 2);
    if (u32(e + 4) < 1) return 1;
    // A value this short sits in the entry itself, left-aligned.
    uint32_t value = type == kTypeShort ? u16(e + 8) : type == kTypeLong ? u32(e + 8) : 0;
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace

int exif_orientation(std::string_view payload) {
  if (payload.substr(0, kExifMark.size()) != kExifMark) return 1;
  return tiff_block_orientation(payload.substr(kExifMark.size()));
}

int exif_block_orientation(std::string_view block) {
  if (block.substr(0, kExifMark.size()) == kExifMark) block.remove_prefix(kExifMark.size());
  return tiff_block_orientation(block);
}

Surface orient_picture(Surface picture, int orientation) {
  if (orientation < 2 || orientation > 8 || picture.empty()) return picture;
  const int64_t w = picture.width(), h = picture.height();
  const bool swap = orientation >= 5;
  const int out_w = static_cast<int>(swap ? h : w), out_h = static_cast<int>(swap ? w : h);
  // The source column and row of output pixel (x, y), as sx = ax*x + ay*y + a0
  // and sy = bx*x + by*y + b0.
  int64_t ax = 0, ay = 0, a0 = 0, bx = 0, by = 0, b0 = 0;
  switch (orientation) {
    case 2:
      ax = -1, a0 = w - 1, by = 1;
      break;
    case 3:
      ax = -1, a0 = w - 1, by = -1, b0 = h - 1;
      break;
    case 4:
      ax = 1, by = -1, b0 = h - 1;
      break;
    case 5:
      ay = 1, bx = 1;
      break;
    case 6:
      ay = 1, bx = -1, b0 = h - 1;
      break;
    case 7:
      ay = -1, a0 = w - 1, bx = -1, b0 = h - 1;
      break;
    case 8:
      ay = -1, a0 = w - 1, bx = 1;
      break;
  }
  const int64_t step_x = bx * w + ax, step_y = by * w + ay, base = b0 * w + a0;
  const uint32_t* src = picture.data();
  Surface out(out_w, out_h);
  // In tiles, so that a quarter turn walks the source a few cache lines at a
  // time instead of one pixel per row.
  constexpr int kTile = 64;
  for (int ty = 0; ty < out_h; ty += kTile) {
    for (int tx = 0; tx < out_w; tx += kTile) {
      const int y_end = std::min(ty + kTile, out_h), x_end = std::min(tx + kTile, out_w);
      for (int y = ty; y < y_end; ++y) {
        uint32_t* row = out.row(y);
        int64_t at = base + step_y * y + step_x * tx;
        for (int x = tx; x < x_end; ++x, at += step_x) row[x] = src[at];
      }
    }
  }
  return out;
}

namespace {

PictureResult turned_picture(PictureResult decoded, int orientation, const PictureView& view) {
  if (orientation == 1 || !decoded.ok) return decoded;
  Surface turned = orient_picture(std::move(decoded.picture), orientation);
  if (needed_pixels(view, turned.width(), turned.height()).whole()) {
    return PictureResult::success(std::move(turned));
  }
  PictureSink kept(view);
  if (std::string why = kept.begin(turned.width(), turned.height()); !why.empty()) {
    return PictureResult::failure(why);
  }
  for (int y = 0; y < turned.height(); ++y) {
    if (!kept.keeps_row(y)) continue;
    std::copy(turned.row(y), turned.row(y) + turned.width(), kept.row(y));
    kept.row_done(y);
  }
  return kept.finish();
}

}  // namespace

PictureResult upright_picture(PictureResult decoded, int orientation, const PictureView& view,
                              std::string colour_profile) {
  PictureResult result = turned_picture(std::move(decoded), orientation, view);
  if (result.ok) result.colour_profile = std::move(colour_profile);
  return result;
}

}  // namespace vs
