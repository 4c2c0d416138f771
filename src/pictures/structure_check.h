// What our own reading of a file's structure finds before any library sees
// its bytes: the picture's size, so that it is checked before anything is
// allocated, or why the file is refused. Both editions put the same reader
// in front of their library for a kind, so they agree on sizes and reasons.
#pragma once

#include <cstdint>
#include <string>

namespace vs {

struct StructureCheck {
  std::string problem;  // "" when the library may be given the file
  int64_t width = 0;    // the picture's size as the file declares it
  int64_t height = 0;
};

}  // namespace vs
