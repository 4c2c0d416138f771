#include "pictures/wmf_frame.h"

#include <cstdint>
#include <cstdlib>

#include "core/numeric.h"
#include "pictures/byte_order.h"
#include "pictures/decoders.h"

namespace vs {

namespace {

constexpr size_t kPlaceableBytes = 22;
constexpr size_t kHeaderBytes = 18;
constexpr double kDotsPerInch = 96;

enum Record : uint16_t {
  kEof = 0x0000,
  kSetMapMode = 0x0103,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportExt = 0x020E,
};

// Records that put something on the page: the window in force at the first
// of them is the one the picture was drawn for.
bool draws(uint16_t function) {
  switch (function) {
    case 0x0213:  // LineTo
    case 0x0324:  // Polygon
    case 0x0325:  // Polyline
    case 0x0418:  // Ellipse
    case 0x041B:  // Rectangle
    case 0x041F:  // SetPixel
    case 0x0538:  // PolyPolygon
    case 0x061C:  // RoundRect
    case 0x061D:  // PatBlt
    case 0x0521:  // TextOut
    case 0x0817:  // Arc
    case 0x081A:  // Pie
    case 0x0830:  // Chord
    case 0x0922:  // BitBlt
    case 0x0940:  // DIBBitBlt
    case 0x0A32:  // ExtTextOut
    case 0x0B23:  // StretchBlt
    case 0x0B41:  // DIBStretchBlt
    case 0x0F43:  // StretchDIBits
      return true;
    default:
      return false;
  }
}

// Logical units per inch of the fixed mapping modes; 0 for the others,
// whose units count as pixels.
double units_per_inch(int map_mode) {
  switch (map_mode) {
    case kMapLoMetric:
      return 254;
    case kMapHiMetric:
      return 2540;
    case kMapLoEnglish:
      return 100;
    case kMapHiEnglish:
      return 1000;
    case kMapTwips:
      return 1440;
    default:
      return 0;
  }
}

int to_pixels(int64_t units, double per_inch) {
  double v = std::abs(static_cast<double>(units));
  return static_cast<int>(round_half_even(per_inch > 0 ? v * kDotsPerInch / per_inch : v));
}

bool valid_header(const unsigned char* h) {
  uint16_t type = le16(h), words = le16(h + 2), version = le16(h + 4);
  return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

// Follows the records up to the first drawing one, noting the mapping mode,
// window and viewport set before it.
void scan_records(const unsigned char* p, size_t size, size_t at, WmfFrame& out) {
  while (in_range(size, at, 6)) {
    const uint64_t words = le32(p + at);
    const uint16_t function = le16(p + at + 4);
    if (words < 3 || function == kEof || draws(function)) return;
    const uint64_t bytes = words * 2;
    if (!in_range(size, at, bytes)) return;
    const unsigned char* param = p + at + 6;
    const uint64_t params = bytes - 6;
    if (function == kSetMapMode && params >= 2) {
      out.map_mode = le16(param);
    } else if (params >= 4 && (function == kSetWindowOrg || function == kSetWindowExt ||
                               function == kSetViewportExt)) {
      // Stored y first, then x.
      int y = static_cast<int16_t>(le16(param)), x = static_cast<int16_t>(le16(param + 2));
      if (function == kSetWindowOrg) out.window_x = x, out.window_y = y;
      if (function == kSetWindowExt) out.window_w = x, out.window_h = y;
      if (function == kSetViewportExt) out.viewport_w = x, out.viewport_h = y;
    }
    at += bytes;
  }
}

}  // namespace

std::string read_wmf_frame(std::string_view bytes, WmfFrame& out) {
  const unsigned char* p = bytes_of(bytes);
  const size_t size = bytes.size();
  out = WmfFrame{};
  out.placeable = size >= 4 && le32(p) == 0x9AC6CDD7u;
  const size_t header_at = out.placeable ? kPlaceableBytes : 0;
  if (!in_range(size, header_at, kHeaderBytes)) return "truncated metafile";
  if (!valid_header(p + header_at)) return "bad metafile header";
  scan_records(p, size, header_at + kHeaderBytes, out);

  if (out.placeable) {
    out.left = static_cast<int16_t>(le16(p + 6));
    out.top = static_cast<int16_t>(le16(p + 8));
    out.right = static_cast<int16_t>(le16(p + 10));
    out.bottom = static_cast<int16_t>(le16(p + 12));
    out.units_per_inch = le16(p + 14);
    if (out.units_per_inch == 0) return "bad metafile header (no units per inch)";
    out.width = to_pixels(int64_t{out.right} - out.left, out.units_per_inch);
    out.height = to_pixels(int64_t{out.bottom} - out.top, out.units_per_inch);
  } else {
    if (out.window_w == 0 || out.window_h == 0) return "metafile gives no size";
    out.left = out.window_x;
    out.top = out.window_y;
    out.right = out.window_x + out.window_w;
    out.bottom = out.window_y + out.window_h;
    const double per_inch = units_per_inch(out.map_mode);
    out.width = to_pixels(out.window_w, per_inch);
    out.height = to_pixels(out.window_h, per_inch);
  }
  if (out.width <= 0 || out.height <= 0) return "metafile gives no size";
  return picture_size_problem(out.width, out.height);
}

}  // namespace vs
