#include "pictures/picture_reasons.h"

namespace vs {

std::string file_too_large_reason() {
  return "file too large (over " + std::to_string(kMaxPictureFileBytes >> 20) + " MB)";
}

std::string unreadable_file_reason(const WholeFile& file) {
  switch (file.status) {
    case WholeFile::Status::Missing:
      return kFileNotFound;
    case WholeFile::Status::NotRegular:
      return kNotAPictureFile;
    case WholeFile::Status::TooLarge:
      return file_too_large_reason();
    case WholeFile::Status::Ok:
    case WholeFile::Status::Error:
      break;
  }
  return "cannot read file (" + file.error + ")";
}

}  // namespace vs
