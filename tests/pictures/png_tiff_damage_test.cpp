// Truncated and damaged PNG and TIFF files: each fails with its reason,
// the same whether our structure reader or the library finds the fault,
// and a picture that claims more than its data holds is refused before
// anything is allocated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture_checks.h"
#include "pictures/png_structure.h"
#include "pictures/tiff_structure.h"
#include "platform/posix/library_decoders.h"
#include "png_tiff_writers.h"

namespace vs {
namespace {

using testing::png_spec;
using testing::tiff_spec;
using testing::TiffSpec;

uint32_t crc_of(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

void put_be32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

uint32_t be32_at(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// Where a PNG chunk of the type starts (at its length), and its checksum
// made right again after its data was changed.
size_t chunk_at(const std::string& png, const char* type) {
  return png.find(type) - 4;
}
void fix_crc(std::string& png, size_t chunk) {
  const uint32_t length = be32_at(png, chunk);
  put_be32(png, chunk + 8 + length, crc_of(png.substr(chunk + 4, 4 + length)));
}

std::string png_with_header(std::string png, uint32_t width, uint32_t height, int bits) {
  const size_t ihdr = chunk_at(png, "IHDR");
  put_be32(png, ihdr + 8, width);
  put_be32(png, ihdr + 12, height);
  png[ihdr + 16] = static_cast<char>(bits);
  fix_crc(png, ihdr);
  return png;
}

// The value field of a little-endian TIFF's first directory's entry for a
// tag (libtiff writes this machine's order).
size_t tiff_entry_value(const std::string& tiff, uint16_t tag) {
  auto u16 = [&](size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(tiff[at]) |
                                 static_cast<unsigned char>(tiff[at + 1]) << 8);
  };
  auto u32 = [&](size_t at) { return uint32_t{u16(at)} | uint32_t{u16(at + 2)} << 16; };
  const size_t directory = u32(4);
  for (size_t i = 0; i < u16(directory); ++i) {
    const size_t entry = directory + 2 + 12 * i;
    if (u16(entry) == tag) return entry + 8;
  }
  ADD_FAILURE() << "no tag " << tag;
  return 0;
}

std::string tiff_with(std::string tiff, uint16_t tag, uint32_t value, int bytes = 2) {
  const size_t at = tiff_entry_value(tiff, tag);
  if (bytes == 4) tiff[at - 6] = 4, tiff[at - 5] = 0;  // LONG
  for (int i = 0; i < bytes; ++i) tiff[at + i] = static_cast<char>(value >> (8 * i));
  return tiff;
}

TEST(PngTiffDecoders, DamagedFilesGiveTheirReason) {
  const std::string png_file = testing::write_png(png_spec(PNG_COLOR_TYPE_RGB_ALPHA, 8));
  const size_t idat = chunk_at(png_file, "IDAT");
  const size_t iend = chunk_at(png_file, "IEND");
  std::string bad_crc = png_file;
  bad_crc[chunk_at(png_file, "IHDR") + 20] ^= 1;
  std::string bad_idat_crc = png_file;
  bad_idat_crc[iend - 1] ^= 0x55;  // the checksum, the data's last bytes before the end chunk
  std::string bad_deflate = png_file;
  bad_deflate[idat + 20] ^= 0x55;
  fix_crc(bad_deflate, idat);
  // A header claiming 16384 x 16384 over the few bytes of a small picture.
  const std::string huge_claim = png_with_header(png_file, 16384, 16384, 8);

  TiffSpec lzw_spec = tiff_spec(PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW);
  lzw_spec.width = 40, lzw_spec.height = 30, lzw_spec.rows_per_strip = 30;
  lzw_spec.samples = testing::test_samples(40, 30, 3, 8);
  const std::string tiff_file = testing::write_tiff(lzw_spec);
  const size_t strip = tiff_entry_value(tiff_file, TIFFTAG_STRIPOFFSETS);
  const uint32_t strip_at = static_cast<unsigned char>(tiff_file[strip]) |
                            static_cast<unsigned char>(tiff_file[strip + 1]) << 8;
  std::string bad_lzw = tiff_file;
  for (size_t i = strip_at + 8; i < strip_at + 40; ++i) bad_lzw[i] = '\xFF';
  std::string tiff_no_page = tiff_file;
  tiff_no_page[4] = tiff_no_page[5] = tiff_no_page[6] = tiff_no_page[7] = 0;
  std::string many_entries = tiff_file;
  const size_t directory = tiff_entry_value(tiff_file, 256) - 8 - 2;
  many_entries[directory] = '\x00', many_entries[directory + 1] = '\x50';

  struct Row {
    const char* name;
    std::string file;
    std::string reason;  // a reason ending in "(" is matched up to there
  };
  const std::vector<Row> rows = {
      {"PNG cut in its header", png_file.substr(0, 20), "truncated PNG data"},
      {"PNG cut in its data", png_file.substr(0, idat + 40), "truncated PNG data"},
      {"PNG without its end", png_file.substr(0, iend), ""},
      {"PNG header checksum", bad_crc, "corrupt PNG data (IHDR checksum wrong)"},
      {"PNG data checksum", bad_idat_crc, "corrupt PNG data (IDAT: CRC error)"},
      {"PNG deflate data", bad_deflate, "corrupt PNG data ("},
      {"PNG depth for its colours", png_with_header(png_file, 13, 9, 4),
       "corrupt PNG data (bit depth 4 with colour type 6)"},
      {"PNG of no width", png_with_header(png_file, 0, 9, 8), "picture has no size (0 x 9)"},
      {"PNG too large", png_with_header(png_file, 70000, 70000, 8),
       "picture too large (70000 x 70000)"},
      {"PNG claiming more than its data holds", huge_claim, "truncated PNG data"},
      {"TIFF cut in its header", tiff_file.substr(0, 6), "truncated TIFF data"},
      {"TIFF cut in its data", tiff_file.substr(0, strip_at + 100), "truncated TIFF data"},
      {"TIFF without a page", tiff_no_page, "TIFF file holds no picture"},
      {"TIFF strip past the end", tiff_with(tiff_file, TIFFTAG_STRIPOFFSETS, 0xFFFFF0, 4),
       "truncated TIFF data"},
      {"TIFF old-style JPEG", tiff_with(tiff_file, TIFFTAG_COMPRESSION, COMPRESSION_OJPEG),
       "unsupported TIFF compression (old-style JPEG)"},
      {"TIFF unknown compression", tiff_with(tiff_file, TIFFTAG_COMPRESSION, 40000),
       "unsupported TIFF compression (40000)"},
      {"TIFF too large",
       tiff_with(tiff_with(tiff_file, TIFFTAG_IMAGEWIDTH, 100000, 4), TIFFTAG_IMAGELENGTH, 100000,
                 4),
       "picture too large (100000 x 100000)"},
      {"TIFF directory of 20480 entries", many_entries,
       "corrupt TIFF data (too many directory entries)"},
      {"TIFF LZW data", bad_lzw, "corrupt TIFF data ("},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const PictureResult r = decode_picture(library_decoders(), row.file);
    if (row.reason.empty()) {
      EXPECT_TRUE(r.ok) << r.reason;
    } else if (row.reason.back() == '(') {
      EXPECT_EQ(r.reason.substr(0, row.reason.size()), row.reason) << r.reason;
      EXPECT_GT(r.reason.size(), row.reason.size() + 1);
    } else {
      EXPECT_EQ(r.reason, row.reason);
    }
    // The structure readers alone give the same reason where it is theirs.
    const std::string own = row.file.substr(0, 1) == "I" ? read_tiff_structure(row.file).problem
                                                         : read_png_structure(row.file).problem;
    if (!own.empty()) {
      EXPECT_EQ(own, r.reason);
    }
  }
}

}  // namespace
}  // namespace vs
