// libFuzzer target: our check of metafile records (the Windows edition plays
// what passes with GDI in its own process) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "pictures/wmf_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string records;
  const std::string reason =
      vs::checked_wmf_records({reinterpret_cast<const char*>(data), size}, records);
  if (!reason.empty()) return 0;
  // What passes is a header of 18 bytes and whole records, the size word
  // (in 16-bit words) telling exactly that length.
  if (records.size() < 18 || records.size() % 2 != 0) __builtin_trap();
  uint32_t words = 0;
  std::memcpy(&words, records.data() + 6, 4);
  if (uint64_t{words} * 2 != records.size()) __builtin_trap();
  return 0;
}
