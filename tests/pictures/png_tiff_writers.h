// PNG and TIFF files made by the libraries' own writers for the tests, from
// samples given channel by channel, and the libraries' own simple readers
// of them (libpng's png_image, libtiff's TIFFReadRGBAImage) as the pictures
// to compare with. Inputs are always our own, so errors simply abort.
#pragma once

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/surface.h"
#include "picture_checks.h"

namespace vs::testing {

// ---------------------------------------------------------------- PNG ----

struct PngSpec {
  int width = 13, height = 9;
  int colour_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> palette_alpha;  // tRNS of a palette
  bool has_key = false;                 // tRNS of grey or RGB: this colour is clear
  png_color_16 key{};
  std::vector<uint16_t> samples;  // channels per pixel, row by row
  std::string icc;                // an iCCP chunk
  std::string exif;               // an eXIf chunk: from the TIFF header on
};

inline int png_channels(int colour_type) {
  switch (colour_type) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

[[noreturn]] inline void png_write_failed(png_structp, png_const_charp message) {
  ADD_FAILURE() << "libpng: " << message;
  std::abort();
}

inline void png_append(png_structp png, png_bytep data, size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}

inline std::string write_png(const PngSpec& s) {
  std::string out;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_write_failed, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, png_append, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height),
               s.bit_depth, s.colour_type, s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) {
    png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  }
  if (!s.palette_alpha.empty()) {
    png_set_tRNS(png, info, s.palette_alpha.data(), static_cast<int>(s.palette_alpha.size()),
                 nullptr);
  }
  if (s.has_key) png_set_tRNS(png, info, nullptr, 0, &s.key);
  if (!s.icc.empty()) {
    png_set_iCCP(png, info, "profile", PNG_COMPRESSION_TYPE_BASE,
                 reinterpret_cast<png_const_bytep>(s.icc.data()),
                 static_cast<png_uint_32>(s.icc.size()));
  }
  if (!s.exif.empty()) {
    std::string exif = s.exif;
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()),
                   reinterpret_cast<png_bytep>(exif.data()));
  }
  png_write_info(png, info);
  const int channels = png_channels(s.colour_type);
  const size_t row_bytes = (size_t(s.width) * channels * s.bit_depth + 7) / 8;
  std::vector<png_byte> image(row_bytes * s.height, 0);
  std::vector<png_bytep> rows;
  for (int y = 0; y < s.height; ++y) {
    png_bytep row = image.data() + row_bytes * y;
    rows.push_back(row);
    for (int i = 0; i < s.width * channels; ++i) {
      const uint16_t v = s.samples[size_t(y) * s.width * channels + i];
      if (s.bit_depth == 16) {
        row[2 * i] = static_cast<png_byte>(v >> 8), row[2 * i + 1] = static_cast<png_byte>(v);
      } else if (s.bit_depth == 8) {
        row[i] = static_cast<png_byte>(v);
      } else {
        const int bit = i * s.bit_depth;
        row[bit / 8] |= static_cast<png_byte>(v << (8 - s.bit_depth - bit % 8));
      }
    }
  }
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// libpng's own reading of a PNG file, laid over black. Its simple reader
// takes 16-bit samples for linear light and gives them back unchanged as
// linear output, multiplied by their alpha; they are rounded to 8 bits here.
inline Surface png_reference(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    ADD_FAILURE() << image.message;
    return {};
  }
  const bool sixteen = image.format & PNG_FORMAT_FLAG_LINEAR;
  image.format = sixteen ? PNG_FORMAT_LINEAR_RGB_ALPHA : PNG_FORMAT_RGBA;
  std::vector<png_uint_16> linear(sixteen ? PNG_IMAGE_SIZE(image) / 2 : 0);
  std::vector<png_byte> rgba(sixteen ? 0 : PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(
          &image, nullptr, sixteen ? static_cast<void*>(linear.data()) : rgba.data(), 0, nullptr)) {
    ADD_FAILURE() << image.message;
    return {};
  }
  Surface s(static_cast<int>(image.width), static_cast<int>(image.height));
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const size_t at = (size_t(y) * s.width() + x) * 4;
      auto channel = [&](int c) {
        if (sixteen) return (uint32_t{linear[at + c]} * 255 + 32767) / 65535;
        return (uint32_t{rgba[at + c]} * rgba[at + 3] + 127) / 255;
      };
      s.row(y)[x] = pixel_rgb(channel(0), channel(1), channel(2));
    }
  }
  return s;
}

// --------------------------------------------------------------- TIFF ----

struct TiffSpec {
  int width = 13, height = 9;
  int samples_per_pixel = 3;
  int bits = 8;
  int photometric = PHOTOMETRIC_RGB;
  int compression = COMPRESSION_NONE;
  int predictor = 1;
  int extra = -1;  // the kind of the one extra sample (alpha), or none
  bool separate_planes = false;
  int tile = 0;  // tile width and length, or strips
  int rows_per_strip = 4;
  int orientation = ORIENTATION_TOPLEFT;
  std::string icc;
  std::vector<uint16_t> samples;      // channels per pixel, row by row
  std::vector<uint16_t> colour_map;   // 3 * 2^bits for a palette: red, then green, then blue
  std::vector<uint16_t> second_page;  // the samples of a second page, if any
};

inline void write_tiff_page(TIFF* tif, const TiffSpec& s, const std::vector<uint16_t>& samples) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples_per_pixel);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
  if (s.predictor != 1) TIFFSetField(tif, TIFFTAG_PREDICTOR, s.predictor);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
               s.separate_planes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
  if (s.extra >= 0) {
    const uint16_t kinds[1] = {static_cast<uint16_t>(s.extra)};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds);
  }
  if (!s.colour_map.empty()) {
    const size_t n = s.colour_map.size() / 3;
    TIFFSetField(tif, TIFFTAG_COLORMAP, s.colour_map.data(), s.colour_map.data() + n,
                 s.colour_map.data() + 2 * n);
  }
  if (!s.icc.empty()) {
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(s.icc.size()), s.icc.data());
  }
  const int spp = s.samples_per_pixel;
  auto sample = [&](int x, int y, int c) { return samples[(size_t(y) * s.width + x) * spp + c]; };
  // Packs samples of one plane (or all, side by side) for pixels [x0, x1)
  // of row y.
  auto pack = [&](int y, int x0, int x1, int plane, std::vector<unsigned char>& out) {
    const int per = s.separate_planes ? 1 : spp;
    const size_t bytes = (size_t(x1 - x0) * per * s.bits + 7) / 8;
    out.assign(bytes, 0);
    int i = 0;
    for (int x = x0; x < x1; ++x) {
      for (int c = 0; c < per; ++c, ++i) {
        const uint16_t v = sample(x, y, s.separate_planes ? plane : c);
        if (s.bits == 16) {
          std::memcpy(out.data() + 2 * i, &v, 2);
        } else if (s.bits == 8) {
          out[i] = static_cast<unsigned char>(v);
        } else {
          const int bit = i * s.bits;
          out[bit / 8] |= static_cast<unsigned char>(v << (8 - s.bits - bit % 8));
        }
      }
    }
  };
  std::vector<unsigned char> line;
  const int planes = s.separate_planes ? spp : 1;
  if (s.tile > 0) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tile);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tile);
    std::vector<unsigned char> tile(static_cast<size_t>(TIFFTileSize(tif)));
    for (int plane = 0; plane < planes; ++plane) {
      for (int ty = 0; ty < s.height; ty += s.tile) {
        for (int tx = 0; tx < s.width; tx += s.tile) {
          std::fill(tile.begin(), tile.end(), 0);
          const size_t tile_row = tile.size() / s.tile;
          for (int y = ty; y < std::min(ty + s.tile, s.height); ++y) {
            pack(y, tx, std::min(tx + s.tile, s.width), plane, line);
            std::memcpy(tile.data() + (y - ty) * tile_row, line.data(), line.size());
          }
          TIFFWriteTile(tif, tile.data(), tx, ty, 0, static_cast<uint16_t>(plane));
        }
      }
    }
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rows_per_strip);
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < s.height; ++y) {
        pack(y, 0, s.width, plane, line);
        TIFFWriteScanline(tif, line.data(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane));
      }
    }
  }
  TIFFWriteDirectory(tif);
}

inline std::string write_tiff(const TiffSpec& s) {
  TempFile file("picture.tif", "");
  TIFF* tif = TIFFOpen(file.path().c_str(), "w");
  if (tif == nullptr) std::abort();
  write_tiff_page(tif, s, s.samples);
  if (!s.second_page.empty()) write_tiff_page(tif, s, s.second_page);
  TIFFClose(tif);
  return read_bytes(file.path());
}

// libtiff's own reading of a TIFF file's first page, top row first.
// Unassociated alpha is multiplied in for RGB but left out for grey: that
// is libtiff's way, and the caller knows which it asked for.
inline Surface tiff_reference(const std::string& bytes, bool grey_under_alpha = false) {
  TempFile file("reference.tif", bytes);
  TIFF* tif = TIFFOpen(file.path().c_str(), "r");
  if (tif == nullptr) {
    ADD_FAILURE() << "libtiff cannot open the file";
    return {};
  }
  uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(size_t(w) * h);
  if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1)) {
    ADD_FAILURE() << "libtiff cannot read the file";
  }
  TIFFClose(tif);
  Surface s(static_cast<int>(w), static_cast<int>(h));
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const uint32_t p = raster[size_t(y) * w + x];
      uint32_t r = TIFFGetR(p), g = TIFFGetG(p), b = TIFFGetB(p);
      if (grey_under_alpha) r = g = b = (r * TIFFGetA(p) + 127) / 255;
      s.row(y)[x] = pixel_rgb(r, g, b);
    }
  }
  return s;
}

// ------------------------------------------------------------ samples ----

// Samples of every value range, different from their neighbours, with
// alpha (the channel `alpha`, if any) clear, opaque and between; 16-bit
// samples include values whose high byte is not their rounding.
inline std::vector<uint16_t> test_samples(int width, int height, int channels, int bits,
                                          int alpha = -1) {
  const uint32_t max = (1u << bits) - 1;
  std::vector<uint16_t> out;
  uint32_t v = 2024;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        v = v * 1103515245u + 12345u;
        uint32_t sample = (v >> 9) & max;
        if (bits == 16 && (x + y + c) % 5 == 0) sample = 0x00FF;
        if (bits == 16 && (x + y + c) % 5 == 1) sample = 0xFF00;
        if (c == alpha && (x + 2 * y) % 4 == 0) sample = 0;
        if (c == alpha && (x + 2 * y) % 4 == 1) sample = max;
        out.push_back(static_cast<uint16_t>(sample));
      }
    }
  }
  return out;
}

// A PNG of the colour type and depth, its samples test_samples' (alpha
// last).
inline PngSpec png_spec(int colour_type, int bits, bool interlaced = false) {
  PngSpec s;
  s.colour_type = colour_type, s.bit_depth = bits, s.interlaced = interlaced;
  const int channels = png_channels(colour_type);
  const int alpha = colour_type & PNG_COLOR_MASK_ALPHA ? channels - 1 : -1;
  s.samples = test_samples(s.width, s.height, channels, bits, alpha);
  return s;
}

// A TIFF of the kind, its samples test_samples' without alpha.
inline TiffSpec tiff_spec(int photometric, int samples, int bits,
                          int compression = COMPRESSION_NONE) {
  TiffSpec s;
  s.photometric = photometric, s.samples_per_pixel = samples, s.bits = bits;
  s.compression = compression;
  s.samples = test_samples(s.width, s.height, samples, bits, -1);
  return s;
}

}  // namespace vs::testing
