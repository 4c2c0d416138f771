// PNG by libpng, behind our own chunk walk (pictures/png_structure.h). Rows
// come from libpng with palettes, low bit depths and transparency expanded to
// RGB or RGBA of 8 or 16 bits; we round 16-bit samples to 8 and lay
// transparent parts over black ourselves, since libpng's own 16-to-8 strip
// cuts rather than rounds. libpng reports errors by calling its error
// function, which must not return: ours jumps back to the decoder, as the
// JPEG decoder's does.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "pictures/exif.h"
#include "pictures/picture_sink.h"
#include "pictures/png_structure.h"
#include "pictures/sample_rounding.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

// No single chunk (an ICC profile, EXIF, text) may take more memory than
// this, inflated; colour profiles are capped at 4 MB when applied.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;
// Ancillary chunks kept, beyond which libpng drops the rest: a file of a
// million text chunks is an attack on memory, not a picture.
constexpr png_uint_32 kMaxKeptChunks = 1000;

enum class Stop { None, Error, Truncated };

struct PngJob {
  std::jmp_buf jump{};
  Stop stop = Stop::None;
  char message[200] = {};  // libpng's words for the error (no allocation in its callback)
  std::string_view input;
  size_t read = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  int orientation = 1;
  std::string colour_profile;
  PictureView view;
  PictureSink picture;
  std::vector<unsigned char> row;       // one row as libpng hands it over
  std::vector<unsigned char> kept_raw;  // interlaced: every kept row, across the passes
  std::vector<int64_t> slot_of_row;     // where in kept_raw a row is, or -1
  std::string failure;                  // a reason found outside libpng
};

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
  auto& job = *static_cast<PngJob*>(png_get_error_ptr(png));
  if (job.stop == Stop::None) {
    job.stop = Stop::Error;
    std::snprintf(job.message, sizeof job.message, "%s", message ? message : "unknown error");
  }
  std::longjmp(job.jump, 1);
}

// Damage libpng survives (a bad ancillary chunk, say) is survived quietly.
void on_warning(png_structp, png_const_charp) {}

void read_input(png_structp png, png_bytep to, size_t wanted) {
  auto& job = *static_cast<PngJob*>(png_get_io_ptr(png));
  if (wanted > job.input.size() - job.read) {
    job.stop = Stop::Truncated;
    png_error(png, "truncated");
  }
  std::memcpy(to, job.input.data() + job.read, wanted);
  job.read += wanted;
}

// One row of RGB or RGBA samples, 8 or 16 bits each (big-endian), as pixels.
void convert_row(const unsigned char* in, uint32_t* out, int width, int channels, int depth) {
  if (depth == 8) {
    for (int x = 0; x < width; ++x, in += channels) {
      uint32_t r = in[0], g = in[1], b = in[2];
      if (channels == 4) {
        const uint32_t a = in[3];
        r = over_black_8(r, a), g = over_black_8(g, a), b = over_black_8(b, a);
      }
      out[x] = pixel_rgb(r, g, b);
    }
    return;
  }
  for (int x = 0; x < width; ++x, in += 2 * channels) {
    const uint32_t r = in[0] << 8 | in[1], g = in[2] << 8 | in[3], b = in[4] << 8 | in[5];
    if (channels == 4) {
      const uint32_t a = in[6] << 8 | in[7];
      out[x] = pixel_rgb(over_black_16(r, a), over_black_16(g, a), over_black_16(b, a));
    } else {
      out[x] = pixel_rgb(round_16_to_8(r), round_16_to_8(g), round_16_to_8(b));
    }
  }
}

void read_metadata(PngJob& job) {
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profile_length = 0;
  if (png_get_iCCP(job.png, job.info, &name, &compression, &profile, &profile_length) != 0 &&
      profile != nullptr) {
    job.colour_profile.assign(reinterpret_cast<const char*>(profile), profile_length);
  }
}

// Everything that may end in a longjmp lives here; it keeps its state in the
// job, never in locals that need destroying.
bool run(PngJob& job) {
  if (setjmp(job.jump)) return false;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, on_error, on_warning);
  if (job.png == nullptr) throw std::bad_alloc();
  job.info = png_create_info_struct(job.png);
  if (job.info == nullptr) throw std::bad_alloc();
  png_set_read_fn(job.png, &job, read_input);
  // Our own check decided the size; libpng's default limit is narrower.
  png_set_user_limits(job.png, kMaxPicturePixels, kMaxPicturePixels);
  png_set_chunk_cache_max(job.png, kMaxKeptChunks);
  png_set_chunk_malloc_max(job.png, kMaxChunkBytes);
  png_read_info(job.png, job.info);
  read_metadata(job);

  const int colour_type = png_get_color_type(job.png, job.info);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job.png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(job.png, job.info) < 8) {
    png_set_expand_gray_1_2_4_to_8(job.png);
  }
  if (png_get_valid(job.png, job.info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(job.png);
  if (!(colour_type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(job.png);
  const int passes = png_set_interlace_handling(job.png);
  png_read_update_info(job.png, job.info);

  const int width = static_cast<int>(png_get_image_width(job.png, job.info));
  const int height = static_cast<int>(png_get_image_height(job.png, job.info));
  const int channels = png_get_channels(job.png, job.info);
  const int depth = png_get_bit_depth(job.png, job.info);
  const size_t row_bytes = png_get_rowbytes(job.png, job.info);
  if ((channels != 3 && channels != 4) || (depth != 8 && depth != 16) ||
      row_bytes != size_t{static_cast<unsigned>(width)} * channels * depth / 8) {
    png_error(job.png, "unexpected row layout");
  }
  // A turned picture is decoded whole and kept in part once it is upright.
  job.picture = PictureSink(job.orientation == 1 ? job.view : PictureView{});
  job.failure = job.picture.begin(width, height);
  if (!job.failure.empty()) return false;
  job.row.resize(row_bytes);
  if (passes == 1) {
    for (int y = 0; y < height; ++y) {
      png_read_row(job.png, job.row.data(), nullptr);
      if (!job.picture.keeps_row(y)) continue;
      convert_row(job.row.data(), job.picture.row(y), width, channels, depth);
      job.picture.row_done(y);
    }
    return true;
  }
  // Every pass adds pixels to rows the earlier passes began, so the kept
  // rows stay as libpng hands them over until the last pass is done; the
  // others go to a scratch row.
  job.slot_of_row.assign(static_cast<size_t>(height), -1);
  int64_t kept = 0;
  for (int y = 0; y < height; ++y) {
    if (job.picture.keeps_row(y)) job.slot_of_row[static_cast<size_t>(y)] = kept++;
  }
  job.kept_raw.assign(static_cast<size_t>(kept) * row_bytes, 0);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      const int64_t slot = job.slot_of_row[static_cast<size_t>(y)];
      png_read_row(job.png, slot < 0 ? job.row.data() : job.kept_raw.data() + slot * row_bytes,
                   nullptr);
    }
  }
  for (int y = 0; y < height; ++y) {
    const int64_t slot = job.slot_of_row[static_cast<size_t>(y)];
    if (slot < 0) continue;
    convert_row(job.kept_raw.data() + slot * row_bytes, job.picture.row(y), width, channels, depth);
    job.picture.row_done(y);
  }
  return true;
}

}  // namespace

PictureResult decode_png(std::string_view bytes, const PictureView& view) {
  const PngStructure structure = read_png_structure(bytes);
  if (!structure.problem.empty()) return PictureResult::failure(structure.problem);
  auto job = std::make_unique<PngJob>();
  job->input = bytes;
  job->view = view;
  job->orientation = structure.orientation;
  bool ok = false;
  try {
    ok = run(*job);
  } catch (const std::bad_alloc&) {
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return PictureResult::failure("out of memory for the PNG picture");
  }
  png_destroy_read_struct(&job->png, &job->info, nullptr);
  if (ok) {
    return upright_picture(job->picture.finish(), job->orientation, view,
                           std::move(job->colour_profile));
  }
  switch (job->stop) {
    case Stop::Truncated:
      return PictureResult::failure("truncated PNG data");
    case Stop::Error:
      // libpng's words when an allocation fails.
      if (std::strstr(job->message, "memory") != nullptr ||
          std::strstr(job->message, "Memory") != nullptr) {
        return PictureResult::failure("out of memory for the PNG picture");
      }
      return PictureResult::failure(std::string("corrupt PNG data (") + job->message + ")");
    case Stop::None:
      break;
  }
  return PictureResult::failure(job->failure);
}

}  // namespace vs
