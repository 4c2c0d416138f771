// Picture files on POSIX systems: read the file, tell its kind by content,
// and hand it to its decoder (metafiles to an isolated child process).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/picture.h"

namespace vs {

// Files larger than this are not read at all.
constexpr int64_t kMaxPictureFileBytes = int64_t{256} << 20;

// Decodes a whole picture file held in memory.
PictureResult decode_picture(std::string_view bytes);

// Reads and decodes a picture file; the reason never repeats the path.
PictureResult load_picture_file(const std::string& path);

}  // namespace vs
