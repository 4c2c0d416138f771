// How the file system spells paths. Upper layers build paths with this and
// never assume one system's separator.
#pragma once

namespace vs {

struct PathStyle {
  char separator = '/';
  // A drive colon ("D:") ends a folder part, as a separator does.
  bool colon_is_drive = false;
};

constexpr PathStyle kPosixPaths{'/', false};
constexpr PathStyle kWindowsPaths{'\\', true};

}  // namespace vs
