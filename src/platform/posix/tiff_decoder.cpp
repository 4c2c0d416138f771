// TIFF by libtiff, behind our own walk of the first directory
// (pictures/tiff_structure.h): the first page only, read from memory.
// libtiff's RGBA reader turns palettes, YCbCr, CMYK and low bit depths into
// pixels with colours already multiplied by alpha, so over black as they
// come; it cuts 16-bit grey to its high byte and rounds 16-bit colour twice
// under alpha, so 16-bit grey and RGB are read as samples and rounded here.
// libtiff's messages go to handlers of this one file, never to stderr: the
// first error is kept for the reason.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "pictures/exif.h"
#include "pictures/picture_sink.h"
#include "pictures/sample_rounding.h"
#include "pictures/tiff_structure.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

// No single buffer of libtiff's (a strip, a tile) may be larger: a picture at
// the size limit in 16-bit RGBA, uncompressed in one strip, would need 2 GB.
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t{1} << 30;
// Rows fetched from libtiff's RGBA reader at a time, at least.
constexpr uint32_t kBandRows = 64;
// Samples a pixel's colour and alpha take at most (CMYK and alpha); more
// extra samples are skipped.
constexpr int kMostSamples = 5;

struct TiffJob {
  std::string_view bytes;
  uint64_t at = 0;
  char first_error[512] = {};
};

// ------------------------------------------------------------ the file ----

tmsize_t read_memory(thandle_t handle, void* to, tmsize_t wanted) {
  auto& job = *static_cast<TiffJob*>(handle);
  if (wanted <= 0 || job.at >= job.bytes.size()) return 0;
  const size_t n = std::min(static_cast<size_t>(wanted), job.bytes.size() - job.at);
  std::memcpy(to, job.bytes.data() + job.at, n);
  job.at += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t write_nothing(thandle_t, void*, tmsize_t) {
  return 0;
}

// Offsets past the end are allowed: reads there get nothing.
toff_t seek_memory(thandle_t handle, toff_t offset, int whence) {
  auto& job = *static_cast<TiffJob*>(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) {
    base = job.at;
  } else if (whence == SEEK_END) {
    base = job.bytes.size();
  } else if (whence != SEEK_SET) {
    return static_cast<toff_t>(-1);
  }
  const uint64_t to = base + offset;  // wraps for offsets libtiff meant as negative
  if (to > (uint64_t{1} << 62)) return static_cast<toff_t>(-1);
  job.at = to;
  return to;
}

int close_nothing(thandle_t) {
  return 0;
}

toff_t size_of_memory(thandle_t handle) {
  return static_cast<TiffJob*>(handle)->bytes.size();
}

// Never mapped: some codecs change the data they read in place.
int map_nothing(thandle_t, void**, toff_t*) {
  return 0;
}

void unmap_nothing(thandle_t, void*, toff_t) {}

int keep_first_error(TIFF*, void* user_data, const char*, const char* format, va_list args) {
  auto& job = *static_cast<TiffJob*>(user_data);
  if (job.first_error[0] == '\0') {
    std::vsnprintf(job.first_error, sizeof job.first_error, format, args);
  }
  return 1;  // handled: nothing printed
}

int ignore_warning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

std::string error_reason(const TiffJob& job) {
  const std::string message = job.first_error;
  if (message.find("memory") != std::string::npos || message.find("Memory") != std::string::npos) {
    return "out of memory for the TIFF picture";
  }
  // Our walk checked that the data is there; a short read is data that the
  // directory does not account for.
  if (message.rfind("Read error", 0) == 0 || message.rfind("Seek error", 0) == 0) {
    return "truncated TIFF data";
  }
  if (message.empty()) return "corrupt TIFF data";
  return "corrupt TIFF data (" + message + ")";
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct OptionsFreer {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Whether any row in [top, top + rows) is kept: the others need not be read.
bool keeps_any_row(const PictureSink& picture, uint32_t top, uint32_t rows) {
  for (uint32_t y = top; y < top + rows; ++y) {
    if (picture.keeps_row(static_cast<int>(y))) return true;
  }
  return false;
}

// ---------------------------------------------------- 16-bit samples ----

struct SampleLayout {
  bool grey = false;
  bool inverted = false;  // 0 is white
  bool cmyk = false;      // inks, turned into RGB as libtiff turns 8-bit ones
  int samples = 1;        // per pixel, extra ones included
  uint16_t alpha = EXTRASAMPLE_UNSPECIFIED;
};

// 16-bit grey, RGB or CMYK, its samples side by side: what libtiff's RGBA
// reader would not round (or, for CMYK, not read at all).
bool read_as_samples(TIFF* tif, SampleLayout& layout) {
  uint16_t bits = 0, samples = 0, photometric = 0, planar = PLANARCONFIG_CONTIG;
  uint16_t extras = 0;
  uint16_t* extra_kinds = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extras, &extra_kinds);
  if (bits != 16 || !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
  layout.grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  layout.inverted = photometric == PHOTOMETRIC_MINISWHITE;
  uint16_t inks = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
  layout.cmyk = photometric == PHOTOMETRIC_SEPARATED && inks == INKSET_CMYK;
  if (!layout.grey && !layout.cmyk && photometric != PHOTOMETRIC_RGB) return false;
  const int colours = layout.grey ? 1 : layout.cmyk ? 4 : 3;
  if (samples < colours || samples - extras != colours) return false;
  if (planar != PLANARCONFIG_CONTIG && samples > 1) return false;
  layout.samples = samples;
  if (extras > 0 && extra_kinds != nullptr) layout.alpha = extra_kinds[0];
  return true;
}

void convert_samples(const unsigned char* bytes, uint32_t* out, uint32_t width,
                     const SampleLayout& layout) {
  for (uint32_t x = 0; x < width; ++x) {
    uint16_t s[kMostSamples] = {};
    std::memcpy(s, bytes + size_t{x} * layout.samples * 2,
                2 * static_cast<size_t>(std::min(layout.samples, kMostSamples)));
    const int alpha_at = layout.grey ? 1 : layout.cmyk ? 4 : 3;
    // Associated alpha is already in the colour: over black as stored.
    const bool unassociated = layout.alpha == EXTRASAMPLE_UNASSALPHA && layout.samples > alpha_at;
    uint32_t c[3];
    if (layout.cmyk) {
      const uint32_t black = 255 - round_16_to_8(s[3]);
      for (int i = 0; i < 3; ++i) {
        c[i] = black * (255 - round_16_to_8(s[i])) / 255;
        if (unassociated) c[i] = over_black_8(c[i], round_16_to_8(s[alpha_at]));
      }
    } else {
      for (int i = 0; i < 3; ++i) {
        uint32_t v = layout.grey ? s[0] : s[i];
        if (layout.inverted) v = 65535u - v;
        c[i] = unassociated ? over_black_16(v, s[alpha_at]) : round_16_to_8(v);
      }
    }
    out[x] = pixel_rgb(c[0], c[1], c[2]);
  }
}

std::string read_samples(TIFF* tif, const TiffJob& job, const SampleLayout& layout,
                         PictureSink& picture) {
  const uint32_t width = static_cast<uint32_t>(picture.width());
  const uint32_t height = static_cast<uint32_t>(picture.height());
  const size_t row_bytes = size_t{width} * layout.samples * 2;
  uint32_t band = 0, tile_width = width, tile_length = 0;
  const bool tiled = TIFFIsTiled(tif);
  if (tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tile_width);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tile_length);
    if (tile_width == 0 || tile_length == 0) return "corrupt TIFF data (tiles of no size)";
    band = tile_length;
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
  }
  band = std::clamp<uint32_t>(band, 1, height);
  std::vector<unsigned char> rows(row_bytes * band);
  // A whole tile, as libtiff hands it over.
  const size_t tile_row_bytes = size_t{tile_width} * layout.samples * 2;
  if (tiled && static_cast<uint64_t>(TIFFTileSize64(tif)) != tile_row_bytes * tile_length) {
    return "corrupt TIFF data (tile size)";
  }
  std::vector<unsigned char> tile(tiled ? tile_row_bytes * tile_length : 0);
  for (uint32_t top = 0; top < height; top += band) {
    const uint32_t n = std::min(band, height - top);
    if (!keeps_any_row(picture, top, n)) continue;
    if (!tiled) {
      const tmsize_t wanted = static_cast<tmsize_t>(row_bytes * n);
      if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), rows.data(), wanted) < wanted) {
        return error_reason(job);
      }
    } else {
      for (uint32_t left = 0; left < width; left += tile_width) {
        if (TIFFReadTile(tif, tile.data(), left, top, 0, 0) < 0) return error_reason(job);
        const size_t copied = size_t{std::min(tile_width, width - left)} * layout.samples * 2;
        for (uint32_t r = 0; r < n; ++r) {
          std::memcpy(rows.data() + r * row_bytes + size_t{left} * layout.samples * 2,
                      tile.data() + r * tile_row_bytes, copied);
        }
      }
    }
    for (uint32_t r = 0; r < n; ++r) {
      const int y = static_cast<int>(top + r);
      if (!picture.keeps_row(y)) continue;
      convert_samples(rows.data() + r * row_bytes, picture.row(y), width, layout);
      picture.row_done(y);
    }
  }
  return {};
}

// ------------------------------------------------ libtiff's RGBA reader ----

struct RgbaImage {
  TIFFRGBAImage image{};
  bool begun = false;
  ~RgbaImage() {
    if (begun) TIFFRGBAImageEnd(&image);
  }
};

std::string read_rgba(TIFF* tif, const TiffJob& job, PictureSink& picture) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message))
    return std::string("unsupported TIFF picture (") + message + ")";
  RgbaImage rgba;
  if (!TIFFRGBAImageBegin(&rgba.image, tif, 1, message)) {
    return job.first_error[0] ? error_reason(job)
                              : std::string("unsupported TIFF picture (") + message + ")";
  }
  rgba.begun = true;
  TIFFRGBAImage& image = rgba.image;
  // The rows as stored: the picture is turned upright afterwards, by every
  // orientation, where libtiff would only flip.
  image.req_orientation = image.orientation;
  // libtiff leaves grey under unassociated alpha as it is.
  const bool grey_under_alpha =
      image.alpha == EXTRASAMPLE_UNASSALPHA &&
      (image.photometric == PHOTOMETRIC_MINISBLACK || image.photometric == PHOTOMETRIC_MINISWHITE);
  const uint32_t width = static_cast<uint32_t>(picture.width());
  const uint32_t height = static_cast<uint32_t>(picture.height());
  // Bands of whole strips or tiles, so that none is decoded twice.
  uint32_t unit = 0;
  if (TIFFIsTiled(tif)) {
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &unit);
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
  }
  unit = std::clamp<uint32_t>(unit, 1, height);
  const uint32_t band =
      std::min<uint64_t>(height, uint64_t{unit} * std::max<uint32_t>(1, kBandRows / unit));
  std::vector<uint32_t> raster(size_t{width} * band);
  for (uint32_t top = 0; top < height; top += band) {
    const uint32_t n = std::min(band, height - top);
    if (!keeps_any_row(picture, top, n)) continue;
    image.row_offset = static_cast<int>(top);
    image.col_offset = 0;
    if (!TIFFRGBAImageGet(&image, raster.data(), width, n)) return error_reason(job);
    for (uint32_t r = 0; r < n; ++r) {
      const int y = static_cast<int>(top + r);
      if (!picture.keeps_row(y)) continue;
      const uint32_t* in = raster.data() + size_t{r} * width;
      uint32_t* out = picture.row(y);
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = in[x];
        uint32_t red = TIFFGetR(p), green = TIFFGetG(p), blue = TIFFGetB(p);
        if (grey_under_alpha) {
          const uint32_t a = TIFFGetA(p);
          red = green = blue = over_black_8(red, a);
        }
        out[x] = pixel_rgb(red, green, blue);
      }
      picture.row_done(y);
    }
  }
  return {};
}

// ------------------------------------------------------- the first page ----

PictureResult decode_first_page(TIFF* tif, const TiffJob& job, const PictureView& view) {
  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  if (std::string why = picture_size_problem(width, height); !why.empty()) {
    return PictureResult::failure(why);
  }
  uint16_t sample_format = SAMPLEFORMAT_UINT, photometric = 0, orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sample_format);
  if (sample_format == SAMPLEFORMAT_IEEEFP) {
    return PictureResult::failure("unsupported TIFF sample format (floating point)");
  }
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  // A turned picture is decoded whole and kept in part once it is upright.
  PictureSink picture(orientation == ORIENTATION_TOPLEFT ? view : PictureView{});
  if (std::string why = picture.begin(width, height); !why.empty()) {
    return PictureResult::failure(why);
  }
  SampleLayout layout;
  const std::string why = read_as_samples(tif, layout) ? read_samples(tif, job, layout, picture)
                                                       : read_rgba(tif, job, picture);
  if (!why.empty()) return PictureResult::failure(why);
  // A CMYK picture's profile describes inks, which libtiff has already
  // turned into RGB by a plain formula: it no longer applies.
  uint32_t profile_length = 0;
  void* profile = nullptr;
  std::string colour_profile;
  if (photometric != PHOTOMETRIC_SEPARATED &&
      TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profile_length, &profile) && profile != nullptr) {
    colour_profile.assign(static_cast<const char*>(profile), profile_length);
  }
  return upright_picture(picture.finish(), orientation, view, std::move(colour_profile));
}

}  // namespace

PictureResult decode_tiff(std::string_view bytes, const PictureView& view) {
  const TiffStructure structure = read_tiff_structure(bytes);
  if (!structure.problem.empty()) return PictureResult::failure(structure.problem);
  try {
    auto job = std::make_unique<TiffJob>();
    job->bytes = bytes;
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) throw std::bad_alloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibraryAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keep_first_error, job.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignore_warning, job.get());
    // "m": never mapped.
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpenExt(
        "TIFF picture", "rm", job.get(), read_memory, write_nothing, seek_memory, close_nothing,
        size_of_memory, map_nothing, unmap_nothing, options.get()));
    if (!tif) return PictureResult::failure(error_reason(*job));
    return decode_first_page(tif.get(), *job, view);
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the TIFF picture");
  }
}

}  // namespace vs
