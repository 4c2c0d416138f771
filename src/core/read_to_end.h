// Reading an open file to its end, for both backends' whole-file reads: the
// file may grow or shrink while it is read, and is never read past a limit.
#pragma once

#include <cstddef>
#include <string>

namespace vs {

enum class ReadEnd { Ok, TooLarge, Error };

// Fills bytes by calls of read_some(buffer, room), which give the bytes read, 0
// at the end of the file, or less than 0 on an error. expected is the size
// the file had when it was opened; a file that holds more than max_bytes is
// TooLarge. bytes is empty unless the result is Ok.
template <class Read>
ReadEnd read_to_end(std::string& bytes, size_t expected, size_t max_bytes, Read read_some) {
  if (expected > max_bytes) return ReadEnd::TooLarge;
  // One byte more than expected, so that the end is seen without growing.
  bytes.resize(expected + 1);
  size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() > max_bytes) {
        bytes.clear();
        return ReadEnd::TooLarge;
      }
      bytes.resize(bytes.size() * 2);
    }
    const auto n = read_some(bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      bytes.clear();
      return ReadEnd::Error;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  bytes.resize(have);
  return ReadEnd::Ok;
}

}  // namespace vs
