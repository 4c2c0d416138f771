// Photo-like test pictures for the benchmarks, made by the libraries' own
// encoders: what makes a camera's pictures large and slow to decode is soft
// gradients, discs and fine grain, so that is what they hold.
#pragma once

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace vs::bench {

// Row y of the photo, as R, G, B bytes.
inline void photo_row(int y, int width, int height, uint32_t& seed, uint8_t* row) {
  const double scale = width / 6000.0;  // the discs sit as on the 6000-pixel JPEG
  for (int x = 0; x < width; ++x) {
    double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
    double r = 0.5 + 0.5 * std::sin(6.0 * u + 1.0), g = 0.3 + 0.6 * v, b = 1.0 - 0.7 * u * v;
    for (int d = 0; d < 6; ++d) {
      double cx = (700.0 + 900.0 * d) * scale, cy = (800.0 + 450.0 * d) * scale,
             rad = (300.0 + 60.0 * d) * scale;
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < rad * rad) r *= 0.4, g *= 0.8;
    }
    seed = seed * 1664525u + 1013904223u;
    const int grain = static_cast<int>(seed >> 27) - 16;
    auto channel = [grain](double c) {
      return static_cast<uint8_t>(std::clamp(static_cast<int>(c * 255.0) + grain, 0, 255));
    };
    row[3 * x] = channel(r), row[3 * x + 1] = channel(g), row[3 * x + 2] = channel(b);
  }
}

// The whole photo, as R, G, B bytes.
inline std::vector<uint8_t> photo_rgb(int width, int height) {
  std::vector<uint8_t> rgb(size_t{3} * width * height);
  uint32_t seed = 99;
  for (int y = 0; y < height; ++y) {
    photo_row(y, width, height, seed, rgb.data() + size_t{3} * width * y);
  }
  return rgb;
}

// The photo as a JPEG file at a camera's quality (90), written row by row.
inline bool write_photo_jpeg(const std::string& path, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  uint32_t seed = 99;
  for (int y = 0; y < height; ++y) {
    photo_row(y, width, height, seed, row.data());
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(file) == 0;
}

inline heif_error append_to_string(heif_context*, const void* data, size_t size, void* file) {
  static_cast<std::string*>(file)->append(static_cast<const char*>(data), size);
  return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// HEVC by x265 or AV1 by aom at a phone's quality, by the encoder's fastest
// setting: the decode is what is measured. Empty when the library has no
// such encoder.
inline std::string heif_of(const std::vector<uint8_t>& rgb, int width, int height,
                           heif_compression_format format) {
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_context_get_encoder_for_format(context, format, &encoder);
  std::string file;
  if (encoder != nullptr) {
    heif_encoder_set_lossy_quality(encoder, 85);
    if (format == heif_compression_HEVC) {
      heif_encoder_set_parameter_string(encoder, "preset", "ultrafast");
    } else {
      heif_encoder_set_parameter_integer(encoder, "speed", 9);
    }
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y) {
      std::copy_n(rgb.data() + size_t{3} * width * y, size_t{3} * width,
                  plane + static_cast<size_t>(stride) * y);
    }
    heif_context_encode_image(context, image, encoder, nullptr, nullptr);
    heif_writer writer{1, append_to_string};
    heif_context_write(context, &writer, &file);
    heif_image_release(image);
    heif_encoder_release(encoder);
  }
  heif_context_free(context);
  return file;
}

}  // namespace vs::bench
