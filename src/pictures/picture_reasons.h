// Why a picture could not be had, in the words both editions give: the
// comparison of the editions (tests/e2e/pictures_across_editions.sh) holds
// them to the same reason for the same file. The decoders' own reasons
// ("truncated GIF data") stay with the decoders.
#pragma once

#include <exception>
#include <new>
#include <string>

#include "core/picture.h"
#include "core/whole_file.h"

namespace vs {

inline constexpr char kFileNotFound[] = "file not found";
inline constexpr char kNotAPictureFile[] = "not a picture file";
inline constexpr char kEmptyFile[] = "empty file";
inline constexpr char kPictureLoadStopped[] = "picture load stopped";
inline constexpr char kOutOfMemoryForPicture[] = "out of memory for the picture";

// A file over kMaxPictureFileBytes.
std::string file_too_large_reason();

// A picture file that could not be read whole (any status but Ok).
std::string unreadable_file_reason(const WholeFile& file);

// What load() returns, or the reason for what it threw: no exception leaves
// a picture load.
template <class Load>
PictureResult without_exceptions(Load load) {
  try {
    return load();
  } catch (const std::bad_alloc&) {
    return PictureResult::failure(kOutOfMemoryForPicture);
  } catch (const std::exception& e) {
    return PictureResult::failure(std::string("picture could not be decoded (") + e.what() + ")");
  }
}

}  // namespace vs
