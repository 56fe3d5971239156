// Processors other than x86 have neither accelerated path; the portable ones serve.
#include "crypto/sha256_internal.h"
#include "crypto/sha512_internal.h"

namespace tu {

void sha256BlocksShaNi(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  sha256BlocksPortable(state, data, blocks);
}
bool sha256ShaNiAvailable() {
  return false;
}

void sha512BlocksAvx2(std::uint64_t state[8], const std::uint8_t* data, std::size_t blocks) {
  sha512BlocksPortable(state, data, blocks);
}
bool sha512Avx2Available() {
  return false;
}

}  // namespace tu
