// Writing a Surface to disk as a PNG picture (8-bit RGB).
#pragma once

#include <string>

#include "core/surface.h"
#include "platform/platform.h"

namespace vs {

// Writes the surface to path as an RGB PNG, replacing what was there. On
// failure nothing is left behind at path (a partly written file is removed)
// and the error says why, in words for the user ("No space left on device").
WriteResult write_png_file(const Surface& surface, const std::string& path);

}  // namespace vs
