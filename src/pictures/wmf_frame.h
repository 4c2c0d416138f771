// The size of a Windows metafile, read by our own bounds-checked parser
// before libwmf is given the file: the size is checked against the limit in
// the saver's own process, and tells the renderer what to draw.
#pragma once

#include <string>
#include <string_view>

namespace vs {

// Mapping modes of the metafile records.
enum WmfMapMode : int {
  kMapText = 1,
  kMapLoMetric = 2,
  kMapHiMetric = 3,
  kMapLoEnglish = 4,
  kMapHiEnglish = 5,
  kMapTwips = 6,
  kMapIsotropic = 7,
  kMapAnisotropic = 8,
};

struct WmfFrame {
  // The natural size in pixels at 96 dots per inch.
  int width = 0;
  int height = 0;
  // The part of the drawing shown, in the metafile's logical units: the
  // placeable header's bounding box, else the window.
  int left = 0, top = 0, right = 0, bottom = 0;
  bool placeable = false;
  int units_per_inch = 0;  // placeable only
  // The drawing state when the first drawing record is reached (0 = the
  // mapping mode was never set).
  int map_mode = 0;
  int window_x = 0, window_y = 0;      // window origin
  int window_w = 0, window_h = 0;      // window extents (0 = never set)
  int viewport_w = 0, viewport_h = 0;  // viewport extents (0 = never set)
};

// Fills `out` from the placeable header or, without one, from the window
// records. Returns the reason when the file gives no usable size or one over
// the picture limit ("" on success).
std::string read_wmf_frame(std::string_view bytes, WmfFrame& out);

}  // namespace vs
