// The picture decoders behind Platform::load_picture. Each one takes the
// whole file in memory and returns the picture or a short reason; none of
// them reads past its input or allocates more than kMaxPicturePixels pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/picture.h"
#include "core/picture_fit.h"
#include "pictures/picture_reasons.h"

namespace vs {

enum class PictureKind { Unknown, Bmp, Gif, Jpeg, Wmf };

// The kind of picture by the file's first bytes, whatever its name says.
PictureKind detect_picture_kind(std::string_view bytes);

// The decoders a system brings for the kinds that are not ours to decode:
// the Linux edition's libraries (platform/posix/), the Windows edition's WIC
// and GDI (platform/win32/). Each keeps only the pixels that the view's fit
// reads (all of them without a view); see PictureSink.
class SystemDecoders {
 public:
  virtual ~SystemDecoders() = default;
  virtual PictureResult decode_gif(std::string_view bytes, const PictureView& view) const = 0;
  // Turned upright by the EXIF orientation when the file carries one.
  virtual PictureResult decode_jpeg(std::string_view bytes, const PictureView& view) const = 0;
  // Renders a metafile at the size and frame found by read_wmf_frame
  // (wmf_frame.h), on white paper.
  virtual PictureResult render_wmf(std::string_view bytes, const PictureView& view) const = 0;
};

// An edition's decoders given as three functions, as SystemDecoders.
template <auto kGif, auto kJpeg, auto kWmf>
class DecoderFunctions final : public SystemDecoders {
 public:
  PictureResult decode_gif(std::string_view bytes, const PictureView& view) const override {
    return kGif(bytes, view);
  }
  PictureResult decode_jpeg(std::string_view bytes, const PictureView& view) const override {
    return kJpeg(bytes, view);
  }
  PictureResult render_wmf(std::string_view bytes, const PictureView& view) const override {
    return kWmf(bytes, view);
  }
};

// Decodes a whole picture file held in memory, of whatever kind its bytes
// say, in this process: bitmaps by our own decoder, the rest by the system's. The Linux saver calls
// it only inside its decoder process (posix/decoder_process.h), where a decoder may crash or hang
// safely; the Windows saver in its own process, on its loading thread.
PictureResult decode_picture(const SystemDecoders& system, std::string_view bytes,
                             const PictureView& view = {});

// An empty string when width x height may be allocated, else the reason
// ("picture too large (70000 x 70000)").
std::string picture_size_problem(int64_t width, int64_t height);

// Our own bitmap decoder, the same on both editions.
PictureResult decode_bmp(std::string_view bytes, const PictureView& view = {});

}  // namespace vs
