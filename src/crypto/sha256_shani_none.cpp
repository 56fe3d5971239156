// Processors other than x86 have no SHA extensions path; the portable one serves.
#include "crypto/sha256_internal.h"

namespace tu {

void sha256BlocksShaNi(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  sha256BlocksPortable(state, data, blocks);
}

bool sha256ShaNiAvailable() {
  return false;
}

}  // namespace tu
