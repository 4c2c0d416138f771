// What both editions know of a JPEG file before its pixels are decoded, read
// by our own bounds-checked marker scan: its size, its EXIF orientation, and
// whether it is damaged, cut short, or asks for more than the saver gives.
// The Linux edition's libjpeg decides these as it decodes; the Windows
// edition's decoder (the Windows Imaging Component) is not asked, because it
// gives a half-grey picture for a file cut short and its own words for
// damage. So the scan follows libjpeg's rules and uses libjpeg's words: the
// same file fails for the same reason on both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vs {

// Real progressive files have about ten scans. A file of thousands of tiny
// scans, each of which costs a pass over the whole picture, is an attack on
// the saver's time, not a photo.
inline constexpr int kMaxJpegScans = 100;
// A progressive picture keeps all its coefficients (two bytes each) until
// the last scan. 512 MB holds those of a 170-megapixel photo with 4:2:0
// colour; a file that claims more is refused, not decoded.
inline constexpr int64_t kMaxJpegDecoderMemory = int64_t{512} << 20;

struct JpegStructure {
  int width = 0;
  int height = 0;
  int components = 0;   // 1 grey, 3 colour, 4 CMYK
  bool adobe = false;   // an Adobe segment: CMYK is stored inverted
  int orientation = 1;  // EXIF, 1 when none
  bool progressive = false;
};

// Reads the markers of a JPEG file held in memory as libjpeg does, and follows
// its picture data far enough to know whether it is all there. Returns the
// reason the Linux edition gives for such a file ("truncated JPEG data",
// "corrupt JPEG data (Unsupported marker type 0x11)", "picture too large
// (65000 x 65000)", ...), or "" when it may be decoded.
std::string read_jpeg_structure(std::string_view bytes, JpegStructure& out);

// A row of CMYK pixels (four bytes each) as BGRX. Inverted: Adobe's
// convention, as libjpeg hands it over (255 is no ink); otherwise 0 is no
// ink.
void convert_cmyk_row(const unsigned char* in, uint32_t* out, int width, bool inverted);

}  // namespace vs
