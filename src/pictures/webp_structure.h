// What both editions know of a WebP file before a library decodes it, read
// by our own bounds-checked walk of its RIFF chunks: the RIFF size against
// the file's, the picture's size (the VP8X canvas, or the VP8 frame header
// or VP8L header of a simple file), where its ICC profile and EXIF data are,
// and whether it is an animation. libwebp has a record of faults in its
// lossless decoding, so the VP8L header is checked here before libwebp sees
// the file.
#pragma once

#include <string_view>

#include "pictures/structure_check.h"

namespace vs {

// A file of more chunks than this is an attack on the demuxer's memory (it
// keeps a record of every chunk and frame), not a picture.
inline constexpr int kMaxWebpChunks = 1 << 16;

struct WebpStructure : StructureCheck {
  bool animated = false;  // the VP8X animation flag: the first frame is shown
  bool lossless = false;  // the (first) picture is VP8L
  // The payloads of the first ICCP and EXIF chunks, views into the file;
  // empty when there are none.
  std::string_view icc_profile;
  std::string_view exif;
};

// problem is "" when libwebp may be given the file, else "not a WebP file",
// "truncated WebP data", "WebP file holds no picture", "too many WebP
// chunks", "corrupt WebP data (...)" or the picture size's reason.
WebpStructure read_webp_structure(std::string_view bytes);

}  // namespace vs
