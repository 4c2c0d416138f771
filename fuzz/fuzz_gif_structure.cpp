// libFuzzer target: our GIF structure reader (the Windows edition reads it
// before the system's decoder is given the file) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictures/decoders.h"
#include "pictures/gif_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vs::GifStructure gif;
  const std::string reason =
      vs::read_gif_structure({reinterpret_cast<const char*>(data), size}, gif);
  if (!reason.empty()) return 0;
  // What passes is allocated by the caller as it stands: the screen and the
  // frame must both be within the picture limit.
  if (!vs::picture_size_problem(gif.width, gif.height).empty()) __builtin_trap();
  if (!vs::picture_size_problem(gif.frame_width, gif.frame_height).empty()) __builtin_trap();
  if (gif.left < 0 || gif.left > 0xFFFF || gif.top < 0 || gif.top > 0xFFFF) __builtin_trap();
  if (gif.transparent < -1 || gif.transparent > 255) __builtin_trap();
  // The logical screen decides the size, unless the file left it 0; a file
  // that passed holds at least the signature and the screen's size.
  if (size < 10) __builtin_trap();
  const int screen_w = data[6] | data[7] << 8, screen_h = data[8] | data[9] << 8;
  if (screen_w > 0 && screen_h > 0) {
    if (gif.width != screen_w || gif.height != screen_h) __builtin_trap();
  } else if (gif.width != gif.left + gif.frame_width || gif.height != gif.top + gif.frame_height) {
    __builtin_trap();
  }
  return 0;
}
