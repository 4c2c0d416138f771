#include "platform/posix/posix_platform.h"

namespace vs {

// Replaced by the decoders in platform/pictures.
PictureResult PosixPlatform::load_picture(const std::string& path) {
  return PictureResult::failure(path + ": picture loading is not available yet");
}

}  // namespace vs
