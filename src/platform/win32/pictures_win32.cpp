// Pictures on Windows are decoded in a child process (see
// picture_decoder_process.h): the file is opened here, read-only and only
// if it is a regular one, and its bytes are read by the child alone. The
// decoders are the system's (WIC, GDI) and our own, and every size is
// checked by our own readers before anything is allocated. The reasons are
// the Linux edition's, word for word.
#include "pictures/picture_reasons.h"
#include "platform/win32/picture_decoder_process.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"

namespace vs {

void Win32System::decode_pictures_with(std::string program) {
  picture_decoder_ = std::move(program);
}

PictureResult Win32System::load_picture(const std::string& path, const PictureView& view,
                                        std::stop_token stop) {
  if (stop.stop_requested()) return PictureResult::failure(kPictureLoadStopped);
  return without_exceptions([&] {
    WholeFile failure;
    // Shared as any reader shares a file: a picture another program holds
    // open (an editor, a sync client) is still read, as it always was.
    const win32::OwnedHandle file =
        open_regular_file(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, failure);
    if (!file.valid()) return PictureResult::failure(unreadable_file_reason(failure));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
      failure.error = win32::error_text(GetLastError());
      return PictureResult::failure(unreadable_file_reason(failure));
    }
    if (size.QuadPart > kMaxPictureFileBytes)
      return PictureResult::failure(file_too_large_reason());
    if (size.QuadPart == 0) return PictureResult::failure(kEmptyFile);
    DecoderLaunch launch;
    launch.program = win32::widen(
        picture_decoder_.empty() ? program_folder() + "\\" + kSaverProgramName : picture_decoder_);
    launch.report = [this](const std::string& line) { report(line); };
    return decode_file_in_child(file.get(), view, stop, launch);
  });
}

}  // namespace vs
