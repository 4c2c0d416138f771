// Pictures on Windows are read whole and decoded in the saver's own process,
// on its loading thread: the decoders are the system's (WIC, GDI) and our
// own, and every size is checked by our own readers before anything is
// allocated. The reasons are the Linux edition's, word for word.
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/windows_decoders.h"

namespace vs {

PictureResult Win32System::load_picture(const std::string& path, const PictureView& view,
                                        std::stop_token stop) {
  if (stop.stop_requested()) return PictureResult::failure(kPictureLoadStopped);
  return without_exceptions([&] {
    const WholeFile file = read_whole_file(path, static_cast<size_t>(kMaxPictureFileBytes));
    if (file.status != WholeFile::Status::Ok) {
      return PictureResult::failure(unreadable_file_reason(file));
    }
    // Reading a large file takes a while; decoding it takes longer.
    if (stop.stop_requested()) return PictureResult::failure(kPictureLoadStopped);
    return decode_picture(windows_decoders(), file.bytes, view);
  });
}

}  // namespace vs
