#include "dialog/stock_images.h"

#include "core/scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

namespace vs {
namespace {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

constexpr Rgb grey(float v) {
  return {v, v, v};
}

Rgb mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb add(Rgb c, float v) {
  return {c.r + v, c.g + v, c.b + v};
}

uint32_t to_pixel(Rgb c) {
  auto channel = [](float v) {
    return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L));
  };
  return pixel_rgb(channel(c.r), channel(c.g), channel(c.b));
}

float smoothstep(float edge0, float edge1, float x) {
  const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// The background's tone, which edge pixels of round shapes are blended with.
constexpr Rgb kEdgeGrey = grey(192);
// Greys of a classic sunken edge: outer shadow, inner dark shadow, inner
// light, outer highlight.
constexpr Rgb kShadow = grey(128), kDarkShadow = grey(64), kLight = grey(223),
              kHighlight = grey(255);
// Brushed metal is a touch cool, as steel is.
constexpr Rgb kSteelTint = {-2, 0, 3};

// How far a surface facing (nx, ny) is turned away from the light, which
// comes from the top left: 0 facing it, 1 facing away, with a soft turn so
// round edges shade smoothly.
float away_from_light(float nx, float ny) {
  return smoothstep(-0.25f, 0.25f, (nx + ny) * 0.70710678f);
}

// A shape sampled 8 x 8 times per pixel: shade(x, y) is the colour at a
// point, or nothing outside the shape. Pixels the shape misses are the
// transparent key; pixels it partly covers are blended with the background
// grey, since only wholly transparent pixels are possible.
template <class Shade>
Surface draw_smooth(int width, int height, Shade shade) {
  constexpr int kSub = 8;
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb sum;
      int inside = 0;
      for (int j = 0; j < kSub; ++j) {
        for (int i = 0; i < kSub; ++i) {
          const std::optional<Rgb> c = shade(x + (i + 0.5f) / kSub, y + (j + 0.5f) / kSub);
          const Rgb v = c.value_or(kEdgeGrey);
          sum = {sum.r + v.r, sum.g + v.g, sum.b + v.b};
          inside += c.has_value();
        }
      }
      const float n = 1.0f / (kSub * kSub);
      s.set_pixel(
          x, y, inside == 0 ? forms::kTransparentKey : to_pixel({sum.r * n, sum.g * n, sum.b * n}));
    }
  }
  return s;
}

// A fixed, portable stream of noise: the same pictures on every system.
uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// Uniform in [-1, 1).
float noise(uint32_t seed, int x, int y) {
  const uint32_t h = hash(seed ^ hash(static_cast<uint32_t>(x) ^ hash(static_cast<uint32_t>(y))));
  return static_cast<float>(h >> 8) / 8388608.0f - 1.0f;
}

// Brush strokes: white noise drawn out along each row (two box blurs of
// `length`), then each row blended with its neighbours so strokes have some
// height. Both blurs wrap around, so the field repeats every `width` columns
// and every `height` rows; it is scaled to a standard deviation of 1.
std::vector<float> strokes(int width, int height, int length, uint32_t seed) {
  const size_t w = static_cast<size_t>(width);
  std::vector<float> f(w * static_cast<size_t>(height)), line(w);
  for (int y = 0; y < height; ++y) {
    float* row = f.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < width; ++x) row[x] = noise(seed, x, y);
    for (int pass = 0; pass < 2; ++pass) {
      for (int x = 0; x < width; ++x) {
        float sum = 0;
        for (int k = 0; k < length; ++k) sum += row[(x + k - length / 2 + width * 4) % width];
        line[static_cast<size_t>(x)] = sum / static_cast<float>(length);
      }
      std::copy(line.begin(), line.end(), row);
    }
  }
  std::vector<float> blended(f.size());
  double sum_sq = 0;
  for (int y = 0; y < height; ++y) {
    const float* up = f.data() + static_cast<size_t>((y + height - 1) % height) * w;
    const float* mid = f.data() + static_cast<size_t>(y) * w;
    const float* down = f.data() + static_cast<size_t>((y + 1) % height) * w;
    for (size_t x = 0; x < w; ++x) {
      const float v = (up[x] + 2 * mid[x] + down[x]) / 4;
      blended[static_cast<size_t>(y) * w + x] = v;
      sum_sq += static_cast<double>(v) * v;
    }
  }
  const float scale = 1.0f / static_cast<float>(std::sqrt(sum_sq / static_cast<double>(f.size())));
  for (float& v : blended) v *= scale;
  return blended;
}

// Brushed steel of the given mean lightness: long strokes, short strokes and
// a little grain, every part repeating with the size of the picture.
Surface brushed_metal(int width, int height, float lightness, float long_depth, float short_depth,
                      uint32_t seed) {
  const std::vector<float> long_strokes = strokes(width, height, 48, seed);
  const std::vector<float> short_strokes = strokes(width, height, 7, seed + 1);
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
      const float v = lightness + long_depth * long_strokes[i] + short_depth * short_strokes[i] +
                      0.8f * noise(seed + 2, x, y);
      s.set_pixel(x, y, to_pixel(add(kSteelTint, v)));
    }
  }
  return s;
}

// A sunken square edge of two lines, each `line` pixels wide, as classic
// check boxes have.
void sunken_edge(Surface& s, int line) {
  const int w = s.width(), h = s.height(), l = line;
  s.fill_rect(0, 0, w - l, l, to_pixel(kShadow));
  s.fill_rect(0, 0, l, h - l, to_pixel(kShadow));
  s.fill_rect(l, l, w - 3 * l, l, to_pixel(kDarkShadow));
  s.fill_rect(l, l, l, h - 3 * l, to_pixel(kDarkShadow));
  s.fill_rect(l, h - 2 * l, w - 2 * l, l, to_pixel(kLight));
  s.fill_rect(w - 2 * l, l, l, h - 2 * l, to_pixel(kLight));
  s.fill_rect(0, h - l, w, l, to_pixel(kHighlight));
  s.fill_rect(w - l, 0, l, h, to_pixel(kHighlight));
}

}  // namespace

Surface stock_option_mark(bool selected, double scale) {
  constexpr float kCentre = 6.5f, kOuter = 6.5f, kDot = 2.8f;
  const float unit = static_cast<float>(1 / scale);
  const int side = scaled_length(13, scale);
  return draw_smooth(side, side, [=](float x, float y) -> std::optional<Rgb> {
    const float dx = x * unit - kCentre, dy = y * unit - kCentre, r = std::hypot(dx, dy);
    if (r > kOuter) return std::nullopt;
    if (r > kOuter - 2) {
      const float t = away_from_light(dx / r, dy / r);
      return r > kOuter - 1 ? mix(kShadow, kHighlight, t) : mix(kDarkShadow, kLight, t);
    }
    if (selected && r <= kDot) {
      // A bead lit from the top left, with a small gleam.
      const Rgb bead = mix({236, 60, 44}, {150, 0, 0}, (dx + dy) / (2 * kDot) * 0.7071f + 0.5f);
      const float gleam = std::hypot(dx + 0.9f, dy + 0.9f);
      return mix(bead, {255, 190, 180}, 1 - smoothstep(0.3f, 1.0f, gleam));
    }
    return kHighlight;
  });
}

Surface stock_check_mark(bool checked, double scale) {
  const int side = scaled_length(12, scale), line = line_width(scale);
  Surface s(side, side, to_pixel(kHighlight));
  sunken_edge(s, line);
  if (checked) {
    // Lighter at the top, as if the light fell on a filled, glossy square.
    const int from = 2 * line, to = side - 2 * line;
    for (int y = from; y < to; ++y) {
      const Rgb c =
          mix({96, 150, 246}, {20, 52, 176},
              static_cast<float>(y - from) / static_cast<float>(std::max(1, to - from - 1)));
      for (int x = from; x < to; ++x) {
        const bool lit = x < from + line || y < from + line;
        s.set_pixel(x, y, to_pixel(add(c, lit ? 24 : 0)));
      }
    }
  }
  return s;
}

Surface stock_heading_plate(double scale) {
  constexpr int kWidth = 95, kHeight = 22;
  constexpr float kRadius = kHeight / 2.0f;
  const int width = scaled_length(kWidth, scale), height = scaled_length(kHeight, scale);
  // The same brushed grain as the background, fainter, at the screen's
  // pixels.
  const std::vector<float> grain = strokes(width, height, scaled_length(24, scale), 0x9E3779B9u);
  const float unit = static_cast<float>(1 / scale);
  return draw_smooth(width, height, [&](float px, float py) -> std::optional<Rgb> {
    const float x = px * unit, y = py * unit;
    // Distance from the plate's spine, the line between the centres of its
    // round ends.
    const float cx = std::clamp(x, kRadius, kWidth - kRadius), cy = kRadius;
    const float dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
    if (d > kRadius) return std::nullopt;
    if (d > kRadius - 1) return Rgb{92, 92, 98};
    if (d > kRadius - 2.2f) {
      const float t = away_from_light(dx / d, dy / d);
      return mix({252, 252, 252}, {138, 138, 146}, t);
    }
    const Rgb body = mix({232, 232, 236}, {178, 178, 186}, smoothstep(0, kHeight, y));
    const auto gx = static_cast<size_t>(std::min(static_cast<int>(px), width - 1));
    const auto gy = static_cast<size_t>(std::min(static_cast<int>(py), height - 1));
    return add(body, 2 * grain[gy * static_cast<size_t>(width) + gx]);
  });
}

Surface stock_button_face(double scale) {
  return brushed_metal(scaled_length(103, scale), scaled_length(37, scale), 222, 3.0f, 2.0f,
                       0x2545F491u);
}

Surface stock_background_strip() {
  return brushed_metal(563, 21, 192, 5.0f, 3.0f, 0x632BE5ABu);
}

PointerImage stock_hand_pointer(double scale) {
  // '#' black outline, '.' white fill, ' ' transparent.
  static constexpr std::array<std::string_view, 32> kHand = {
      "                                ",  //
      "           ###                  ",  //
      "          #...#                 ",  //
      "          #...#                 ",  //
      "          #...#                 ",  //
      "          #...#                 ",  //
      "          #...#                 ",  //
      "          #...####              ",  //
      "          #...#...####          ",  //
      "          #...#...#...###       ",  //
      "          #...#...#...#..#      ",  //
      "          #...#...#...#..#      ",  //
      "   ###    #...#...#...#..#      ",  //
      "  #...#   #...#...#...#..#      ",  //
      "  #....#  #..............#      ",  //
      "   #....# #..............#      ",  //
      "    #....##..............#      ",  //
      "    #.....................#     ",  //
      "     #....................#     ",  //
      "      #...................#     ",  //
      "       #..................#     ",  //
      "        #.................#     ",  //
      "         #...............#      ",  //
      "          #..............#      ",  //
      "          #.............#       ",  //
      "          #.............#       ",  //
      "          ###############       ",  //
      "                                ",  //
      "                                ",  //
      "                                ",  //
      "                                ",  //
      "                                ",  //
  };
  static_assert(std::all_of(kHand.begin(), kHand.end(),
                            [](std::string_view row) { return row.size() == 32; }));
  auto cell = [](int x, int y) {
    if (x < 0 || y < 0 || x >= 32 || y >= 32) return ' ';
    return kHand[static_cast<size_t>(y)][static_cast<size_t>(x)];
  };
  // Drawn at the scale: the outline cells are joined by strokes `line`
  // pixels wide through their centres; the white fill takes the pixels whose
  // nearest cell is inside the hand.
  const int side = scaled_length(32, scale), line = line_width(scale);
  const double half = line / scale / 2;
  auto on_outline = [&](double ux, double uy) {
    const int cx = static_cast<int>(ux), cy = static_cast<int>(uy);
    for (int y = cy - 1; y <= cy + 1; ++y) {
      for (int x = cx - 1; x <= cx + 1; ++x) {
        if (cell(x, y) != '#') continue;
        // Each stroke from this cell to an outline neighbour after it (and
        // the cell alone).
        for (const auto& [dx, dy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}, {-1, 1}}) {
          if ((dx || dy) && cell(x + dx, y + dy) != '#') continue;
          const double ax = x + 0.5, ay = y + 0.5;
          const double len2 = dx * dx + dy * dy;
          const double t =
              len2 ? std::clamp(((ux - ax) * dx + (uy - ay) * dy) / len2, 0.0, 1.0) : 0.0;
          const double ex = ax + t * dx - ux, ey = ay + t * dy - uy;
          // Square ends for a cell alone, so that at 96 dots per inch each
          // cell is its own pixel.
          if (len2 == 0 ? std::max(std::abs(ex), std::abs(ey)) <= half : std::hypot(ex, ey) <= half)
            return true;
        }
      }
    }
    return false;
  };
  const auto hot = [&](int at) { return static_cast<int>((at + 0.5) * scale); };
  PointerImage p{Surface(side, side), Surface(side, side), Point{hot(12), hot(1)}};
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double ux = (x + 0.5) / scale, uy = (y + 0.5) / scale;
      uint32_t pixel;
      const int cx = static_cast<int>(ux), cy = static_cast<int>(uy);
      // Beside a stroke, inside an outline cell: white on the side that
      // faces the fill.
      const int sx = ux < cx + 0.5 ? -1 : 1, sy = uy < cy + 0.5 ? -1 : 1;
      const bool faces_fill =
          cell(cx, cy) == '#' && (cell(cx + sx, cy) == '.' || cell(cx, cy + sy) == '.');
      if (on_outline(ux, uy)) {
        pixel = pixel_rgb(0, 0, 0);
      } else if (cell(cx, cy) == '.' || faces_fill) {
        pixel = pixel_rgb(255, 255, 255);
      } else {
        continue;
      }
      p.pixels.set_pixel(x, y, pixel);
      p.mask.set_pixel(x, y, pixel_rgb(255, 255, 255));
    }
  }
  return p;
}

namespace {

// The icon's landscape as heights in [0, 1) at (u, v) in [0, 1): two
// mountains rising from a plain, the higher one left of centre.
float landscape_height(float u, float v) {
  auto bump = [](float d, float width) { return std::exp(-d * d / (width * width)); };
  const float swell = std::sin(v * 3.14159265f);
  return 0.95f * bump(u - 0.36f, 0.2f) * bump(v - 0.45f, 0.3f) +
         0.6f * bump(u - 0.76f, 0.13f) * bump(v - 0.35f, 0.25f) + 0.06f * swell;
}

// Heights coloured as a picture would be, lighter higher up: grass, rock,
// snow. The saver lifts lighter pixels higher, so these are the heights it
// would draw.
Rgb landscape_colour(float h, float v) {
  const Rgb ground = mix({40, 70, 170}, {70, 170, 60}, v);
  if (h < 0.35f) return mix(ground, {130, 120, 190}, h / 0.35f);
  if (h < 0.7f) return mix({130, 120, 190}, {200, 200, 230}, (h - 0.35f) / 0.35f);
  return {250, 250, 255};
}

}  // namespace

Surface stock_window_icon() {
  constexpr int kSize = 32, kLines = 8;
  Surface s(kSize, kSize, pixel_rgb(0, 0, 0));
  // A low sun behind the mountains.
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      if (std::hypot(x + 0.5f - 24, y + 0.5f - 7) < 4.2f) {
        s.set_pixel(x, y, pixel_rgb(255, 196, 48));
      }
    }
  }
  // One line per row of the landscape, lifted by its height, from the back
  // to the front; each line hides what lies behind and below it, so the
  // lines read as one surface.
  for (int i = 0; i < kLines; ++i) {
    const float v = (i + 0.5f) / kLines;
    const float base = 12.0f + i * 2.7f;
    int prev_y = 0;
    for (int x = 0; x < kSize; ++x) {
      const float h = landscape_height((x + 0.5f) / kSize, v);
      const int y = static_cast<int>(std::lround(base - 12.0f * h));
      s.fill_rect(x, y + 1, 1, kSize, pixel_rgb(0, 0, 0));
      s.draw_segment(x, x == 0 ? y : prev_y, x, y, to_pixel(landscape_colour(h, v)));
      prev_y = y;
    }
  }
  return s;
}

}  // namespace vs
