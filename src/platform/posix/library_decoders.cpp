#include "platform/posix/library_decoders.h"

namespace vs {

namespace {

class LibraryDecoders final : public SystemDecoders {
 public:
  PictureResult decode_gif(std::string_view bytes, const PictureView& view) const override {
    return vs::decode_gif(bytes, view);
  }
  PictureResult decode_jpeg(std::string_view bytes, const PictureView& view) const override {
    return vs::decode_jpeg(bytes, view);
  }
  PictureResult render_wmf(std::string_view bytes, const PictureView& view) const override {
    return vs::render_wmf(bytes, view);
  }
};

}  // namespace

const SystemDecoders& library_decoders() {
  static const LibraryDecoders decoders;
  return decoders;
}

}  // namespace vs
