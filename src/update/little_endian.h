// Reading the little-endian integers of the stored formats (packed files, block indexes).
#pragma once

#include <cstdint>

namespace tu {

inline std::uint32_t readLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t readLe64(const unsigned char* p) {
  return static_cast<std::uint64_t>(readLe32(p)) | static_cast<std::uint64_t>(readLe32(p + 4))
                                                       << 32;
}

}  // namespace tu
