// libFuzzer target: the reading of an embedded colour profile's header,
// which decides whether the system's colour engine sees the profile.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pictures/colour_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vs::ColourProfileHeader header =
      vs::read_colour_profile_header({reinterpret_cast<const char*>(data), size});
  // A profile is let through only with a whole header.
  if (header.problem.empty() && size < 128) __builtin_trap();
  return 0;
}
