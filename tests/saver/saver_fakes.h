// Stand-ins for the saver's collaborators: pictures prepared in memory by
// path, a random source with a fixed answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/surface.h"
#include "platform/offscreen/offscreen_platform.h"
#include "settings/play_order.h"

namespace vs::testing {

class PicturePlatform : public OffscreenPlatform {
 public:
  std::map<std::string, Surface> pictures;  // anything else fails to load
  std::vector<std::string> asked;

  PictureResult picture_for(const std::string& path, const PictureView&, std::stop_token) override {
    asked.push_back(path);
    auto it = pictures.find(path);
    if (it == pictures.end()) return PictureResult::failure("cannot be read");
    return PictureResult::success(it->second);
  }
};

class FixedRandom : public RandomSource {
 public:
  explicit FixedRandom(double unit = 0.999) : unit_(unit) {}
  int reseeds = 0;
  void reseed_from_clock() override { ++reseeds; }
  double next_unit() override { return unit_; }

 private:
  double unit_;
};

// A picture whose every pixel names its own position, so a test can tell
// which source pixel ended up where: marker bit 23, row in bits 11..21,
// column in bits 0..10.
inline uint32_t position_pixel(int x, int y) {
  return 0x800000u | (static_cast<uint32_t>(y) << 11) | static_cast<uint32_t>(x);
}
inline bool is_position_pixel(uint32_t p) {
  return (p & 0x800000u) != 0;
}
inline int pixel_column(uint32_t p) {
  return static_cast<int>(p & 0x7FF);
}
inline int pixel_row(uint32_t p) {
  return static_cast<int>((p >> 11) & 0x7FF);
}

inline Surface position_picture(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s.row(y)[x] = position_pixel(x, y);
  }
  return s;
}

}  // namespace vs::testing
