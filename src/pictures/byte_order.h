// Reads of little- and big-endian integers from raw bytes. Callers check the
// range first: these only assemble the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vs {

inline uint16_t le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t be16(const unsigned char* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t be32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline const unsigned char* bytes_of(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// True when [offset, offset + n) lies within a buffer of `size` bytes,
// without overflowing.
inline bool in_range(uint64_t size, uint64_t offset, uint64_t n) {
  return offset <= size && n <= size - offset;
}

}  // namespace vs
