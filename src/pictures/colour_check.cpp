#include "pictures/colour_check.h"

#include <algorithm>

#include "pictures/byte_order.h"

namespace vs {

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr int kSameColourTolerance = 1;
constexpr int kGridStep = 15;  // 0, 15, ... 255: 18 levels a channel

// A signature's four letters, without the spaces that pad it ("RGB ").
std::string signature_name(uint32_t signature) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((signature >> shift) & 0xFF);
    if (c != ' ' && c >= 0x20 && c < 0x7F) name += c;
  }
  return name.empty() ? "unknown" : name;
}

constexpr uint32_t signature(const char (&letters)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(letters[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(letters[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(letters[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(letters[3]));
}

bool near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > kSameColourTolerance || d < -kSameColourTolerance) return false;
  }
  return true;
}

}  // namespace

ColourProfileHeader read_colour_profile_header(std::string_view icc_profile) {
  ColourProfileHeader header;
  if (icc_profile.size() > kMaxColourProfileBytes) {
    header.problem = "colour profile too large (" + std::to_string(icc_profile.size()) + " bytes)";
    return header;
  }
  const unsigned char* p = bytes_of(icc_profile);
  if (icc_profile.size() < kHeaderBytes || be32(p + 36) != signature("acsp") ||
      be32(p) > icc_profile.size() || be32(p) < kHeaderBytes) {
    header.problem = "colour profile could not be read";
    return header;
  }
  const uint32_t device = be32(p + 12);
  if (device != signature("scnr") && device != signature("mntr") && device != signature("prtr") &&
      device != signature("spac")) {
    header.problem = "colour profile is not a picture's (" + signature_name(device) + ")";
    return header;
  }
  const uint32_t space = be32(p + 16);
  header.grey = space == signature("GRAY");
  if (space != signature("RGB ") && !header.grey) {
    header.problem = "colour profile is for " + signature_name(space) + " pictures, not RGB";
  }
  return header;
}

std::vector<uint32_t> colour_check_grid(bool grey) {
  std::vector<uint32_t> colours;
  if (grey) {
    for (uint32_t v = 0; v <= 255; ++v) colours.push_back(pixel_rgb(v, v, v));
    return colours;
  }
  for (uint32_t r = 0; r <= 255; r += kGridStep) {
    for (uint32_t g = 0; g <= 255; g += kGridStep) {
      for (uint32_t b = 0; b <= 255; b += kGridStep) colours.push_back(pixel_rgb(r, g, b));
    }
  }
  return colours;
}

bool colours_came_back(const std::vector<uint32_t>& sent, const std::vector<uint32_t>& got) {
  if (sent.size() != got.size()) return false;
  for (size_t i = 0; i < sent.size(); ++i) {
    if (!near(sent[i], got[i])) return false;
  }
  return true;
}

bool all_grey(const Surface& pixels) {
  for (int y = 0; y < pixels.height(); ++y) {
    const uint32_t* row = pixels.row(y);
    for (int x = 0; x < pixels.width(); ++x) {
      const uint32_t p = row[x];
      if (((p >> 16) & 0xFF) != (p & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF)) return false;
    }
  }
  return true;
}

}  // namespace vs
