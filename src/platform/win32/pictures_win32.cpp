#include "platform/win32/win32_system.h"

namespace vs {

PictureResult Win32System::load_picture(const std::string&, const PictureView&, std::stop_token) {
  return PictureResult::failure("not a picture file");
}

}  // namespace vs
