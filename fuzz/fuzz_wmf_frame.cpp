// libFuzzer target: our reader of metafile sizes (the part that runs in the
// saver's own process; libwmf itself runs isolated).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictures/wmf_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vs::WmfFrame frame;
  const std::string reason = vs::read_wmf_frame({reinterpret_cast<const char*>(data), size}, frame);
  if (reason.empty() && (frame.width <= 0 || frame.height <= 0)) __builtin_trap();
  return 0;
}
