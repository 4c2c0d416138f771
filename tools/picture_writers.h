// Small writers for the sample pictures: BMP (bmp_writer.h) and WMF by hand
// (every header variant the decoders accept can be written), GIF and JPEG
// through giflib and libjpeg. For the sample generator and the tests;
// inputs are always our own, so errors simply abort.
#pragma once

#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "bmp_writer.h"
#include "core/surface.h"

namespace vs::samples {

// ---------------------------------------------------------------- GIF ----

struct GifSpec {
  int screen_width = 0, screen_height = 0;
  int left = 0, top = 0, width = 0, height = 0;  // the frame
  bool interlaced = false;
  int transparent = -1;
  std::vector<uint32_t> palette;  // as pixels, up to 256
  std::vector<uint8_t> indices;   // width * height, row by row
};

inline int gif_output(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<Bytes*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(data), static_cast<size_t>(n));
  return n;
}

inline Bytes write_gif(const GifSpec& s) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, gif_output, &error);
  if (gif == nullptr) std::abort();
  EGifSetGifVersion(gif, true);
  int size = 2;
  while (size < static_cast<int>(s.palette.size())) size *= 2;
  std::vector<GifColorType> colours(static_cast<size_t>(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < s.palette.size(); ++i) {
    colours[i] = {static_cast<GifByteType>(s.palette[i] >> 16),
                  static_cast<GifByteType>(s.palette[i] >> 8),
                  static_cast<GifByteType>(s.palette[i])};
  }
  ColorMapObject* map = GifMakeMapObject(size, colours.data());
  bool ok = EGifPutScreenDesc(gif, s.screen_width, s.screen_height, 8, 0, map) == GIF_OK;
  if (s.transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = s.transparent;
    GifByteType ext[4];
    size_t n = EGifGCBToExtension(&gcb, ext);
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_OK;
  }
  ok = ok &&
       EGifPutImageDesc(gif, s.left, s.top, s.width, s.height, s.interlaced, nullptr) == GIF_OK;
  // Interlaced rows go out pass by pass: giflib writes them as given.
  std::vector<int> order;
  if (s.interlaced) {
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
      for (int y = start; y < s.height; y += step) order.push_back(y);
    }
  } else {
    for (int y = 0; y < s.height; ++y) order.push_back(y);
  }
  std::vector<GifPixelType> line(static_cast<size_t>(s.width));
  for (int y : order) {
    for (int x = 0; x < s.width; ++x) {
      line[static_cast<size_t>(x)] = s.indices[static_cast<size_t>(y) * s.width + x];
    }
    ok = ok && EGifPutLine(gif, line.data(), s.width) == GIF_OK;
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) != GIF_OK || !ok) std::abort();
  return out;
}

// --------------------------------------------------------------- JPEG ----

struct JpegSpec {
  enum class Colour { Rgb, Grey, AdobeCmyk } colour = Colour::Rgb;
  bool progressive = false;
  int quality = 92;
  int orientation = 0;  // EXIF orientation to record; 0 = no EXIF
};

// An APP1 EXIF payload holding only IFD0 with the orientation tag.
inline Bytes exif_payload(int orientation, bool big_endian = false) {
  Bytes b("Exif\0\0", 6);
  auto p16 = [&](uint32_t v) { big_endian ? (put8(b, v >> 8), put8(b, v)) : put16(b, v); };
  auto p32 = [&](uint32_t v) { big_endian ? (p16(v >> 16), p16(v)) : (p16(v), p16(v >> 16)); };
  b += big_endian ? "MM" : "II";
  p16(42), p32(8);              // TIFF header, IFD0 right after it
  p16(1);                       // one entry
  p16(0x0112), p16(3), p32(1);  // orientation, SHORT, count 1
  p16(static_cast<uint32_t>(orientation)), p16(0);
  p32(0);  // no next IFD
  return b;
}

// scans, when given, is the scan script to write instead of the library's.
inline Bytes write_jpeg(const Surface& picture, const JpegSpec& s,
                        std::vector<jpeg_scan_info> scans = {}) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(picture.width());
  c.image_height = static_cast<JDIMENSION>(picture.height());
  c.input_components = s.colour == JpegSpec::Colour::Grey  ? 1
                       : s.colour == JpegSpec::Colour::Rgb ? 3
                                                           : 4;
  c.in_color_space = s.colour == JpegSpec::Colour::Grey  ? JCS_GRAYSCALE
                     : s.colour == JpegSpec::Colour::Rgb ? JCS_RGB
                                                         : JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, s.quality, TRUE);
  if (!scans.empty()) {
    c.scan_info = scans.data();
    c.num_scans = static_cast<int>(scans.size());
  } else if (s.progressive) {
    jpeg_simple_progression(&c);
  }
  jpeg_start_compress(&c, TRUE);
  if (s.orientation > 0) {
    Bytes exif = exif_payload(s.orientation);
    jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                      static_cast<unsigned>(exif.size()));
  }
  std::vector<unsigned char> row(static_cast<size_t>(picture.width()) * 4);
  while (c.next_scanline < c.image_height) {
    const uint32_t* in = picture.row(static_cast<int>(c.next_scanline));
    unsigned char* o = row.data();
    for (int x = 0; x < picture.width(); ++x) {
      unsigned r = (in[x] >> 16) & 0xFF, g = (in[x] >> 8) & 0xFF, b = in[x] & 0xFF;
      if (s.colour == JpegSpec::Colour::Grey) {
        *o++ = static_cast<unsigned char>((r * 299 + g * 587 + b * 114 + 500) / 1000);
      } else if (s.colour == JpegSpec::Colour::Rgb) {
        *o++ = static_cast<unsigned char>(r), *o++ = static_cast<unsigned char>(g);
        *o++ = static_cast<unsigned char>(b);
      } else {
        // Photoshop's inverted CMYK: no black ink, the colour in C, M and Y,
        // each stored as 255 minus the ink.
        *o++ = static_cast<unsigned char>(r), *o++ = static_cast<unsigned char>(g);
        *o++ = static_cast<unsigned char>(b), *o++ = 255;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

// ---------------------------------------------------------------- WMF ----

// Records of a Windows metafile. Shapes are filled with a solid brush and
// drawn without an outline.
class WmfWriter {
 public:
  void record(uint16_t function, std::initializer_list<int> params) {
    const uint32_t words = 3 + static_cast<uint32_t>(params.size());
    put32(records_, words), put16(records_, function);
    for (int p : params) put16(records_, static_cast<uint32_t>(p));
    if (words > max_words_) max_words_ = words;
  }
  void map_mode(int mode) { record(0x0103, {mode}); }
  void window_org(int x, int y) { record(0x020B, {y, x}); }
  void window_ext(int w, int h) { record(0x020C, {h, w}); }
  // Slot 0 holds the null pen for every shape; slot 1 each shape's brush.
  void begin_shapes() {
    record(0x02FA, {5, 0, 0, 0, 0});  // CreatePenIndirect: PS_NULL
    record(0x012D, {0});              // SelectObject
  }
  void brush(uint32_t pixel) {
    if (has_brush_) record(0x01F0, {1});  // DeleteObject: the previous brush
    has_brush_ = true;
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    record(0x02FC, {0, r | (g << 8), b, 0});  // CreateBrushIndirect: BS_SOLID
    record(0x012D, {1});
  }
  void rectangle(int l, int t, int r, int b) { record(0x041B, {b, r, t, l}); }
  void ellipse(int l, int t, int r, int b) { record(0x0418, {b, r, t, l}); }
  void polygon(std::initializer_list<std::pair<int, int>> points) {
    const uint32_t words = 3 + 1 + 2 * static_cast<uint32_t>(points.size());
    put32(records_, words), put16(records_, 0x0324),
        put16(records_, static_cast<uint32_t>(points.size()));
    for (auto [x, y] : points)
      put16(records_, static_cast<uint32_t>(x)), put16(records_, static_cast<uint32_t>(y));
    if (words > max_words_) max_words_ = words;
  }

  // The file, with a placeable header when units_per_inch > 0.
  Bytes finish(int units_per_inch = 0, int left = 0, int top = 0, int right = 0, int bottom = 0) {
    Bytes body = records_;
    put32(body, 3), put16(body, 0);  // end of file
    Bytes header;
    put16(header, 1), put16(header, 9), put16(header, 0x0300);
    put32(header, static_cast<uint32_t>(9 + body.size() / 2));
    put16(header, 2);  // objects
    put32(header, max_words_), put16(header, 0);
    if (units_per_inch <= 0) return header + body;
    Bytes place;
    put32(place, 0x9AC6CDD7), put16(place, 0);
    put16(place, static_cast<uint32_t>(left)), put16(place, static_cast<uint32_t>(top));
    put16(place, static_cast<uint32_t>(right)), put16(place, static_cast<uint32_t>(bottom));
    put16(place, static_cast<uint32_t>(units_per_inch)), put32(place, 0);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) {
      sum ^= static_cast<uint8_t>(place[i]) | (static_cast<uint8_t>(place[i + 1]) << 8);
    }
    put16(place, sum);
    return place + header + body;
  }

 private:
  Bytes records_;
  uint32_t max_words_ = 3;
  bool has_brush_ = false;
};

// A metafile that keeps libwmf busy for seconds: large ellipses, over and
// over.
inline std::string slow_metafile() {
  WmfWriter w;
  w.map_mode(8);
  w.window_ext(2000, 2000);
  w.begin_shapes();
  for (int i = 0; i < 30000; ++i) {
    w.brush(static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF);
    w.ellipse(-i % 50, -i % 70, 2000 + i % 30, 2000 + i % 40);
  }
  return w.finish();
}

}  // namespace vs::samples
