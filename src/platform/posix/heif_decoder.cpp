// HEIF (HEVC by libde265) and AVIF (AV1 by dav1d or aom) by libheif, behind
// our own box walk (pictures/heif_structure.h), which has checked every
// size in the file before libheif allocates anything. libheif decodes the
// primary picture to interleaved RGB, turned and mirrored as its irot and
// imir say and converted from YCbCr by its nclx matrix; pictures of more than
// 8 bits come as 16-bit samples of their own depth, which we round to 8.
#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <new>

#include "pictures/heif_structure.h"
#include "pictures/picture_sink.h"
#include "pictures/sample_rounding.h"
#include "platform/posix/library_decoders.h"
#include "platform/posix/nclx_profile.h"

namespace vs {

namespace {

struct ContextRelease {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsRelease {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// Once per process; the process's end releases what it holds.
void start_libheif() {
  static const bool started = [] {
    heif_init(nullptr);
    return true;
  }();
  (void)started;
}

std::string libheif_reason(const heif_error& error, const std::string& kind) {
  const std::string corrupt = "corrupt " + kind + " data (" + error.message + ")";
  switch (error.code) {
    case heif_error_Memory_allocation_error:
      if (error.subcode == heif_suberror_Security_limit_exceeded) return corrupt;
      return "out of memory for the " + kind + " picture";
    case heif_error_Invalid_input:
      if (error.subcode == heif_suberror_End_of_data) return "truncated " + kind + " data";
      return corrupt;
    case heif_error_Unsupported_feature:
    case heif_error_Unsupported_filetype:
      return "unsupported " + kind + " picture (" + error.message + ")";
    default:
      return corrupt;
  }
}

// The nearest 8-bit value of a sample of `max` at most.
uint32_t round_to_8(uint32_t v, uint32_t max) {
  return (std::min(v, max) * 255 + max / 2) / max;
}

// A colour sample over black by its alpha, both of `max` at most, rounded
// once to 8 bits.
uint32_t deep_over_black(uint64_t c, uint64_t a, uint64_t max) {
  const uint64_t scale = max * max;
  return static_cast<uint32_t>((std::min(c, max) * std::min(a, max) * 255 + scale / 2) / scale);
}

uint32_t le16_at(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

// How one decoded pixel becomes ours, by the layout libheif gave.
struct PixelReader {
  const uint8_t* row;
  bool alpha;
  bool premultiplied;  // the colours are already over black
  bool wide;           // two bytes a sample, of this range:
  uint32_t max;

  uint32_t operator()(int x) const {
    if (!wide) {
      const uint8_t* p = row + static_cast<size_t>(x) * (alpha ? 4 : 3);
      if (!alpha || premultiplied) return pixel_rgb(p[0], p[1], p[2]);
      return pixel_rgb(over_black_8(p[0], p[3]), over_black_8(p[1], p[3]),
                       over_black_8(p[2], p[3]));
    }
    const uint8_t* p = row + static_cast<size_t>(x) * (alpha ? 8 : 6);
    const uint32_t r = le16_at(p), g = le16_at(p + 2), b = le16_at(p + 4);
    if (!alpha || premultiplied) {
      return pixel_rgb(round_to_8(r, max), round_to_8(g, max), round_to_8(b, max));
    }
    const uint32_t a = le16_at(p + 6);
    return pixel_rgb(deep_over_black(r, a, max), deep_over_black(g, a, max),
                     deep_over_black(b, a, max));
  }
};

// The primary picture's colours: its ICC profile, or the one equivalent to
// its nclx codes; "" for sRGB.
std::string colour_profile(const heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    std::string icc(heif_image_handle_get_raw_color_profile_size(handle), '\0');
    if (icc.empty() ||
        heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) {
      return {};
    }
    return icc;
  }
  heif_color_profile_nclx* nclx = nullptr;
  if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok ||
      nclx == nullptr) {
    return {};
  }
  std::string icc = nclx_colour_profile(nclx->color_primaries, nclx->transfer_characteristics);
  heif_nclx_color_profile_free(nclx);
  return icc;
}

PictureResult decode_primary(std::string_view bytes, const std::string& kind,
                             const PictureView& view) {
  start_libheif();
  const std::unique_ptr<heif_context, ContextRelease> context(heif_context_alloc());
  if (!context) throw std::bad_alloc();
  // Our walk has refused larger sides already; libheif checks every item
  // against the same bound.
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxHeifSide) + 1);
  heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.data(),
                                                                bytes.size(), nullptr);
  if (error.code != heif_error_Ok) return PictureResult::failure(libheif_reason(error, kind));
  heif_image_handle* primary = nullptr;
  error = heif_context_get_primary_image_handle(context.get(), &primary);
  const std::unique_ptr<heif_image_handle, HandleRelease> handle(primary);
  if (error.code != heif_error_Ok) return PictureResult::failure(libheif_reason(error, kind));

  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
  const heif_chroma chroma =
      deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  // The defaults: transformations applied, deep samples kept deep.
  const std::unique_ptr<heif_decoding_options, OptionsRelease> options(
      heif_decoding_options_alloc());
  heif_image* decoded = nullptr;
  error = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, chroma, options.get());
  const std::unique_ptr<heif_image, ImageRelease> image(decoded);
  if (error.code != heif_error_Ok) return PictureResult::failure(libheif_reason(error, kind));

  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  const int depth =
      deep ? heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) : 8;
  const int pixel_bytes = (alpha ? 4 : 3) * (deep ? 2 : 1);
  if (plane == nullptr || depth < 8 || depth > 16 || width <= 0 ||
      stride < int64_t{pixel_bytes} * width) {
    return PictureResult::failure("corrupt " + kind + " data (no pixels decoded)");
  }
  PictureSink sink(view);
  if (std::string why = sink.begin(width, height); !why.empty()) {
    return PictureResult::failure(why);
  }
  PixelReader pixel{plane, alpha, heif_image_is_premultiplied_alpha(image.get()) != 0, deep,
                    (uint32_t{1} << depth) - 1};
  for (int y = 0; y < height; ++y) {
    if (!sink.keeps_row(y)) continue;
    pixel.row = plane + static_cast<size_t>(stride) * static_cast<size_t>(y);
    sink.put_run(y, 0, width, pixel);
  }
  PictureResult result = sink.finish();
  result.colour_profile = colour_profile(handle.get());
  return result;
}

}  // namespace

PictureResult decode_heif(std::string_view bytes, const PictureView& view) {
  const HeifStructure heif = read_heif_structure(bytes);
  if (!heif.problem.empty()) return PictureResult::failure(heif.problem);
  try {
    return decode_primary(bytes, heif.kind, view);
  } catch (const std::bad_alloc&) {
    return PictureResult::failure(std::string("out of memory for the ") + heif.kind + " picture");
  }
}

}  // namespace vs
