// WebP by libwebp, behind our own chunk walk (pictures/webp_structure.h),
// which has checked the sizes and the lossless header before libwebp sees
// the file. A still picture is decoded by WebPDecode, straight into the
// picture where all of it is kept; an animation by libwebpdemux's animation
// decoder, which gives its first frame drawn on the canvas. Both hand over
// B, G, R, A bytes, which are our pixels once the alpha byte has laid the
// colour over black.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>
#include <new>

#include "pictures/exif.h"
#include "pictures/picture_sink.h"
#include "pictures/sample_rounding.h"
#include "pictures/webp_structure.h"
#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

std::string status_reason(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory for the WebP picture";
    // A lossy picture whose partitions reach past the data is suspended,
    // waiting for more that never comes.
    case VP8_STATUS_NOT_ENOUGH_DATA:
    case VP8_STATUS_SUSPENDED:
      return "truncated WebP data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "unsupported WebP feature";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "corrupt WebP data (bitstream error)";
    default:
      return "corrupt WebP data (status " + std::to_string(static_cast<int>(status)) + ")";
  }
}

// A row of B, G, R, A bytes (as a little-endian uint32 each, alpha on top)
// made our pixels in place.
void finish_row(uint32_t* row, int width, bool alpha) {
  if (!alpha) {
    for (int x = 0; x < width; ++x) row[x] &= 0xFFFFFF;
    return;
  }
  for (int x = 0; x < width; ++x) {
    const uint32_t p = row[x], a = p >> 24;
    row[x] = pixel_rgb(over_black_8((p >> 16) & 0xFF, a), over_black_8((p >> 8) & 0xFF, a),
                       over_black_8(p & 0xFF, a));
  }
}

// Rows of a decoded picture (width x height B, G, R, A pixels, `stride`
// bytes apart) into a sink that keeps only some of them.
void keep_rows(const uint8_t* pixels, size_t stride, bool alpha, PictureSink& sink) {
  for (int y = 0; y < sink.height(); ++y) {
    if (!sink.keeps_row(y)) continue;
    uint32_t* row = sink.row(y);
    std::memcpy(row, pixels + stride * static_cast<size_t>(y), size_t{4} * sink.width());
    finish_row(row, sink.width(), alpha);
    sink.row_done(y);
  }
}

struct DecodedBuffer {
  WebPDecBuffer* buffer;
  ~DecodedBuffer() { WebPFreeDecBuffer(buffer); }
};

PictureResult decode_still(std::string_view bytes, const PictureView& view) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config))
    return PictureResult::failure("WebP decoder could not start");
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  VP8StatusCode status = WebPGetFeatures(data, bytes.size(), &config.input);
  if (status != VP8_STATUS_OK) return PictureResult::failure(status_reason(status));
  PictureSink sink(view);
  if (std::string why = sink.begin(config.input.width, config.input.height); !why.empty()) {
    return PictureResult::failure(why);
  }
  const bool alpha = config.input.has_alpha != 0;
  config.output.colorspace = MODE_BGRA;
  // Lossy pictures are filtered on a second thread.
  config.options.use_threads = 1;
  const size_t stride = size_t{4} * sink.width();
  if (sink.keeps_everything()) {
    // Straight into the picture: its rows lie one after the other.
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = reinterpret_cast<uint8_t*>(sink.row(0));
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = stride * static_cast<size_t>(sink.height());
  }
  const DecodedBuffer release{&config.output};
  status = WebPDecode(data, bytes.size(), &config);
  if (status != VP8_STATUS_OK) return PictureResult::failure(status_reason(status));
  if (sink.keeps_everything()) {
    for (int y = 0; y < sink.height(); ++y) finish_row(sink.row(y), sink.width(), alpha);
  } else {
    keep_rows(config.output.u.RGBA.rgba, static_cast<size_t>(config.output.u.RGBA.stride), alpha,
              sink);
  }
  return sink.finish();
}

struct AnimationDecoder {
  WebPAnimDecoder* decoder;
  ~AnimationDecoder() { WebPAnimDecoderDelete(decoder); }
};

PictureResult decode_first_frame(std::string_view bytes, const PictureView& view) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) {
    return PictureResult::failure("WebP decoder could not start");
  }
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  const AnimationDecoder animation{WebPAnimDecoderNew(&data, &options)};
  if (animation.decoder == nullptr) {
    return PictureResult::failure("corrupt WebP data (animation could not be read)");
  }
  WebPAnimInfo info;
  if (!WebPAnimDecoderGetInfo(animation.decoder, &info)) {
    return PictureResult::failure("corrupt WebP data (animation could not be read)");
  }
  PictureSink sink(view);
  if (std::string why = sink.begin(info.canvas_width, info.canvas_height); !why.empty()) {
    return PictureResult::failure(why);
  }
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(animation.decoder, &canvas, &timestamp) || canvas == nullptr) {
    return PictureResult::failure("corrupt WebP data (first frame could not be decoded)");
  }
  // The canvas is transparent where the first frame does not cover it.
  keep_rows(canvas, size_t{4} * info.canvas_width, true, sink);
  return sink.finish();
}

}  // namespace

PictureResult decode_webp(std::string_view bytes, const PictureView& view) {
  const WebpStructure webp = read_webp_structure(bytes);
  if (!webp.problem.empty()) return PictureResult::failure(webp.problem);
  const int orientation = exif_block_orientation(webp.exif);
  // A turned picture is decoded whole and kept in part once it is upright.
  const PictureView decode_view = orientation == 1 ? view : PictureView{};
  PictureResult result;
  try {
    result =
        webp.animated ? decode_first_frame(bytes, decode_view) : decode_still(bytes, decode_view);
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the WebP picture");
  }
  return upright_picture(std::move(result), orientation, view, std::string(webp.icc_profile));
}

}  // namespace vs
