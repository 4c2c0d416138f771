// The outcome of loading a picture file: the pixels, or why there are none.
#pragma once

#include <string>

#include "platform/surface.h"

namespace vs {

struct PictureResult {
  bool ok = false;
  Surface picture;     // valid when ok
  std::string reason;  // a short, user-readable reason when !ok ("not a picture file", ...)

  static PictureResult success(Surface s) { return {true, std::move(s), {}}; }
  static PictureResult failure(std::string why) { return {false, {}, std::move(why)}; }
};

// No picture may need more pixels than this: larger declared sizes are a
// picture that cannot be loaded, checked before anything is allocated.
constexpr long long kMaxPicturePixels = 1LL << 28;

}  // namespace vs
