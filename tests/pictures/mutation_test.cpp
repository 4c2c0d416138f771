// Damaged copies of every sample kind: cut at many points and with random
// bits flipped. None may crash or hang the loader, and each answer is a
// picture within the limits or a reason. Deterministic: fixed seeds.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "picture_checks.h"
#include "platform/posix/decoder_process.h"
#include "platform/posix/library_decoders.h"

namespace vs {
namespace {

void expect_sound(const PictureResult& r, const std::string& what) {
  if (r.ok) {
    EXPECT_FALSE(r.picture.empty()) << what;
    EXPECT_LE(int64_t{r.picture.width()} * r.picture.height(), kMaxPicturePixels) << what;
  } else {
    EXPECT_FALSE(r.reason.empty()) << what;
    EXPECT_TRUE(r.picture.empty()) << what;
  }
}

class Mutations : public ::testing::TestWithParam<const char*> {};

TEST_P(Mutations, CutAndFlippedCopiesNeverCrash) {
  const std::string name = GetParam();
  const std::string original = testing::read_bytes(testing::sample(name));
  ASSERT_FALSE(original.empty()) << name;
  // libwmf is trusted only inside the decoder process, which costs a
  // process per try: fewer of them.
  const bool metafile = name.ends_with(".wmf");
  const int cuts = metafile ? 16 : 40, flips = metafile ? 16 : 64;
  auto decode = [metafile](const std::string& bytes) {
    return metafile ? decode_bytes_in_child(bytes) : decode_picture(library_decoders(), bytes);
  };

  for (int i = 0; i < cuts; ++i) {
    // Dense near the start, where the headers are.
    size_t at = i < cuts / 2 ? static_cast<size_t>(i) * 7
                             : original.size() * static_cast<size_t>(i) / static_cast<size_t>(cuts);
    at = std::min(at, original.size());
    expect_sound(decode(original.substr(0, at)), name + " cut at " + std::to_string(at));
  }
  std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(name)&0xFFFFFFFF));
  for (int i = 0; i < flips; ++i) {
    std::string copy = original;
    const int bits = 1 + static_cast<int>(random() % 8);
    // Half of the tries hit the first 128 bytes, the rest anywhere.
    const size_t span = i % 2 == 0 ? std::min<size_t>(copy.size(), 128) : copy.size();
    for (int b = 0; b < bits; ++b) {
      copy[random() % span] ^= static_cast<char>(1u << (random() % 8));
    }
    expect_sound(decode(copy), name + " flip try " + std::to_string(i));
  }
}

INSTANTIATE_TEST_SUITE_P(EverySampleKind, Mutations,
                         ::testing::Values("landscape.bmp", "rings8.bmp", "rings4.bmp",
                                           "rings1.bmp", "rings_os2.bmp", "stripes_rle8.bmp",
                                           "stripes_rle4.bmp", "landscape_topdown32.bmp",
                                           "landscape565.bmp", "rings.gif",
                                           "stripes_interlaced.gif", "landscape.jpg",
                                           "progressive.jpg", "grey.jpg", "cmyk.jpg",
                                           "sideways.jpg", "scene.wmf", "scene_plain.wmf"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string n = info.param;
                           for (char& c : n) {
                             if (c == '.') c = '_';
                           }
                           return n;
                         });

}  // namespace
}  // namespace vs
