// Byte counts of a run add up sizes that come from the manifest; a hostile manifest can make
// them as large as 2^63 each, so sums stop at the largest value instead of wrapping.
#pragma once

#include <cstdint>
#include <limits>

namespace tu {

inline std::uint64_t addSaturated(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  return a > most - b ? most : a + b;
}

}  // namespace tu
