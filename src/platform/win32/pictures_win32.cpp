// Pictures on Windows are read whole and decoded in the saver's own process,
// on its loading thread: the decoders are the system's (WIC, GDI) and our
// own, and every size is checked by our own readers before anything is
// allocated. The reasons are the Linux edition's, word for word.
#include <exception>
#include <new>

#include "platform/pictures/decoders.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"

namespace vs {

namespace {

PictureResult stopped() {
  return PictureResult::failure("picture load stopped");
}

}  // namespace

PictureResult Win32System::load_picture(const std::string& path, const PictureView& view,
                                        std::stop_token stop) {
  if (stop.stop_requested()) return stopped();
  try {
    win32::WholeFile file = win32::read_whole_file(path, static_cast<size_t>(kMaxPictureFileBytes));
    switch (file.status) {
      case win32::WholeFile::Status::Ok:
        break;
      case win32::WholeFile::Status::Missing:
        return PictureResult::failure("file not found");
      case win32::WholeFile::Status::NotRegular:
        return PictureResult::failure("not a picture file");
      case win32::WholeFile::Status::TooLarge:
        return PictureResult::failure(file_too_large_reason());
      case win32::WholeFile::Status::Error:
        return PictureResult::failure("cannot read file (" + win32::error_text(file.error) + ")");
    }
    // Reading a large file takes a while; decoding it takes longer.
    if (stop.stop_requested()) return stopped();
    return decode_picture(file.bytes, view);
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("out of memory for the picture");
  } catch (const std::exception& e) {
    return PictureResult::failure(std::string("picture could not be decoded (") + e.what() + ")");
  }
}

}  // namespace vs
