// Lengths of a layout made at 96 dots per inch, at a screen's scale (1 at
// 96, 1.5 at 144): what dialogs, their pictures and their lines are drawn at.
#pragma once

#include <algorithm>
#include <cmath>

namespace vs {

inline int scaled_length(int length, double scale) {
  return static_cast<int>(std::lround(length * scale));
}

// A line one pixel wide at 96 dots per inch, in whole pixels so that edges
// stay crisp: 1 below 175 %, 2 from 175 %.
inline int line_width(double scale) {
  return std::max(1, static_cast<int>(scale + 0.25));
}

}  // namespace vs
