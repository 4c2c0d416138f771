// Helpers shared by the picture tests: sample paths, colour comparison with
// a tolerance for lossy kinds, and temporary files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "../../tools/sample_scenes.h"
#include "core/picture.h"
#include "core/surface.h"

namespace vs::testing {

inline std::string sample(const std::string& name) {
  return std::string(VS_SAMPLES_DIR) + "/" + name;
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline samples::Rgb rgb_of(uint32_t pixel) {
  return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
          static_cast<int>(pixel & 0xFF)};
}

// The largest difference of one channel.
inline int colour_distance(samples::Rgb a, samples::Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

inline ::testing::AssertionResult pixel_near(const Surface& s, int x, int y, samples::Rgb want,
                                             int tolerance) {
  if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) {
    return ::testing::AssertionFailure() << "(" << x << ", " << y << ") lies outside";
  }
  samples::Rgb got = rgb_of(s.at(x, y));
  if (colour_distance(got, want) <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << x << ", " << y << ") is " << got.r << "," << got.g << "," << got.b
         << ", expected " << want.r << "," << want.g << "," << want.b << " within " << tolerance;
}

// Every pixel keeps its fourth byte 0, whatever the decoder.
inline bool fourth_bytes_clear(const Surface& s) {
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      if (s.at(x, y) >> 24) return false;
    }
  }
  return true;
}

// A file in a fresh temporary folder, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, const std::string& bytes) {
    char folder[] = "/tmp/vs-pictures-XXXXXX";
    folder_ = mkdtemp(folder) ? folder : "/tmp";
    path_ = folder_ + "/" + name;
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() {
    std::remove(path_.c_str());
    std::remove(folder_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace vs::testing
